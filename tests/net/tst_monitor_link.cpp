// `termohigrometro-cli monitor` through the troubles of a long run: the
// broker away for ten seconds, the instrument silent or unplugged, and
// alarms with their delay and their command.
#include "support/MonitorRun.h"
#include "support/Mosquitto.h"

#include "emulator/PtyHost.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestMonitorLink : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(qEnvironmentVariable("TH_CLI")), "TH_CLI not set");
        if (!haveProgram(QStringLiteral("/usr/sbin/mosquitto")) || !haveProgram(QStringLiteral("mosquitto_sub")))
            QSKIP("mosquitto and mosquitto-clients are not installed");
    }

    void brokerAwayForTenSeconds()
    {
        // The subscriber's session outlives the broker's restart, so it misses nothing either.
        Mosquitto broker(QStringLiteral("max_queued_messages 100000\n"), true);
        QVERIFY2(broker.start(), qPrintable(broker.server().lastError()));
        PtyHost host(monitoredInstrument());
        QVERIFY(host.start());
        const QString state = QStringLiteral("termohigrometro/o/state");
        MqttSubscriber live(broker.port(), state, {"-c", "-i", "tst-outage"});
        QVERIFY(live.waitReady());
        MonitorRun monitor(
            {"--port", host.devicePath(), "--interval", "1", "--id", "o", "--mqtt", broker.address(), "--json"});
        QTRY_VERIFY_WITH_TIMEOUT(live.count(state) >= 3, 30000);

        broker.stop();
        const int before = monitor.samples();
        QTRY_VERIFY_WITH_TIMEOUT(monitor.samples() >= before + 10, 30000);
        QVERIFY2(broker.start(), qPrintable(broker.server().lastError()));
        const int taken = monitor.samples();
        QTRY_VERIFY_WITH_TIMEOUT(delivered(live, state).size() >= taken, 30000);
        QVERIFY(monitor.terminate());
        QCOMPARE(monitor.exitCode(), 0);

        // Every sample the monitor took, in its order, with the same bytes.
        QList<QByteArray> expected;
        for (const QString &line : monitor.outLines())
            expected << line.toUtf8();
        QCOMPARE(delivered(live, state).mid(0, expected.size()), expected);
        const QString err = monitor.err();
        QCOMPARE(err.count("lost the broker"), 1);
        QCOMPARE(err.count(QStringLiteral("connected to %1 again").arg(broker.address())), 1);
    }

    void alarmsWithDelayAndCommand()
    {
        Mosquitto broker;
        QVERIFY2(broker.start(), qPrintable(broker.server().lastError()));
        PtyHost host(monitoredInstrument());
        QVERIFY(host.start());
        QTemporaryDir dir;
        const QString log = dir.filePath("env.log");
        const QString script = dir.filePath("on-alarm");
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(
            "#!/bin/sh\nenv | grep '^TH_' | sort >> \"$1\"\necho end >> \"$1\"\necho said-by-the-command\nexit 3\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        MqttSubscriber live(broker.port(), QStringLiteral("termohigrometro/al/#"));
        QVERIFY(live.waitReady());
        // The argument has a space: split as a shell would, run without one.
        MonitorRun monitor({"--port", host.devicePath(), "--interval", "1", "--id", "al", "--mqtt", broker.address(),
                            "--limit", "temp=:24", "--limit", "rh=40:60", "--alarm-delay", "3", "--on-alarm",
                            QStringLiteral("'%1' '%2'").arg(script, log), "--json"});
        const QString alarm = QStringLiteral("termohigrometro/al/alarm");
        QTRY_COMPARE_WITH_TIMEOUT(live.count(alarm), 1, 30000);
        const QStringList samples = monitor.outLines();
        QVERIFY(samples.size() >= 3);
        const QJsonObject high = jsonPayload(live.payloads(alarm).first());
        // It started with the third sample outside, not before.
        QCOMPARE(high.value("time").toString(), jsonPayload(samples[2].toUtf8()).value("time").toString());
        QCOMPARE(high.value("quantity").toString(), QStringLiteral("temp"));
        QCOMPARE(high.value("state").toString(), QStringLiteral("high"));
        QCOMPARE(high.value("value").toDouble(), 25.0);
        QVERIFY(high.value("low").isNull());
        QCOMPARE(high.value("high").toDouble(), 24.0);

        host.model().setValues(20.0, 50.0);
        QTRY_COMPARE_WITH_TIMEOUT(live.count(alarm), 2, 30000);
        const QJsonObject ok = jsonPayload(live.payloads(alarm).last());
        QCOMPARE(ok.value("state").toString(), QStringLiteral("ok"));
        QCOMPARE(ok.value("value").toDouble(), 20.0);
        for (const MqttMessage &m : live.messages())
            if (m.topic == alarm)
                QVERIFY(!m.retained);
        QVERIFY(!retainedMessages(broker.port(), alarm).size());

        QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8([&] {
                                      QFile l(log);
                                      return l.open(QIODevice::ReadOnly) ? l.readAll() : QByteArray();
                                  }())
                                      .count("end"),
                                  2, 30000);
        QFile l(log);
        QVERIFY(l.open(QIODevice::ReadOnly));
        const QStringList runs = QString::fromUtf8(l.readAll()).split("end\n", Qt::SkipEmptyParts);
        QCOMPARE(runs.size(), 2);
        const QString first = runs[0];
        for (const QString &line :
             {QStringLiteral("TH_ID=al"), QStringLiteral("TH_QUANTITY=temp"), QStringLiteral("TH_STATE=high"),
              QStringLiteral("TH_VALUE=25"), QStringLiteral("TH_LOW="), QStringLiteral("TH_HIGH=24"),
              QStringLiteral("TH_TIME=") + high.value("time").toString()})
            QVERIFY2(first.split('\n').contains(line), qPrintable(first));
        QVERIFY(runs[1].contains("TH_STATE=ok\n"));
        QVERIFY(runs[1].contains("TH_VALUE=20\n"));
        // Its output and its failure, on the monitor's standard error.
        QTRY_VERIFY_WITH_TIMEOUT(monitor.err().count("failed with exit code 3") == 2, 10000);
        QVERIFY(monitor.err().contains("said-by-the-command"));
        QVERIFY(monitor.terminate());
        QCOMPARE(monitor.exitCode(), 0);
    }

    void linkLostAndBack()
    {
        Mosquitto broker;
        QVERIFY2(broker.start(), qPrintable(broker.server().lastError()));
        QTemporaryDir dir;
        const QString port = dir.filePath("ttyUSB7");
        auto host = std::make_unique<PtyHost>(monitoredInstrument());
        QVERIFY(host->start());
        QVERIFY(host->linkAs(port));
        MqttSubscriber live(broker.port(), QStringLiteral("termohigrometro/ttyUSB7/#"));
        QVERIFY(live.waitReady());
        // --id defaults to the port's name.
        MonitorRun monitor({"--port", port, "--interval", "1", "--mqtt", broker.address()});
        const QString link = QStringLiteral("termohigrometro/ttyUSB7/link");
        const QString state = QStringLiteral("termohigrometro/ttyUSB7/state");
        QTRY_VERIFY_WITH_TIMEOUT(live.count(state) >= 2, 30000);
        QCOMPARE(live.last(link), QByteArray("up"));

        // Silent: down, and no state until it talks again.
        host->model().setSilent(true);
        QTRY_COMPARE_WITH_TIMEOUT(live.last(link), QByteArray("down"), 30000);
        host->model().setSilent(false);
        QTRY_COMPARE_WITH_TIMEOUT(live.last(link), QByteArray("up"), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(live.messages().last().topic == state, 30000);

        // Unplugged and plugged in again under the same name.
        host.reset();
        QTRY_COMPARE_WITH_TIMEOUT(live.last(link), QByteArray("down"), 30000);
        host = std::make_unique<PtyHost>(monitoredInstrument());
        QVERIFY(host->start());
        QVERIFY(host->linkAs(port));
        QTRY_VERIFY2_WITH_TIMEOUT(live.last(link) == "up", qPrintable(monitor.err()), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(live.messages().last().topic == state, 30000);
        QVERIFY(monitor.terminate());
        QCOMPARE(monitor.exitCode(), 0);

        // Between each "down" and the next "up" no state came; after each
        // "up" the states are newer than any before the loss.
        QString linkNow;
        QString lastTime;
        int downs = 0;
        for (const MqttMessage &m : live.messages()) {
            if (m.topic == link) {
                linkNow = QString::fromUtf8(m.payload);
                downs += linkNow == QLatin1String("down") ? 1 : 0;
            } else if (m.topic == state) {
                QCOMPARE(linkNow, QStringLiteral("up"));
                const QString t = jsonPayload(m.payload).value("time").toString();
                QVERIFY2(t > lastTime, qPrintable(t));
                lastTime = t;
            }
        }
        QCOMPARE(downs, 2);
        const QString err = monitor.err();
        QCOMPARE(err.count("link down"), 2);
        QVERIFY(err.contains("stopped sending") || err.contains("no reading frame"));
        QVERIFY(err.contains("failed") || err.contains("is gone"));
    }
};

QTEST_GUILESS_MAIN(TestMonitorLink)
#include "tst_monitor_link.moc"
