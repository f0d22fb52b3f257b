// `termohigrometro-cli monitor` against a real Mosquitto broker started by the
// test, with the emulated instrument on a pseudo-terminal of this process:
// what is published and retained, the will, a clean exit, user names and
// passwords, TLS with client certificates.
#include "support/CliRun.h"
#include "support/MonitorRun.h"
#include "support/Mosquitto.h"

#include "emulator/PtyHost.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {
QMap<QString, MqttMessage> byTopic(const QList<MqttMessage> &messages)
{
    QMap<QString, MqttMessage> m;
    for (const MqttMessage &x : messages)
        m[x.topic] = x;
    return m;
}

// openssl with its output kept for the failure message.
bool openssl(const QString &dir, const QStringList &args)
{
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("openssl"), args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        qWarning() << "openssl" << args << p.readAll();
        return false;
    }
    return true;
}

// A CA, and a certificate signed by it for `name` (127.0.0.1 as its address).
bool makeCa(const QString &dir, const QString &ca)
{
    return openssl(dir, {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                         "-keyout", ca + ".key", "-out", ca + ".crt", "-days", "2", "-subj", "/CN=" + ca});
}
bool makeCert(const QString &dir, const QString &ca, const QString &name)
{
    QFile ext(dir + "/" + name + ".ext");
    if (!ext.open(QIODevice::WriteOnly))
        return false;
    ext.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n");
    ext.close();
    return openssl(dir, {"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                         name + ".key", "-out", name + ".csr", "-subj", "/CN=" + name}) &&
           openssl(dir, {"x509", "-req", "-in", name + ".csr", "-CA", ca + ".crt", "-CAkey", ca + ".key",
                         "-CAcreateserial", "-out", name + ".crt", "-days", "2", "-extfile", name + ".ext"});
}
} // namespace

class TestMqttMonitor : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(qEnvironmentVariable("TH_CLI")), "TH_CLI not set");
        if (!haveProgram(QStringLiteral("/usr/sbin/mosquitto")) || !haveProgram(QStringLiteral("mosquitto_sub")))
            QSKIP("mosquitto and mosquitto-clients are not installed");
    }

    // State, availability, link and discovery as a subscriber and a late
    // subscriber see them, the data file beside them, and SIGTERM.
    void publishesRetainedStateAndExitsCleanly()
    {
        Mosquitto broker;
        QVERIFY2(broker.start(), qPrintable(broker.server().lastError()));
        PtyHost host(monitoredInstrument());
        QVERIFY(host.start());
        host.model().setLowBattery(true);
        MqttSubscriber live(broker.port(), QStringLiteral("#"));
        QVERIFY(live.waitReady());

        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("sala.dlf"));
        MonitorRun monitor({"--port", host.devicePath(), "--interval", "1", "--id", "sala1", "--mqtt", broker.address(),
                            "--ha-discovery", "--ha-prefix", "ha", "--record", file, "--json"});
        const QString state = QStringLiteral("termohigrometro/sala1/state");
        QTRY_VERIFY_WITH_TIMEOUT(live.count(state) >= 3, 30000);

        const QJsonObject o = jsonPayload(live.payloads(state).first());
        QCOMPARE(o.value("temp_c").toDouble(), 25.0);
        QCOMPARE(o.value("temp_f").toDouble(), 77.0);
        QCOMPARE(o.value("rh").toDouble(), 50.0);
        QCOMPARE(o.value("dew_c").toDouble(), 13.9);
        QCOMPARE(o.value("wet_f").toDouble(), 64.4);
        QCOMPARE(o.value("low_battery").toBool(), true);
        QCOMPARE(o.value("logging").toBool(), false);
        QVERIFY(QDateTime::fromString(o.value("time").toString(), Qt::ISODate).isValid());
        QVERIFY(o.value("time").toString().contains(QRegularExpression("[+-]\\d\\d:\\d\\d$")));

        // A subscriber that comes later gets the present state, retained.
        const auto retained = byTopic(retainedMessages(broker.port(), QStringLiteral("#")));
        QCOMPARE(retained.value("termohigrometro/sala1/availability").payload, QByteArray("online"));
        QCOMPARE(retained.value("termohigrometro/sala1/link").payload, QByteArray("up"));
        QVERIFY(retained.contains(state));
        for (const char *t : {"ha/sensor/sala1/temperature/config", "ha/sensor/sala1/humidity/config",
                              "ha/sensor/sala1/dew_point/config", "ha/sensor/sala1/wet_bulb/config",
                              "ha/binary_sensor/sala1/low_battery/config"}) {
            QVERIFY2(retained.contains(t), t);
            QCOMPARE(jsonPayload(retained.value(t).payload).value("state_topic").toString(), state);
        }

        QVERIFY(monitor.terminate());
        QCOMPARE(monitor.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(live.last("termohigrometro/sala1/availability"), QByteArray("offline"), 10000);
        QCOMPARE(byTopic(retainedMessages(broker.port(), "termohigrometro/sala1/availability"))
                     .value("termohigrometro/sala1/availability")
                     .payload,
                 QByteArray("offline"));

        // Every sample went to the broker, and into the data file as `record` writes it.
        const QStringList samples = monitor.outLines();
        QCOMPARE(live.count(state), samples.size());
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QCOMPARE(lines.value(0), QByteArray("*\r"));
        QCOMPARE(lines.value(4).left(2), QByteArray("1\t"));
        QCOMPARE(lines.size() - 1 - 4, samples.size()); // header, heading, records, final empty split
        QVERIFY(lines.value(4).endsWith("\t25.0\t13.9\t18.0\t50.0\r"));
    }

    void lastWillWhenKilled()
    {
        Mosquitto broker;
        QVERIFY2(broker.start(), qPrintable(broker.server().lastError()));
        PtyHost host(monitoredInstrument());
        QVERIFY(host.start());
        MqttSubscriber live(broker.port(), QStringLiteral("termohigrometro/+/availability"));
        QVERIFY(live.waitReady());
        MonitorRun monitor({"--port", host.devicePath(), "--interval", "1", "--id", "x", "--mqtt", broker.address()});
        QTRY_COMPARE_WITH_TIMEOUT(live.last("termohigrometro/x/availability"), QByteArray("online"), 30000);
        monitor.kill();
        QTRY_COMPARE_WITH_TIMEOUT(live.last("termohigrometro/x/availability"), QByteArray("offline"), 20000);
    }

    void passwords()
    {
        QTemporaryDir dir;
        const QString pwfile = dir.filePath("passwd");
        QProcess p;
        p.start("mosquitto_passwd", {"-c", "-b", pwfile, "lab", "s3gredo"});
        QVERIFY(p.waitForFinished(20000) && p.exitCode() == 0);
        QFile::setPermissions(pwfile, QFile::ReadOwner | QFile::WriteOwner);
        Mosquitto broker(QStringLiteral("allow_anonymous false\npassword_file %1\n").arg(pwfile));
        QVERIFY2(broker.start(), qPrintable(broker.server().lastError()));
        PtyHost host(monitoredInstrument());
        QVERIFY(host.start());
        const QStringList sub{"-u", "lab", "-P", "s3gredo"};
        MqttSubscriber live(broker.port(), QStringLiteral("termohigrometro/#"), sub);
        QVERIFY(live.waitReady());

        // Never on the command line.
        CliResult r = runCli({"monitor", "--port", host.devicePath(), "--mqtt", broker.address(), "--mqtt-user", "lab",
                              "--mqtt-password", "s3gredo"});
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.contains("--mqtt-password-file"));

        // The right one from a file (its line end is not part of it).
        const QString right = dir.filePath("right");
        QFile f(right);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("s3gredo\n");
        f.close();
        {
            MonitorRun monitor({"--port", host.devicePath(), "--interval", "1", "--id", "a", "--mqtt", broker.address(),
                                "--mqtt-user", "lab", "--mqtt-password-file", right});
            QTRY_VERIFY_WITH_TIMEOUT(live.count("termohigrometro/a/state") >= 1, 30000);
            QVERIFY(monitor.terminate());
            QCOMPARE(monitor.exitCode(), 0);
        }

        // A wrong one from the environment: one clear message, and it keeps trying.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TH_MQTT_PASSWORD", "errado");
        MonitorRun monitor({"--port", host.devicePath(), "--interval", "1", "--id", "b", "--mqtt", broker.address(),
                            "--mqtt-user", "lab"},
                           env);
        QTRY_VERIFY_WITH_TIMEOUT(monitor.err().contains("refused"), 30000);
        QVERIFY2(monitor.err().contains("not authorised") || monitor.err().contains("bad user name"),
                 qPrintable(monitor.err()));
        // Retries go on (every few seconds) without another line or a crash.
        QTRY_VERIFY_WITH_TIMEOUT(
            broker.server().log().count("u'lab'") >= 3 || broker.server().log().count("not authorised") >= 3, 30000);
        QVERIFY(monitor.running());
        QCOMPARE(monitor.err().count("refused"), 1);
        QCOMPARE(live.count("termohigrometro/b/state"), 0);
        QVERIFY(monitor.terminate());
        QCOMPARE(monitor.exitCode(), 0);
    }

    void tlsWithClientCertificates()
    {
        if (!haveProgram(QStringLiteral("openssl")))
            QSKIP("openssl is not installed");
        QTemporaryDir dir;
        const QString d = dir.path();
        QVERIFY(makeCa(d, "ca") && makeCert(d, "ca", "server") && makeCert(d, "ca", "client"));
        QVERIFY(makeCa(d, "other"));
        Mosquitto broker(QStringLiteral("cafile %1/ca.crt\ncertfile %1/server.crt\nkeyfile %1/server.key\n"
                                        "require_certificate true\n")
                             .arg(d));
        QVERIFY2(broker.start(), qPrintable(broker.server().lastError()));
        PtyHost host(monitoredInstrument());
        QVERIFY(host.start());
        const QStringList tls{"--cafile", d + "/ca.crt", "--cert", d + "/client.crt", "--key", d + "/client.key"};
        MqttSubscriber live(broker.port(), QStringLiteral("termohigrometro/#"), tls);
        QVERIFY2(live.waitReady(), qPrintable(live.log()));

        {
            // By name: the certificate is checked against it, and the name is
            // looked up beside the event loop, not on it.
            MonitorRun monitor({"--port", host.devicePath(), "--interval", "1", "--id", "t", "--mqtt",
                                QStringLiteral("localhost:%1").arg(broker.port()), "--mqtt-cafile", d + "/ca.crt",
                                "--mqtt-cert", d + "/client.crt", "--mqtt-key", d + "/client.key"});
            QTRY_VERIFY_WITH_TIMEOUT(live.count("termohigrometro/t/state") >= 2, 30000);
            QVERIFY(monitor.terminate());
            QCOMPARE(monitor.exitCode(), 0);
        }
        // A broker whose certificate this CA did not sign: a message, no crash, retries.
        MonitorRun monitor({"--port", host.devicePath(), "--interval", "1", "--id", "u", "--mqtt", broker.address(),
                            "--mqtt-cafile", d + "/other.crt", "--mqtt-cert", d + "/client.crt", "--mqtt-key",
                            d + "/client.key", "--json"});
        QTRY_VERIFY_WITH_TIMEOUT(monitor.err().contains("cannot reach the broker"), 30000);
        QVERIFY2(monitor.err().contains("TLS", Qt::CaseInsensitive) ||
                     monitor.err().contains("certificate", Qt::CaseInsensitive),
                 qPrintable(monitor.err()));
        QTRY_VERIFY_WITH_TIMEOUT(monitor.samples() >= 3, 30000);
        QVERIFY(monitor.running());
        QCOMPARE(live.count("termohigrometro/u/state"), 0);
        QVERIFY(monitor.terminate());
        QCOMPARE(monitor.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestMqttMonitor)
#include "tst_mqtt_monitor.moc"
