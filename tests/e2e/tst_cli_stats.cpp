#include "support/CliRun.h"

#include "core/files/DataFile.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace {
QJsonObject json(const CliResult &r)
{
    return QJsonDocument::fromJson(r.out.toUtf8()).object();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
} // namespace

class TestCliStats : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_file; // Fahrenheit grid dump, records ten minutes apart

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(qEnvironmentVariable("TH_CLI")), "TH_CLI not set");
        QVector<QStringList> grid{dataFileHeadings(false),
                                  {"1", "30/06/2026", "23:10:00", "50.0", "40.0", "", "60.0"},
                                  {"2", "30/06/2026", "23:20:00", "68.0", "----.0", "OL", "75.5"},
                                  {"3", "30/06/2026", "23:30:00", "77.0", "----.0", "", "80.0"},
                                  {"4", "30/06/2026", "23:40:00", "-OL", "----.0", "", "65.0"},
                                  {"5", "30/06/2026", "23:50:00", "77.0", "----.0", "", "71.0"}};
        m_file = m_dir.filePath("camara fria.dlf");
        QVERIFY(writeFile(m_file, gridDumpBytes(QStringLiteral("Câmara 3"), {}, {}, grid)));
    }

    void jsonFigures()
    {
        CliResult r = runCli({"stats", m_file, "--json", "--limit", "rh=:70", "--limit", "temp=60:"});
        QCOMPARE(r.code, 0);
        const QJsonObject o = json(r);
        QCOMPARE(o.value("unit").toString(), QStringLiteral("F"));
        QCOMPARE(o.value("records").toInt(), 5);
        QCOMPARE(o.value("first").toString(), QStringLiteral("2026-06-30T23:10:00"));
        QCOMPARE(o.value("last").toString(), QStringLiteral("2026-06-30T23:50:00"));
        // 10, 20, 25, 25 °C: MKT 21.6538 °C, shown in °F at full precision.
        QVERIFY(qAbs(o.value("mkt").toDouble() - 70.976885) < 1e-4);

        const QJsonObject t = o.value("temp").toObject();
        QCOMPARE(t.value("valid").toInt(), 4);
        QCOMPARE(t.value("invalid").toInt(), 1);
        QCOMPARE(t.value("min").toDouble(), 50.0);
        QCOMPARE(t.value("max").toDouble(), 77.0);
        QCOMPARE(t.value("max_at").toString(), QStringLiteral("2026-06-30T23:30:00")); // first occurrence
        QCOMPARE(t.value("mean").toDouble(), 68.0);
        QVERIFY(qAbs(t.value("stdev").toDouble() - 12.727922061357855) < 1e-12); // not rounded
        QCOMPARE(t.value("below").toInt(), 1);
        QCOMPARE(t.value("within_percent").toDouble(), 75.0);
        QCOMPARE(t.value("outside_seconds").toInt(), 600);

        const QJsonObject rh = o.value("rh").toObject();
        QCOMPARE(rh.value("above").toInt(), 3);
        QCOMPARE(rh.value("outside_seconds").toInt(), 1200); // the last record, above too, counts no time
        QCOMPARE(rh.value("within_percent").toDouble(), 40.0);

        QCOMPARE(o.value("dew").toObject().value("valid").toInt(), 1);
        QVERIFY(o.value("dew").toObject().value("stdev").isNull());
        QVERIFY(!o.value("dew").toObject().contains("below")); // no limit on it
        QVERIFY(o.value("wet").isNull());
    }

    void rangeAndTable()
    {
        CliResult r = runCli({"stats", m_file, "--from", "4", "--to", "4", "--json"});
        QCOMPARE(r.code, 0);
        QJsonObject o = json(r);
        QCOMPARE(o.value("records").toInt(), 1);
        QVERIFY(o.value("mkt").isNull());
        QVERIFY(o.value("temp").isNull());
        QCOMPARE(o.value("rh").toObject().value("mean").toDouble(), 65.0);

        r = runCli({"stats", m_file, "--from", "2", "--mkt-k", "5000", "--json"});
        QCOMPARE(json(r).value("records").toInt(), 4);
        QCOMPARE(json(r).value("first").toString(), QStringLiteral("2026-06-30T23:20:00"));

        r = runCli({"stats", m_file, "--limit", "rh=40,5:70"});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains("5 records (1..5), °F"), qPrintable(r.out));
        QVERIFY(r.out.contains("2026-06-30T23:10:00 .. 2026-06-30T23:50:00"));
        QVERIFY(r.out.contains("MKT: 70.98 °F"));
        QVERIFY(r.out.contains("40.5:70") && r.out.contains("0:20:00"));
        QVERIFY(!r.out.contains('{'));

        // A file without records: nothing to compute, still a success.
        const QString empty = m_dir.filePath("vazio.dlf");
        QVERIFY(writeFile(empty, recordingFileStart(true)));
        r = runCli({"stats", empty, "--json"});
        QCOMPARE(r.code, 0);
        QCOMPARE(json(r).value("records").toInt(), 0);
        QVERIFY(json(r).value("first").isNull() && json(r).value("temp").isNull());
    }

    void failures()
    {
        const QString missing = m_dir.filePath("nada.dlf");
        CliResult r = runCli({"stats", missing});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(missing) && r.err.contains("No such file"), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        r = runCli({"stats", m_dir.path()});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(m_dir.path()), qPrintable(r.err));

        for (const QStringList &bad : {QStringList{"stats"},
                                       {"stats", m_file, m_file},
                                       {"stats", m_file, "--limit", "hum=1:2"},
                                       {"stats", m_file, "--limit", "rh=80:70"},
                                       {"stats", m_file, "--limit", "rh=:"},
                                       {"stats", m_file, "--mkt-k", "0"},
                                       {"stats", m_file, "--mkt-k", "x"},
                                       {"stats", m_file, "--from", "x"},
                                       {"stats", m_file, "--from", "3", "--to", "2"},
                                       {"stats", m_file, "--to", "6"},
                                       {"stats", m_file, "--bogus"}}) {
            r = runCli(bad);
            QVERIFY2(r.code == 2, qPrintable(bad.join(' ')));
            QVERIFY2(r.err.contains("termohigrometro-cli stats"), qPrintable(r.err));
        }
        r = runCli({"stats", "--help"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("--limit Q=LOW:HIGH") && r.out.contains("outside_seconds"));
    }
};

QTEST_GUILESS_MAIN(TestCliStats)
#include "tst_cli_stats.moc"
