// termohigrometro-cli report: the list report of a data file as text and as
// PDF, its usage errors and an output that cannot be written.
#include "support/CliRun.h"
#include "support/TestApp.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
using Result = CliResult;

Result cli(const QStringList &args)
{
    return runCli(args);
}

bool writeAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QString run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
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
        QVERIFY(writeAll(dir.filePath("ensaio.dlf"), kFile));
    }

    void textReport()
    {
        const QString out = dir.filePath("r.txt");
        const Result r = cli({"report", dir.filePath("ensaio.dlf"), "-o", out});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("2 records"));
        QCOMPARE(QString::fromUtf8(readAll(out)), kReport.join('\n') + '\n');

        // A file without records: the heading row and the ruler only.
        QVERIFY(writeAll(dir.filePath("vazio.dlf"), "*\r\n*\r\n*\r\nN\xB0\tData\tHora\t\xB0"
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
        for (const QString &line : run("pdftotext", {"-layout", out, "-"}).split('\n')) {
            if (!line.trimmed().isEmpty())
                words << line.simplified();
        }
        QStringList expected;
        for (const QString &line : kReport)
            expected << line.simplified();
        QCOMPARE(words, expected);
        // A fixed-pitch font, embedded.
        const QString fonts = run("pdffonts", {out});
        if (!fonts.isEmpty())
            QVERIFY2(fonts.contains("Mono") || fonts.contains("Lucida") || fonts.contains("Courier"),
                     qPrintable(fonts));
    }

    void failures()
    {
        const QString in = dir.filePath("ensaio.dlf");
        QCOMPARE(cli({"report", in}).code, 2);
        QCOMPARE(cli({"report", in, "-o", dir.filePath("r.doc")}).code, 2);
        QCOMPARE(cli({"report", "-o", dir.filePath("r.txt")}).code, 2);
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
