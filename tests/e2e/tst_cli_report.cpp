// termohigrometro-cli report: the list report of a data file as text and as
// PDF, the full report (header, statistics, chart, readings over several
// pages), their usage errors and an output that cannot be written.
#include "support/CliRun.h"
#include "support/Outputs.h"
#include "support/TestApp.h"

#include "core/files/DataFile.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
using Result = CliResult;

Result cli(const QStringList &args)
{
    return runCli(args);
}

// A recording file (no trailing TABs) in °C with a name and a company, and
// the readings at the edges of what a record can hold.
const QByteArray kFile = "Jo\xE3o\r\n"
                         "*\r\n"
                         "ACME & Filhos\r\n"
                         "N\xB0\tData\tHora\t\xB0"
                         "C\tOrvalho(\xB0"
                         "C)\t\xDAmido(\xB0"
                         "C)\tUR%\r\n"
                         "1\t31/12/2026\t23:59:58\t-19.9\t-25.3\t-20.4\t100.0\r\n"
                         "123456\t01/01/2027\t00:00:00\tOL\t----.0\t----.0\t0.0\r\n";

// What the printer receives: each cell right-aligned in 13, 12, 10, 7, 12, 10 and 6 characters.
const QStringList kReport{
    " -",
    " -",
    " -",
    " -          João",
    " -          ",
    " -          ACME & Filhos",
    " -",
    " -",
    " -",
    "           N°        Data      Hora     °C Orvalho(°C) Úmido(°C)   UR%",
    "      -----------------------------------------------------------------",
    "            1  31/12/2026  23:59:58  -19.9       -25.3     -20.4 100.0",
    "       123456  01/01/2027  00:00:00     OL      ----.0    ----.0   0.0",
};
} // namespace

class TestCliReport : public QObject {
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(qEnvironmentVariable("TH_CLI")), "TH_CLI not set");
        QVERIFY(writeBytes(dir.filePath("ensaio.dlf"), kFile));
    }

    void textReport()
    {
        const QString out = dir.filePath("r.txt");
        const Result r = cli({"report", dir.filePath("ensaio.dlf"), "-o", out});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("2 records"));
        QCOMPARE(QString::fromUtf8(readAll(out)), kReport.join('\n') + '\n');

        // A file without records: the heading row and the ruler only.
        QVERIFY(writeBytes(dir.filePath("vazio.dlf"), "*\r\n*\r\n*\r\nN\xB0\tData\tHora\t\xB0"
                                                      "F\tOrvalho(\xB0"
                                                      "F)\t\xDAmido(\xB0"
                                                      "F)\tUR%\t\r\n"));
        QCOMPARE(cli({"report", dir.filePath("vazio.dlf"), "-o", out}).code, 0);
        const QStringList lines = QString::fromUtf8(readAll(out)).split('\n');
        QCOMPARE(lines.size(), 9);
        QCOMPARE(lines.at(6), QStringLiteral("           N°        Data      Hora     °F Orvalho(°F) Úmido(°F)   UR%"));
        QCOMPARE(lines.at(7).trimmed(), QString(65, '-'));
    }

    void pdfReport()
    {
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            QSKIP("pdftotext is not installed");
        const QString out = dir.filePath("r.pdf");
        const Result r = cli({"report", dir.filePath("ensaio.dlf"), "-o", out});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("1 page"));
        QVERIFY(readAll(out).startsWith("%PDF"));
        // Same words, line by line, as the text report.
        QStringList words;
        for (const QString &line : programOutput("pdftotext", {"-layout", out, "-"}).split('\n')) {
            if (!line.trimmed().isEmpty())
                words << line.simplified();
        }
        QStringList expected;
        for (const QString &line : kReport)
            expected << line.simplified();
        QCOMPARE(words, expected);
        // A fixed-pitch font, embedded.
        const QString fonts = programOutput("pdffonts", {out});
        if (!fonts.isEmpty())
            QVERIFY2(fonts.contains("Mono") || fonts.contains("Lucida") || fonts.contains("Courier"),
                     qPrintable(fonts));
    }

    void fullReport()
    {
        if (QStandardPaths::findExecutable("pdftotext").isEmpty() ||
            QStandardPaths::findExecutable("pdfinfo").isEmpty())
            QSKIP("pdftotext or pdfinfo is not installed");
        const QString out = dir.filePath("full.pdf");
        const Result r = cli({"report", dir.filePath("ensaio.dlf"), "-o", out, "--full", "--limit", "rh=:99,5"});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains("2 records, 2 pages"), qPrintable(r.out));
        QVERIFY(programOutput("pdfinfo", {out}).contains(QRegularExpression("Pages:\\s+2\\n")));
        QStringList lines;
        for (const QString &line : programOutput("pdftotext", {"-layout", out, "-"}).split('\n'))
            lines << line.simplified();
        const auto has = [&](const QString &line) { return lines.contains(line); };
        QVERIFY(has("Nome: João"));
        QVERIFY(has("Setor: —"));
        QVERIFY(has("Empresa: ACME & Filhos"));
        QVERIFY(has("Arquivo: ensaio.dlf"));
        QVERIFY(has("Período: 31/12/2026 23:59:58 a 01/01/2027 00:00:00"));
        QVERIFY(has("Registros: 2"));
        QVERIFY(has("Intervalo de amostragem: —"));
        // "OL" and "----.0" are left out: one temperature, dew point and wet bulb each.
        QVERIFY(has("Mínimo -19,9 °C -25,3 °C -20,4 °C 0,0 %"));
        QVERIFY(has("Inválidos 1 1 1 0"));
        QVERIFY(has("Desvio padrão - - - 70,7 %"));
        QVERIFY(has("Temperatura cinética média (TCM) -19,9 °C"));
        // 100 % stood for the two seconds until the next record.
        // (pdftotext may join a short figure with its unit.)
        QVERIFY(has("Fora dos limites 2 s") || has("Fora dos limites 2s"));
        QVERIFY(has("123456 01/01/2027 00:00:00 OL ----.0 ----.0 0.0"));
        const QRegularExpression foot("^Emitido em (\\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d:\\d\\d) Página (\\d) de 2$");
        QStringList pages;
        for (const QString &line : lines) {
            const auto m = foot.match(line);
            if (m.hasMatch()) {
                QVERIFY(QDateTime::fromString(m.captured(1), "dd/MM/yyyy HH:mm:ss").isValid());
                pages << m.captured(2);
            }
        }
        QCOMPARE(pages, (QStringList{"1", "2"}));
    }

    void fullReportOfALongFile()
    {
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            QSKIP("pdftotext is not installed");
        // A recording in °F, a reading a minute.
        constexpr int kRecords = 1500;
        QByteArray file = "*\r\n*\r\n*\r\n" + headingLine(false).toLatin1() + "\r\n";
        const QDateTime start(QDate(2026, 6, 30), QTime(0, 0));
        for (int i = 1; i <= kRecords; ++i) {
            const QDateTime t = start.addSecs(60 * (i - 1));
            file += QString("%1\t%2\t%3\t%4.0\t50.0\t55.0\t%5.5\r\n")
                        .arg(i)
                        .arg(t.toString("dd/MM/yyyy"), t.toString("HH:mm:ss"))
                        .arg(40 + i % 30)
                        .arg(i % 100)
                        .toLatin1();
        }
        QVERIFY(writeBytes(dir.filePath("longo.dlf"), file));
        const QString out = dir.filePath("longo.pdf");
        const Result r = cli({"report", dir.filePath("longo.dlf"), "-o", out, "--full", "--mkt-k", "9000"});
        QCOMPARE(r.code, 0);
        const QString text = programOutput("pdftotext", {"-layout", out, "-"});
        QVERIFY(text.contains("TCM com ΔH/R = 9.000 K"));
        QVERIFY(text.contains("°F (graus Fahrenheit)"));
        // Every record once, with its own time and values, in two columns a page.
        const QRegularExpression record("(?:^|\\s)(\\d+) (\\d\\d/\\d\\d/\\d{4}) (\\d\\d:\\d\\d:\\d\\d) (\\d+\\.0) "
                                        "50\\.0 55\\.0 (\\d+\\.5)");
        QList<int> seen;
        int twoOnALine = 0;
        const QString readings = text.mid(text.indexOf("Leituras"));
        for (const QString &line : readings.split('\n')) {
            int onLine = 0;
            for (auto it = record.globalMatch(line.simplified()); it.hasNext(); ++onLine) {
                const auto m = it.next();
                const int i = m.captured(1).toInt();
                const QDateTime t = start.addSecs(60 * (i - 1));
                QCOMPARE(m.captured(2), t.toString("dd/MM/yyyy"));
                QCOMPARE(m.captured(3), t.toString("HH:mm:ss"));
                QCOMPARE(m.captured(4), QString("%1.0").arg(40 + i % 30));
                QCOMPARE(m.captured(5), QString("%1.5").arg(i % 100));
                seen << i;
            }
            twoOnALine += onLine == 2;
        }
        std::sort(seen.begin(), seen.end());
        QCOMPARE(seen.size(), kRecords);
        for (int i = 0; i < kRecords; ++i)
            QCOMPARE(seen[i], i + 1);
        QVERIFY(twoOnALine > kRecords / 3);
        const int pages = QRegularExpression("Página \\d+ de (\\d+)").match(text).captured(1).toInt();
        QVERIFY2(pages >= 8, qPrintable(r.out));
        QVERIFY(r.out.contains(QString("%1 pages").arg(pages)));
        QVERIFY(text.contains(QString("Página %1 de %1").arg(pages)));
    }

    void failures()
    {
        const QString in = dir.filePath("ensaio.dlf");
        QCOMPARE(cli({"report", in}).code, 2);
        QCOMPARE(cli({"report", in, "-o", dir.filePath("r.doc")}).code, 2);
        QCOMPARE(cli({"report", "-o", dir.filePath("r.txt")}).code, 2);
        // The full report is a PDF; limits and the MKT constant belong to it.
        QCOMPARE(cli({"report", in, "-o", dir.filePath("r.txt"), "--full"}).code, 2);
        QCOMPARE(cli({"report", in, "-o", dir.filePath("r.pdf"), "--limit", "temp=1:2"}).code, 2);
        QCOMPARE(cli({"report", in, "-o", dir.filePath("r.pdf"), "--full", "--limit", "temp=2:1"}).code, 2);
        QCOMPARE(cli({"report", in, "-o", dir.filePath("r.pdf"), "--full", "--mkt-k", "0"}).code, 2);
        const Result missing = cli({"report", dir.filePath("nenhum.dlf"), "-o", dir.filePath("x.txt")});
        QCOMPARE(missing.code, 1);
        QVERIFY(missing.err.contains("nenhum.dlf"));
        QVERIFY(!QFile::exists(dir.filePath("x.txt")));
        // An output that cannot be written leaves no trace and says so.
        const Result bad = cli({"report", in, "-o", dir.filePath("no/such/folder/r.pdf")});
        QCOMPARE(bad.code, 1);
        QVERIFY(bad.err.contains("r.pdf"));
    }
};

QTEST_APPLESS_MAIN(TestCliReport)
#include "tst_cli_report.moc"
