#include "support/CliRun.h"

#include "core/files/DataFile.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {
using Result = CliResult;

Result cli(const QStringList &args)
{
    return runCli(args);
}

QString readUtf8(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}
} // namespace

class TestCliCore : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(QFile::exists(qEnvironmentVariable("TH_CLI")), "TH_CLI not set"); }

    void psychro()
    {
        Result r = cli({"psychro", "--temp", "25", "--rh", "50", "--json"});
        QCOMPARE(r.code, 0);
        QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(o.value("dew_c_text").toString(), QStringLiteral("13.9"));
        QCOMPARE(o.value("wet_c_text").toString(), QStringLiteral("18.0"));
        QCOMPARE(o.value("dew_f_text").toString(), QStringLiteral("57.0"));
        QCOMPARE(o.value("wet_f_text").toString(), QStringLiteral("64.4"));
        QVERIFY(qAbs(o.value("wet_c").toDouble() - 18.04) < 0.005);
        QVERIFY(qAbs(o.value("dew_c").toDouble() - 13.89) < 0.005);
        QVERIFY(qAbs(o.value("wet_f").toDouble() - (o.value("wet_c").toDouble() * 1.8 + 32)) < 1e-9);

        // Decimal comma and negative values; no humidity: nulls and "----.0".
        r = cli({"psychro", "--temp", "-5,5", "--rh", "0", "--json"});
        QCOMPARE(r.code, 0);
        o = QJsonDocument::fromJson(r.out.toUtf8()).object();
        for (const char *k : {"dew_c", "wet_c", "dew_f", "wet_f"})
            QVERIFY(o.value(k).isNull());
        QCOMPARE(o.value("wet_f_text").toString(), QStringLiteral("----.0"));

        r = cli({"psychro", "--temp", "25", "--rh", "50"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("13.9") && r.out.contains("18.0") && !r.out.contains('{'));

        for (const QStringList &bad : {QStringList{"psychro", "--temp", "25"},
                                       {"psychro", "--temp", "x", "--rh", "5"},
                                       {"psychro", "--temp", "1", "--rh", "5", "--bogus"},
                                       {"psychro", "extra"}}) {
            r = cli(bad);
            QCOMPARE(r.code, 2);
            QVERIFY2(r.err.contains("usage: termohigrometro-cli psychro"), qPrintable(r.err));
        }
        r = cli({"psychro", "--help"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("--json"));
        r = cli({"--help"});
        QVERIFY(r.out.contains("psychro") && r.out.contains("convert"));
    }

    void convert()
    {
        QTemporaryDir dir;
        const QString dlf = dir.filePath("ensaio.dlf");
        QByteArray bytes = gridDumpBytes(QStringLiteral("Silva, João"), {}, {},
                                         {dataFileHeadings(true),
                                          {"1", "08/12/2026", "09:05:07", "29.0", "13.9", "18.0", "50.0"},
                                          {"2", "08/12/2026", "09:05:09", "-OL", "----.0", "----.0", "0.0"},
                                          {"3", "bad, date", "", "1.5", "x\"y", "2.0", "3.0"}});
        QFile f(dlf);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
        f.close();

        const QString csv = dir.filePath("out.csv");
        Result r = cli({"convert", dlf, "-o", csv});
        QCOMPARE(r.code, 0);
        QCOMPARE(readUtf8(csv), QStringLiteral("N°,Data e hora,Temperatura (°C),Orvalho (°C),Úmido (°C),UR (%)\r\n"
                                               "1,2026-12-08T09:05:07,29.0,13.9,18.0,50.0\r\n"
                                               "2,2026-12-08T09:05:09,-OL,,,0.0\r\n"
                                               "3,\"bad, date\",1.5,\"x\"\"y\",2.0,3.0\r\n"));

        r = cli({"convert", dlf, "-o", csv, "--sep", ";", "--decimal-comma"});
        QCOMPARE(r.code, 0);
        QCOMPARE(readUtf8(csv).section("\r\n", 1, 2),
                 QStringLiteral("1;2026-12-08T09:05:07;29,0;13,9;18,0;50,0\r\n2;2026-12-08T09:05:09;-OL;;;0,0"));

        // Fahrenheit headings; standard output.
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(recordingFileStart(false));
        f.close();
        r = cli({"convert", dlf, "-o", "-"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("N°,Data e hora,Temperatura (°F),Orvalho (°F),Úmido (°F),UR (%)\r\n"));

        const QString missing = dir.filePath("nada.dlf");
        r = cli({"convert", missing, "-o", csv});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(missing), qPrintable(r.err));
        r = cli({"convert", dlf, "-o", dir.filePath("no/such/dir/x.csv")});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains("no/such/dir"));

        for (const QStringList &bad :
             {QStringList{"convert", dlf}, {"convert", "-o", csv}, {"convert", dlf, "-o", csv, "--sep", "ab"}}) {
            r = cli(bad);
            QCOMPARE(r.code, 2);
            QVERIFY2(r.err.contains("usage: termohigrometro-cli convert"), qPrintable(r.err));
        }
    }
};

QTEST_GUILESS_MAIN(TestCliCore)
#include "tst_cli_core.moc"
