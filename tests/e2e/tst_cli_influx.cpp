#include "support/CliRun.h"

#include "core/files/DataFile.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// A port on the loopback that nobody listens on right now.
int freePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr *>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
} // namespace

// The line protocol of convert, loaded into a real influxd started here and queried back.
class TestCliInflux : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QProcess m_influxd;
    int m_port = 0;

    CliResult influx(const QStringList &args)
    {
        return runProgram(QStringLiteral("influx"),
                          QStringList{"-host", "127.0.0.1", "-port", QString::number(m_port)} + args, 60000);
    }

    QJsonArray query(const QString &db, const QString &q)
    {
        const CliResult r = influx({"-database", db, "-format", "json", "-precision", "rfc3339", "-execute", q});
        const QJsonArray series = QJsonDocument::fromJson(r.out.toUtf8())
                                      .object()
                                      .value("results")
                                      .toArray()
                                      .at(0)
                                      .toObject()
                                      .value("series")
                                      .toArray();
        return series.at(0).toObject().value("values").toArray();
    }

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable("influxd").isEmpty() || QStandardPaths::findExecutable("influx").isEmpty())
            QSKIP("influxd and influx (Debian influxdb, influxdb-client) are not installed");
        QVERIFY(m_dir.isValid());
        m_port = freePort();
        const int rpc = freePort();
        QVERIFY(m_port > 0 && rpc > 0 && rpc != m_port);
        const QString d = m_dir.path();
        const QByteArray conf = QStringLiteral("reporting-disabled = true\n"
                                               "bind-address = \"127.0.0.1:%1\"\n"
                                               "[meta]\n  dir = \"%2/meta\"\n"
                                               "[data]\n  dir = \"%2/data\"\n  wal-dir = \"%2/wal\"\n"
                                               "  query-log-enabled = false\n"
                                               "[monitor]\n  store-enabled = false\n"
                                               "[http]\n  bind-address = \"127.0.0.1:%3\"\n  log-enabled = false\n"
                                               "[continuous_queries]\n  enabled = false\n"
                                               "[subscriber]\n  enabled = false\n")
                                    .arg(rpc)
                                    .arg(d)
                                    .arg(m_port)
                                    .toUtf8();
        QVERIFY(writeFile(d + "/influxdb.conf", conf));
        m_influxd.setProcessChannelMode(QProcess::MergedChannels);
        m_influxd.setStandardOutputFile(d + "/influxd.log");
        m_influxd.start(QStringLiteral("influxd"), {"-config", d + "/influxdb.conf"});
        QVERIFY(m_influxd.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(
            m_influxd.state() != QProcess::Running || influx({"-execute", "SHOW DATABASES"}).code == 0, 60000);
        QVERIFY2(m_influxd.state() == QProcess::Running, "influxd ended at start");
    }

    void cleanupTestCase()
    {
        if (m_influxd.state() != QProcess::NotRunning) {
            m_influxd.terminate();
            if (!m_influxd.waitForFinished(15000)) {
                m_influxd.kill();
                m_influxd.waitForFinished(5000);
            }
        }
    }

    void convertedFileLoadsAndQueriesBack()
    {
        // 2 000 records a minute apart, every tenth at 0 % (no dew point or wet
        // bulb), one overloaded record with no number at all.
        QVector<QStringList> rows{dataFileHeadings(true)};
        const QDateTime start(QDate(2026, 12, 8), QTime(10, 0, 0), QTimeZone("America/Sao_Paulo"));
        for (int i = 0; i < 2000; ++i) {
            const QDateTime t = start.addSecs(60 * i);
            const bool dry = i % 10 == 0;
            rows.append({QString::number(i + 1), t.toString("dd/MM/yyyy"), t.toString("hh:mm:ss"),
                         QString::number(20 + (i % 50) / 10.0, 'f', 1), dry ? "----.0" : "12.5",
                         dry ? "----.0" : "15.1", dry ? "0.0" : "61.3"});
        }
        rows.append({"2001", "10/12/2026", "00:00:00", "OL", "----.0", "----.0", "OL"});
        const QString dlf = m_dir.filePath("sala.dlf");
        QVERIFY(writeFile(dlf, gridDumpBytes(QStringLiteral("Câmara fria"), {}, {}, rows)));

        const QString lp = m_dir.filePath("sala.lp");
        CliResult r = runCli({"convert", dlf, "-o", lp, "--format", "influx", "--measurement", "câmara 1", "--tag",
                              "sala=Lab 2,norte", "--tz", "America/Sao_Paulo"});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains("2000 records"), qPrintable(r.out));
        QVERIFY2(r.err.contains("1 records without any number"), qPrintable(r.err));

        // influx -import takes the file after its two header lines.
        QFile f(lp);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString import = m_dir.filePath("import.txt");
        QVERIFY(writeFile(import, "# DML\n# CONTEXT-DATABASE: lab\n" + f.readAll()));
        QCOMPARE(influx({"-execute", "CREATE DATABASE lab"}).code, 0);
        r = influx({"-import", "-path", import, "-precision", "ns"});
        QCOMPARE(r.code, 0);
        QVERIFY2(!r.err.contains("Failed") || r.err.contains("Failed 0"), qPrintable(r.err));

        const QJsonArray counts = query("lab", "SELECT count(temp), count(dew), count(rh) FROM \"câmara 1\" "
                                               "WHERE sala = 'Lab 2,norte' AND unit = 'C'");
        QCOMPARE(counts.at(0).toArray().at(1).toInt(), 2000);
        QCOMPARE(counts.at(0).toArray().at(2).toInt(), 1800);
        QCOMPARE(counts.at(0).toArray().at(3).toInt(), 2000);

        // The first record: 10:00 at UTC-3, its values exactly.
        const QJsonArray first = query("lab", "SELECT temp, dew, wet, rh FROM \"câmara 1\" LIMIT 2");
        QCOMPARE(first.at(0).toArray().at(0).toString(), QStringLiteral("2026-12-08T13:00:00Z"));
        QCOMPARE(first.at(0).toArray().at(1).toDouble(), 20.0);
        QVERIFY(first.at(0).toArray().at(2).isNull());
        QCOMPARE(first.at(0).toArray().at(4).toDouble(), 0.0);
        QCOMPARE(first.at(1).toArray().at(0).toString(), QStringLiteral("2026-12-08T13:01:00Z"));
        QCOMPARE(first.at(1).toArray().at(1).toDouble(), 20.1);
        QCOMPARE(first.at(1).toArray().at(2).toDouble(), 12.5);
        QCOMPARE(first.at(1).toArray().at(3).toDouble(), 15.1);
        QCOMPARE(first.at(1).toArray().at(4).toDouble(), 61.3);
    }

    void badArguments()
    {
        const QString dlf = m_dir.filePath("x.dlf");
        QVERIFY(writeFile(dlf, recordingFileStart(true)));
        for (const QStringList &bad : {QStringList{"--tz", "Marte/Olimpo"},
                                       {"--tag", "unit=K"},
                                       {"--tag", "semigual"},
                                       {"--measurement", "#x"},
                                       {"--sep", ";"},
                                       {"--format", "xml"}}) {
            const CliResult r =
                runCli(QStringList{"convert", dlf, "-o", m_dir.filePath("x.lp"), "--format", "influx"} + bad);
            QCOMPARE(r.code, 2);
            QVERIFY(!QFile::exists(m_dir.filePath("x.lp")));
        }
        QCOMPARE(runCli({"convert", dlf, "-o", m_dir.filePath("x.csv"), "--tag", "a=b"}).code, 2);
    }
};

QTEST_GUILESS_MAIN(TestCliInflux)
#include "tst_cli_influx.moc"
