// `termohigrometro-cli monitor` with warnings and alarms against a Mosquitto
// broker of the test, the emulated instrument's values moved during the run:
// the levels and the hysteresis as the broker sees them, acknowledgements
// over MQTT (and their refusals), the silent instrument, and ids that stay
// unique across a restart with a state folder.
#include "support/MonitorRun.h"
#include "support/Mosquitto.h"

#include "emulator/PtyHost.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString kAlarm = QStringLiteral("termohigrometro/cam1/alarm");
const QString kResult = QStringLiteral("termohigrometro/cam1/alarm/ack/result");

QList<QJsonObject> events(const MqttSubscriber &s)
{
    QList<QJsonObject> out;
    for (const QByteArray &p : delivered(s, kAlarm))
        out << jsonPayload(p);
    return out;
}

QStringList states(const MqttSubscriber &s, const QString &quantity)
{
    QStringList out;
    for (const QJsonObject &o : events(s))
        if (o.value("quantity").toString() == quantity && o.value("event").toString() != "acknowledged")
            out << o.value("state").toString();
    return out;
}

bool publish(quint16 port, const QString &topic, const QByteArray &payload, const QStringList &extra = {})
{
    QProcess p;
    p.start(QStringLiteral("mosquitto_pub"), QStringList{"-h", "127.0.0.1", "-p", QString::number(port), "-q", "1",
                                                         "-t", topic, "-m", QString::fromUtf8(payload)} +
                                                 extra);
    return p.waitForFinished(20000) && p.exitCode() == 0;
}
} // namespace

class TestMonitorAlarmEvents : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(qEnvironmentVariable("TH_CLI")), "TH_CLI not set");
        if (!QFile::exists(QStringLiteral("/usr/sbin/mosquitto")))
            QSKIP("mosquitto is not installed");
    }

    void levelsHysteresisAcknowledgementAndTheSilentInstrument()
    {
        Mosquitto broker;
        QVERIFY2(broker.start(), qPrintable(broker.server().lastError()));
        PtyHost host(monitoredInstrument()); // 25 °C
        QVERIFY(host.start());
        MqttSubscriber live(broker.port(), QStringLiteral("termohigrometro/cam1/alarm/#"));
        QVERIFY(live.waitReady());
        QTemporaryDir state;
        const QStringList args{"--port",  host.devicePath(), "--interval",     "1",      "--id",
                               "cam1",    "--mqtt",          broker.address(), "--warn", "temp=:28",
                               "--limit", "temp=:32",        "--hysteresis",   "temp=1", "--link-alarm-after",
                               "3s",      "--state-dir",     state.path(),     "--json"};
        auto monitor = std::make_unique<MonitorRun>(args);
        QTRY_VERIFY_WITH_TIMEOUT(monitor->samples() >= 2, 30000);
        QVERIFY(events(live).isEmpty());

        // Up through the warning into the alarm.
        host.model().setValues(29, 50);
        QTRY_COMPARE_WITH_TIMEOUT(states(live, "temp"), QStringList{"warning-high"}, 30000);
        host.model().setValues(33, 50);
        QTRY_COMPARE_WITH_TIMEOUT(states(live, "temp"), (QStringList{"warning-high", "high"}), 30000);
        // Below the alarm's bound but within the hysteresis: still an alarm.
        host.model().setValues(31.5, 50);
        int seen = monitor->samples();
        QTRY_VERIFY_WITH_TIMEOUT(monitor->samples() >= seen + 3, 30000);
        QCOMPARE(states(live, "temp").size(), 2);
        host.model().setValues(30.5, 50);
        QTRY_COMPARE_WITH_TIMEOUT(states(live, "temp").size(), 3, 30000);
        QCOMPARE(states(live, "temp").last(), QStringLiteral("warning-high"));
        host.model().setValues(27.5, 50); // within 1 of the warning's 28
        seen = monitor->samples();
        QTRY_VERIFY_WITH_TIMEOUT(monitor->samples() >= seen + 3, 30000);
        QCOMPARE(states(live, "temp").size(), 3);
        host.model().setValues(25, 50);
        QTRY_COMPARE_WITH_TIMEOUT(states(live, "temp").size(), 4, 30000);
        const QJsonObject ended = events(live).last();
        QCOMPARE(ended.value("state").toString(), QStringLiteral("ok"));
        QCOMPARE(ended.value("event").toString(), QStringLiteral("ended"));
        QCOMPARE(ended.value("peak").toDouble(), 33.0);
        QCOMPARE(ended.value("acknowledged").toBool(), false);
        const int id = ended.value("id").toInt();
        QVERIFY(id >= 1);
        for (const QJsonObject &o : events(live))
            QCOMPARE(o.value("id").toInt(), id); // one event all along

        // Refusals come on the result topic; the event waits on.
        QVERIFY(publish(broker.port(), kAlarm + "/ack", R"({"id": 999, "user": "ana", "comment": "visto"})"));
        QTRY_COMPARE_WITH_TIMEOUT(live.count(kResult), 1, 30000);
        QVERIFY(jsonPayload(live.last(kResult)).value("error").toString().contains("unknown"));
        QVERIFY(publish(broker.port(), kAlarm + "/ack",
                        QStringLiteral(R"({"id": %1, "user": "ana", "comment": ""})").arg(id).toUtf8()));
        QTRY_COMPARE_WITH_TIMEOUT(live.count(kResult), 2, 30000);
        QCOMPARE(jsonPayload(live.last(kResult)).value("ok").toBool(), false);
        QVERIFY(jsonPayload(live.last(kResult)).value("error").toString().contains("comment"));
        QVERIFY(publish(
            broker.port(), kAlarm + "/ack",
            QStringLiteral(R"({"id": %1, "user": "ana", "comment": "porta da câmara aberta"})").arg(id).toUtf8()));
        QTRY_COMPARE_WITH_TIMEOUT(live.count(kResult), 3, 30000);
        QCOMPARE(jsonPayload(live.last(kResult)).value("ok").toBool(), true);
        QTRY_COMPARE_WITH_TIMEOUT(events(live).last().value("event").toString(), QStringLiteral("acknowledged"), 30000);
        const QJsonObject acked = events(live).last();
        QCOMPARE(acked.value("ack_user").toString(), QStringLiteral("ana"));
        QCOMPARE(acked.value("ack_comment").toString(), QStringLiteral("porta da câmara aberta"));
        QVERIFY(acked.value("ack_time").isString());
        QVERIFY(acked.value("ended").isString());

        // The instrument falls silent: an alarm of the link, ended by the next sample.
        host.model().setSilent(true);
        QTRY_COMPARE_WITH_TIMEOUT(states(live, "link"), QStringList{"lost"}, 60000);
        QCOMPARE(events(live).last().value("level").toString(), QStringLiteral("alarm"));
        host.model().setSilent(false);
        QTRY_COMPARE_WITH_TIMEOUT(states(live, "link"), (QStringList{"lost", "ok"}), 60000);
        const int linkId = events(live).last().value("id").toInt();
        QVERIFY(linkId > id);
        QVERIFY(monitor->terminate());
        QCOMPARE(monitor->exitCode(), 0);

        // The trail holds each step, the acknowledgement with its comment and
        // the user as the message gave it.
        const CliResult shown = runCli({"audit", "show", "--json"});
        QCOMPARE(shown.code, 0);
        QStringList steps, link;
        for (const QJsonValue &v : QJsonDocument::fromJson(shown.out.toUtf8()).array()) {
            const QJsonObject e = v.toObject();
            const QJsonObject now = e.value("new").toObject();
            if (now.value("id").toInt() == id)
                steps << e.value("action").toString();
            if (now.value("id").toInt() == linkId)
                link << e.value("action").toString();
            if (e.value("action").toString() == QLatin1String("alarm.ack") && now.value("id").toInt() == id) {
                QCOMPARE(e.value("reason").toString(), QStringLiteral("porta da câmara aberta"));
                QCOMPARE(now.value("ack_user").toString(), QStringLiteral("ana"));
            }
        }
        QCOMPARE(steps.join(' '), QStringLiteral("alarm.start alarm.change alarm.change alarm.end alarm.ack"));
        QCOMPARE(link.join(' '), QStringLiteral("alarm.start alarm.end"));
        // Its signed checkpoint waits on the broker, retained, for whoever checks the trail.
        MqttSubscriber copy(broker.port(), QStringLiteral("termohigrometro/cam1/audit/checkpoint"));
        QVERIFY(copy.waitReady());
        QTRY_VERIFY_WITH_TIMEOUT(
            copy.last(QStringLiteral("termohigrometro/cam1/audit/checkpoint")).contains("entries="), 30000);
        QVERIFY(copy.last(QStringLiteral("termohigrometro/cam1/audit/checkpoint")).contains("untrusted comment:"));

        // A new run with the same state folder goes on from the last id.
        const int before = int(events(live).size());
        monitor = std::make_unique<MonitorRun>(args);
        host.model().setValues(34, 50);
        QTRY_VERIFY_WITH_TIMEOUT(events(live).size() > before, 30000);
        QVERIFY(events(live).last().value("id").toInt() > linkId);
        QVERIFY(monitor->terminate());
    }

    // The guide's ACL: the monitor publishes and reads its ack topic, a named
    // user acknowledges, anybody else is ignored by the broker.
    void onlyNamedUsersAcknowledge()
    {
        QTemporaryDir dir;
        const QString pwfile = dir.filePath("passwd");
        for (const auto &[user, password] : {std::pair{"cam1", "c4m"}, {"supervisor", "sup3r"}, {"intruso", "1ntr"}}) {
            QProcess p;
            p.start("mosquitto_passwd", QStringList{"-b"} +
                                            (QFile::exists(pwfile) ? QStringList{} : QStringList{"-c"}) +
                                            QStringList{pwfile, user, password});
            QVERIFY(p.waitForFinished(20000) && p.exitCode() == 0);
        }
        const QString acl = qEnvironmentVariable("TH_SOURCE_DIR") + "/docs/monitoring/termohigrometro.acl";
        Mosquitto broker(QStringLiteral("allow_anonymous false\npassword_file %1\nacl_file %2\n").arg(pwfile, acl));
        QVERIFY2(broker.start(), qPrintable(broker.server().lastError()));
        const QStringList supervisor{"-u", "supervisor", "-P", "sup3r"};
        MqttSubscriber live(broker.port(), QStringLiteral("termohigrometro/cam1/alarm/#"), supervisor);
        QVERIFY(live.waitReady());
        PtyHost host(monitoredInstrument()); // 25 °C: above the limit at once
        QVERIFY(host.start());
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TH_MQTT_PASSWORD", "c4m");
        MonitorRun monitor({"--port", host.devicePath(), "--interval", "1", "--id", "cam1", "--mqtt", broker.address(),
                            "--mqtt-user", "cam1", "--limit", "temp=:20", "--json"},
                           env);
        QTRY_COMPARE_WITH_TIMEOUT(states(live, "temp"), QStringList{"high"}, 30000);
        const int id = events(live).first().value("id").toInt();
        QVERIFY(publish(broker.port(), kAlarm + "/ack",
                        QStringLiteral(R"({"id": %1, "user": "x", "comment": "intruso"})").arg(id).toUtf8(),
                        {"-u", "intruso", "-P", "1ntr"}));
        QVERIFY(publish(broker.port(), kAlarm + "/ack",
                        QStringLiteral(R"({"id": %1, "user": "ana", "comment": "verificado"})").arg(id).toUtf8(),
                        supervisor));
        QTRY_COMPARE_WITH_TIMEOUT(live.count(kResult), 1, 30000);
        QCOMPARE(jsonPayload(live.last(kResult)).value("ok").toBool(), true);
        QTRY_COMPARE_WITH_TIMEOUT(events(live).last().value("ack_comment").toString(), QStringLiteral("verificado"),
                                  30000);
        QVERIFY(!monitor.err().contains("intruso"));
        QVERIFY(monitor.terminate());
    }
};

QTEST_GUILESS_MAIN(TestMonitorAlarmEvents)
#include "tst_monitor_alarm_events.moc"
