// `termohigrometro-cli monitor --metrics` with the emulated instrument on a
// pseudo-terminal of this process: the endpoint scraped through the link's
// loss and return, checked by promtool, and scraped by a real Prometheus
// server started by the test.
#include "support/CliRun.h"
#include "support/MonitorRun.h"
#include "support/ServerProcess.h"

#include "emulator/PtyHost.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>
#include <QUrlQuery>

namespace {
struct Reply {
    int status = 0;
    QByteArray contentType, body;
};

Reply request(const QString &url, const QByteArray &verb = "GET")
{
    static QNetworkAccessManager net;
    QNetworkReply *r = net.sendCustomRequest(QNetworkRequest(QUrl(url)), verb);
    Reply out;
    if (!QTest::qWaitFor([r] { return r->isFinished(); }, 30000)) {
        r->abort();
        r->deleteLater();
        return out;
    }
    out.status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    out.contentType = r->header(QNetworkRequest::ContentTypeHeader).toByteArray();
    out.body = r->readAll();
    r->deleteLater();
    return out;
}

// The series of a scrape by name and labels, e.g. `link_up{instrument="m"}`
// (the common prefix left out).
QMap<QString, QString> series(const QByteArray &text)
{
    QMap<QString, QString> m;
    for (const QByteArray &line : text.split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const qsizetype sp = line.lastIndexOf(' ');
        m.insert(QString::fromUtf8(line.left(sp)).remove(QStringLiteral("termohigrometro_")),
                 QString::fromUtf8(line.mid(sp + 1)));
    }
    return m;
}

// The endpoint the monitor announces on its standard error.
QString metricsUrl(MonitorRun &monitor)
{
    QString url;
    (void)QTest::qWaitFor(
        [&] {
            const auto m = QRegularExpression(QStringLiteral("metrics on (http://\\S+)")).match(monitor.err());
            url = m.captured(1);
            return !url.isEmpty() || !monitor.running();
        },
        30000);
    return url;
}

// promtool's verdict on a scrape: empty when it passes.
QString promtoolProblems(const QByteArray &text)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("promtool"), {"check", "metrics"});
    p.write(text);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000))
        return QStringLiteral("promtool did not finish");
    return p.exitCode() == 0 ? QString() : QString::fromUtf8(p.readAll());
}
} // namespace

class TestMetricsMonitor : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(QFile::exists(qEnvironmentVariable("TH_CLI")), "TH_CLI not set"); }

    // The scraped figures are the instrument's, as the sample's JSON carries
    // them; while the link is down no reading is served.
    void scrapedThroughTheLinksLossAndReturn()
    {
        PtyHost host(monitoredInstrument());
        QVERIFY(host.start());
        MonitorRun monitor({"--port", host.devicePath(), "--interval", "1", "--id", "m", "--metrics", "0", "--limit",
                            "temp=:24", "--json"});
        const QString url = metricsUrl(monitor);
        QVERIFY2(url.startsWith("http://127.0.0.1:"), qPrintable(monitor.err()));
        const QString m = QStringLiteral("{instrument=\"m\"}");
        QTRY_VERIFY_WITH_TIMEOUT(series(request(url).body).value("samples_total" + m).toInt() >= 2, 30000);

        const Reply r = request(url);
        QCOMPARE(r.status, 200);
        QCOMPARE(r.contentType, QByteArray("text/plain; version=0.0.4; charset=utf-8"));
        QVERIFY2(promtoolProblems(r.body).isEmpty(), qPrintable(promtoolProblems(r.body)));
        QMap<QString, QString> s = series(r.body);
        // The JSON line of a sample is written before the metrics take it.
        const QStringList lines = monitor.outLines();
        const int taken = s.value("samples_total" + m).toInt();
        QVERIFY(lines.size() >= taken);
        const QJsonObject last = jsonPayload(lines[taken - 1].toUtf8());
        QCOMPARE(s.value("temperature_celsius" + m), QStringLiteral("25"));
        QCOMPARE(s.value("temperature_celsius" + m).toDouble(), last.value("temp_c").toDouble());
        QCOMPARE(s.value("relative_humidity_ratio" + m), QStringLiteral("0.5"));
        QCOMPARE(s.value("dew_point_celsius" + m).toDouble(), last.value("dew_c").toDouble());
        QCOMPARE(s.value("wet_bulb_celsius" + m).toDouble(), last.value("wet_c").toDouble());
        QCOMPARE(qint64(s.value("last_sample_timestamp_seconds" + m).toDouble()),
                 QDateTime::fromString(last.value("time").toString(), Qt::ISODate).toSecsSinceEpoch());
        QCOMPARE(s.value("link_up" + m), QStringLiteral("1"));
        QCOMPARE(s.value("low_battery" + m), QStringLiteral("0"));
        QCOMPARE(s.value("link_losses_total" + m), QStringLiteral("0"));
        QCOMPARE(s.value("alarm{instrument=\"m\",quantity=\"temp\"}"), QStringLiteral("1"));
        QCOMPARE(s.value("limit_high{instrument=\"m\",quantity=\"temp\"}"), QStringLiteral("24"));
        QVERIFY(!s.contains("limit_low{instrument=\"m\",quantity=\"temp\"}"));
        QVERIFY(!s.contains("alarm{instrument=\"m\",quantity=\"rh\"}"));

        // Only GET /metrics is served.
        QCOMPARE(request(url, "POST").status, 404);
        QCOMPARE(request(QString(url).replace("/metrics", "/")).status, 404);
        QCOMPARE(request(url + "/x").status, 404);

        host.model().setSilent(true);
        QTRY_COMPARE_WITH_TIMEOUT(series(request(url).body).value("link_up" + m), QStringLiteral("0"), 30000);
        const QByteArray down = request(url).body;
        QVERIFY2(promtoolProblems(down).isEmpty(), qPrintable(promtoolProblems(down)));
        s = series(down);
        for (const char *gone : {"temperature_celsius", "relative_humidity_ratio", "dew_point_celsius",
                                 "wet_bulb_celsius", "low_battery", "instrument_logging"})
            QVERIFY2(!s.contains(gone + m), gone);
        QCOMPARE(s.value("link_losses_total" + m), QStringLiteral("1"));
        QVERIFY(s.contains("last_sample_timestamp_seconds" + m));

        // Back with new values; a dew point that is no number ("----.0" at 0 %) is left out.
        host.model().setValues(20.0, 0.0);
        host.model().setLowBattery(true);
        host.model().setSilent(false);
        QTRY_COMPARE_WITH_TIMEOUT(series(request(url).body).value("temperature_celsius" + m), QStringLiteral("20"),
                                  30000);
        s = series(request(url).body);
        QCOMPARE(s.value("link_up" + m), QStringLiteral("1"));
        QCOMPARE(s.value("relative_humidity_ratio" + m), QStringLiteral("0"));
        QVERIFY(!s.contains("dew_point_celsius" + m));
        QCOMPARE(s.value("low_battery" + m), QStringLiteral("1"));
        QCOMPARE(s.value("alarm{instrument=\"m\",quantity=\"temp\"}"), QStringLiteral("0"));
        QVERIFY(monitor.terminate());
        QCOMPARE(monitor.exitCode(), 0);
    }

    // Also the figures of an MQTT broker that cannot be reached.
    void scrapedByPrometheus()
    {
        if (!haveProgram(QStringLiteral("prometheus")))
            QSKIP("prometheus is not installed");
        PtyHost host(monitoredInstrument());
        QVERIFY(host.start());
        const QString nobody = QStringLiteral("127.0.0.1:%1").arg(ServerProcess::freePort());
        MonitorRun monitor(
            {"--port", host.devicePath(), "--interval", "1", "--id", "p", "--metrics", "0", "--mqtt", nobody});
        const QString url = metricsUrl(monitor);
        QVERIFY2(!url.isEmpty(), qPrintable(monitor.err()));

        ServerProcess prometheus(QStringLiteral("prometheus"),
                                 {"--config.file={dir}/prometheus.yml", "--storage.tsdb.path={dir}/data",
                                  "--web.listen-address=127.0.0.1:{port}"});
        prometheus.writeFile(QStringLiteral("prometheus.yml"),
                             QStringLiteral("global:\n  scrape_interval: 1s\nscrape_configs:\n"
                                            "  - job_name: termohigrometro\n    static_configs:\n"
                                            "      - targets: ['%1']\n")
                                 .arg(QUrl(url).authority()));
        QVERIFY2(prometheus.start(), qPrintable(prometheus.lastError()));
        QUrlQuery q;
        q.addQueryItem("query", "termohigrometro_temperature_celsius{instrument=\"p\",job=\"termohigrometro\"}");
        const QString api =
            QStringLiteral("http://127.0.0.1:%1/api/v1/query?").arg(prometheus.port()) + q.toString(QUrl::FullyEncoded);
        QJsonArray result;
        QTRY_VERIFY2_WITH_TIMEOUT(
            !(result = QJsonDocument::fromJson(request(api).body)["data"]["result"].toArray()).isEmpty(),
            qPrintable(prometheus.log()), 60000);
        QCOMPARE(result.size(), 1);
        QCOMPARE(result[0].toObject()["value"][1].toString(), QStringLiteral("25"));
        prometheus.stop();

        const QMap<QString, QString> s = series(request(url).body);
        const QString p = QStringLiteral("{instrument=\"p\"}");
        QCOMPARE(s.value("mqtt_connected" + p), QStringLiteral("0"));
        QVERIFY(s.value("samples_total" + p).toInt() > 0);
        // Every sample waits for the broker.
        QCOMPARE(s.value("mqtt_queued_messages" + p), s.value("samples_total" + p));
        QCOMPARE(s.value("mqtt_dropped_messages_total" + p), QStringLiteral("0"));
        QVERIFY(monitor.terminate());
    }

    void refusesBadAddressesAndBusyPorts()
    {
        for (const char *bad : {"abc", "70000", "127.0.0.1:", "::1:9464", "-1"}) {
            const CliResult r = runCli({"monitor", "--port", "/dev/null", "--metrics", bad});
            QCOMPARE(r.code, 2);
            QVERIFY2(r.err.contains("--metrics takes"), bad);
        }
        QTcpServer busy;
        QVERIFY(busy.listen(QHostAddress::LocalHost));
        const CliResult r = runCli({"monitor", "--port", "/dev/null", "--metrics", QString::number(busy.serverPort())});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("cannot serve metrics on"), qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TestMetricsMonitor)
#include "tst_metrics_monitor.moc"
