// `study` as a user runs it: files written here, the JSON read back, the
// report read with pdftotext, and what it says when files do not fit together.
#include "support/CliRun.h"
#include "support/Outputs.h"

#include "core/files/DataFile.h"

#include <QCryptographicHash>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
// Records ten minutes apart from 30/06/2026 08:00 (or `startMinutes` later).
QByteArray dataFile(bool celsius, const QStringList &temps, int startMinutes = 0, const QString &rh = "60.0")
{
    QStringList lines{"*", "*", "*", headingLine(celsius)};
    const QDateTime start(QDate(2026, 6, 30), QTime(8, 0));
    for (int i = 0; i < temps.size(); ++i) {
        const QDateTime t = start.addSecs(60LL * (startMinutes + 10 * i));
        lines << QStringList{QString::number(i + 1),
                             t.toString("dd/MM/yyyy"),
                             t.toString("HH:mm:ss"),
                             temps[i],
                             "0.0",
                             "1.0",
                             rh}
                     .join('\t');
    }
    return encodeDataText(crlfLines(lines));
}

} // namespace

class TestCliStudy : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString a, b, c, late;

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(qEnvironmentVariable("TH_CLI")), "TH_CLI not set");
        a = m_dir.filePath("porta.dlf");
        b = m_dir.filePath("fundo.dlf");
        c = m_dir.filePath("teto.dlf");
        late = m_dir.filePath("depois.dlf");
        QVERIFY(writeBytes(a, dataFile(true, {"4.0", "5.0", "9.0", "6.0", "5.0"})));
        QVERIFY(writeBytes(b, dataFile(true, {"3.0", "1.0", "1.5", "4.0", "9.0"})));
        // 5, 6, 9, 7, 5 °C, starting ten minutes before the others.
        QVERIFY(writeBytes(c, dataFile(false, {"39.2", "41.0", "42.8", "48.2", "44.6", "41.0"}, -10)));
        QVERIFY(writeBytes(late, dataFile(true, {"5.0", "5.0"}, 300)));
    }

    void jsonReadBack()
    {
        const CliResult r =
            runCli({"study", a, b, c, "--label", "teto.dlf=Teto (3 m)", "--limit", "temp=2:8", "--json"});
        QCOMPARE(r.code, 0);
        const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(o.value("unit").toString(), QStringLiteral("C"));
        QCOMPARE(o.value("from").toString(), QStringLiteral("2026-06-30T08:00:00"));
        QCOMPARE(o.value("to").toString(), QStringLiteral("2026-06-30T08:40:00"));
        const QJsonArray loggers = o.value("loggers").toArray();
        QCOMPARE(loggers.size(), 3);
        const QJsonObject porta = loggers[0].toObject();
        QCOMPARE(porta.value("label").toString(), QStringLiteral("porta"));
        QCOMPARE(porta.value("records").toInt(), 5);
        QCOMPARE(porta.value("interval_seconds").toInt(), 600);
        const QJsonObject t = porta.value("temp").toObject();
        QCOMPARE(t.value("mean").toDouble(), 5.8);
        QCOMPARE(t.value("above").toInt(), 1);
        QCOMPARE(t.value("outside_seconds").toInt(), 600);
        QCOMPARE(t.value("excursions").toInt(), 1);
        QCOMPARE(t.value("longest_excursion_start").toString(), QStringLiteral("2026-06-30T08:20:00"));
        QVERIFY(porta.value("rh").toObject().value("excursions").isUndefined()); // no limit on it

        // The same figures as `stats` gives for the same file.
        const CliResult s = runCli({"stats", a, "--limit", "temp=2:8", "--json"});
        const QJsonObject st = QJsonDocument::fromJson(s.out.toUtf8()).object();
        for (const char *key : {"min", "max", "mean", "stdev", "within_percent", "outside_seconds"})
            QCOMPARE(t.value(key), st.value("temp").toObject().value(key));
        QCOMPARE(porta.value("mkt"), st.value("mkt"));

        const QJsonObject fundo = loggers[1].toObject().value("temp").toObject();
        QCOMPARE(fundo.value("excursions").toInt(), 2);
        QCOMPARE(fundo.value("longest_excursion_seconds").toInt(), 1200);
        QCOMPARE(fundo.value("longest_excursion_start").toString(), QStringLiteral("2026-06-30T08:10:00"));

        // The °F file: its period from 08:00, in °C; a tie at 9.0 goes to the highest mean.
        const QJsonObject teto = loggers[2].toObject();
        QCOMPARE(teto.value("label").toString(), QStringLiteral("Teto (3 m)"));
        QCOMPARE(teto.value("records").toInt(), 5);
        QCOMPARE(teto.value("temp").toObject().value("max").toDouble(), 9.0);
        QCOMPARE(o.value("hot_spot").toObject().value("label").toString(), QStringLiteral("Teto (3 m)"));
        QCOMPARE(o.value("cold_spot").toObject().value("label").toString(), QStringLiteral("fundo"));
        QVERIFY(qAbs(o.value("mean_spread").toDouble() - (6.4 - 3.7)) < 1e-9);
        const QJsonObject diff = o.value("max_difference").toObject();
        QCOMPARE(diff.value("value").toDouble(), 7.5);
        QCOMPARE(diff.value("at").toString(), QStringLiteral("2026-06-30T08:20:00"));
        QCOMPARE(diff.value("between").toArray(), QJsonArray({"porta", "fundo"}));
        QCOMPARE(o.value("warnings").toArray().size(), 0);

        // In °F, over a given period.
        const CliResult f =
            runCli({"study", a, c, "--unit", "F", "--from", "2026-06-30 08:10", "--to", "30/06/2026 08:20", "--json"});
        QCOMPARE(f.code, 0);
        const QJsonObject fo = QJsonDocument::fromJson(f.out.toUtf8()).object();
        QCOMPARE(fo.value("unit").toString(), QStringLiteral("F"));
        QCOMPARE(fo.value("loggers").toArray()[0].toObject().value("records").toInt(), 2);
        QCOMPARE(fo.value("hot_spot").toObject().value("value").toDouble(), 48.2);
    }

    void readableSummary()
    {
        const CliResult r = runCli({"study", a, b, "--limit", "temp=2:8"});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains("study: 2 loggers, 2026-06-30T08:00:00 .. 2026-06-30T08:40:00"), qPrintable(r.out));
        QVERIFY(r.out.contains(QRegularExpression("\\nfundo +5 +0:10:00 +1\\.0 +9\\.0 +3\\.70 .* 0:20:00 +2\\n")));
        QVERIFY(r.out.contains("cold spot: fundo (1.0 °C at 2026-06-30T08:10:00)"));
    }

    void failures()
    {
        const QString missing = m_dir.filePath("nenhum.dlf");
        CliResult r = runCli({"study", a, missing});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(missing), qPrintable(r.err));

        r = runCli({"study", a, late, b});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(a) && r.err.contains(late) && r.err.contains("no period in common"), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());

        for (const QStringList &args :
             {QStringList{"study"}, QStringList{"study", a, "--unit", "K"}, QStringList{"study", a, "--from", "ontem"},
              QStringList{"study", a, "--label", "outro.dlf=X"}, QStringList{"study", a, "--limit", "temp=8"},
              QStringList{"study", a, "--chart", m_dir.filePath("g.jpg")},
              QStringList{"study", a, "-o", m_dir.filePath("r.txt")}}) {
            r = runCli(args);
            QVERIFY2(r.code == 2, qPrintable(args.join(' ') + ": " + r.err));
        }
    }

    void reportReadBack()
    {
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            QSKIP("pdftotext is not installed");
        const QString out = m_dir.filePath("estudo.pdf");
        const CliResult r = runCli({"study", a, b, c, "--limit", "temp=2:8", "-o", out, "--name", "Câmara fria 2",
                                    "--company", "ACME", "--responsible", "Ana Souza"});
        QCOMPARE(r.code, 0);
        QStringList lines;
        for (const QString &line : programOutput("pdftotext", {"-layout", out, "-"}).split('\n'))
            lines << line.simplified();
        // Paragraphs may break anywhere between words.
        const QString text = lines.join(' ');
        for (const char *expected :
             {"Estudo de mapeamento térmico", "Local: Câmara fria 2", "Empresa: ACME", "Registradores: 3",
              "Limites: Temperatura: 2,0 a 8,0 °C", "Responsável: Ana Souza", "Aprovado por",
              "porta 4,0 30/06/2026 08:00 9,0 30/06/2026 08:20 5,8", "Ponto quente: teto (máxima 9,0 °C",
              "Ponto frio: fundo (mínima 1,0 °C", "fundo: temperatura fora por 20 min 00 s em 2 excursões",
              "Gráfico sobreposto: Temperatura (°C)", "Anexo: arquivos de dados"})
            QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);
        // Excursions in order of start: fundo 08:10, porta 08:20, teto 08:20, fundo 08:40.
        const QRegularExpression excursion("^(\\d) (porta|fundo|teto) Temperatura (\\S+ \\S+)");
        QStringList order;
        for (const QString &line : lines)
            if (const auto m = excursion.match(line); m.hasMatch())
                order << m.captured(2) + ' ' + m.captured(3);
        QCOMPARE(order, QStringList({"fundo 30/06/2026 08:10:00", "porta 30/06/2026 08:20:00",
                                     "teto 30/06/2026 08:20:00", "fundo 30/06/2026 08:40:00"}));
        // Every file's hash, as anyone can compute it.
        QFile f(c);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString hash = QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex();
        QVERIFY2(text.contains("teto.dlf " + hash), qPrintable(hash));
        const QRegularExpression foot("Página (\\d+) de (\\d+)$");
        int pages = 0, total = 0;
        for (const QString &line : lines)
            if (const auto m = foot.match(line); m.hasMatch())
                ++pages, total = m.captured(2).toInt();
        QVERIFY(pages >= 5);
        QCOMPARE(pages, total);
    }

    void chartFiles()
    {
        const QString png = m_dir.filePath("grafico.png"), pdf = m_dir.filePath("grafico.pdf");
        QCOMPARE(runCli({"study", a, b, "--chart", png}).code, 0);
        const QImage image(png);
        QVERIFY(image.width() >= 1600);
        QVERIFY(image.height() > image.width() / 2); // temperature above humidity
        QCOMPARE(runCli({"study", a, b, "--chart", pdf}).code, 0);
        if (QStandardPaths::findExecutable("pdfinfo").isEmpty())
            QSKIP("pdfinfo is not installed");
        const QString info = programOutput("pdfinfo", {pdf});
        QVERIFY2(info.contains(QRegularExpression("Pages:\\s+2\\n")), qPrintable(info));
        QVERIFY2(info.contains(QRegularExpression("Page size:\\s+84[12](\\.\\d+)? x 595")),
                 qPrintable(info)); // landscape
    }
};

QTEST_GUILESS_MAIN(TestCliStudy)
#include "tst_cli_study.moc"
