// `termohigrometro-cli monitor --on-alarm` with a command that never ends: the
// sampling goes on, the next change waits for its turn instead of running
// beside it, the hanging command is ended (even one that ignores SIGTERM),
// and the broker's password is not handed to it.
#include "support/MonitorRun.h"

#include "emulator/PtyHost.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>

namespace {
QStringList lines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList starts(const QString &log)
{
    return lines(log).filter(QRegularExpression(QStringLiteral("^start ")));
}

bool processGone(qint64 pid)
{
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}
} // namespace

class TestCliMonitorAlarm : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(QFile::exists(qEnvironmentVariable("TH_CLI")), "TH_CLI not set"); }

    void hangingCommandIsEndedWithoutStoppingTheSamples()
    {
        PtyHost host(monitoredInstrument()); // 25 °C, 50 %: below both limits at once
        QVERIFY(host.start());
        QTemporaryDir dir;
        const QString log = dir.filePath("alarm.log");
        const QString script = dir.filePath("on-alarm");
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        // The first change it gets hangs, deaf to SIGTERM; the others end at once.
        f.write("#!/bin/sh\n"
                "echo \"start $TH_QUANTITY $$ ${TH_MQTT_PASSWORD:-no-password}\" >> \"$1\"\n"
                "if [ ! -e \"$1.hung\" ]; then : > \"$1.hung\"; trap '' TERM; exec sleep 600; fi\n"
                "echo \"end $TH_QUANTITY\" >> \"$1\"\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TH_MQTT_PASSWORD"), QStringLiteral("s3cret"));
        MonitorRun monitor({"--port", host.devicePath(), "--interval", "1", "--id", "al", "--limit", "temp=30:40",
                            "--limit", "rh=60:90", "--on-alarm", QStringLiteral("'%1' '%2'").arg(script, log),
                            "--json"},
                           env);
        QTRY_COMPARE_WITH_TIMEOUT(starts(log).size(), 1, 30000);
        const QStringList first = starts(log).first().split(QLatin1Char(' '));
        QCOMPARE(first.size(), 4);
        const qint64 pid = first[2].toLongLong();
        QVERIFY(pid > 0);

        // Samples go on while it hangs, and the other change is not run beside it.
        const int before = monitor.samples();
        QTRY_VERIFY_WITH_TIMEOUT(monitor.samples() >= before + 5, 30000);
        QCOMPARE(starts(log).size(), 1);
        QVERIFY(!processGone(pid));

        QTRY_VERIFY2_WITH_TIMEOUT(monitor.err().contains("was still running after 30 s and was ended"),
                                  qPrintable(monitor.err()), 90000);
        QTRY_VERIFY_WITH_TIMEOUT(processGone(pid), 30000);
        // Then the waiting change gets its turn.
        QTRY_COMPARE_WITH_TIMEOUT(lines(log).filter(QRegularExpression(QStringLiteral("^end "))).size(), 1, 30000);
        const QStringList all = starts(log);
        QCOMPARE(all.size(), 2);
        QStringList quantities{all[0].section(' ', 1, 1), all[1].section(' ', 1, 1)};
        quantities.sort();
        QCOMPARE(quantities, (QStringList{"rh", "temp"}));
        for (const QString &s : all)
            QCOMPARE(s.section(' ', 3, 3), QStringLiteral("no-password"));
        const int afterEnd = monitor.samples();
        QTRY_VERIFY_WITH_TIMEOUT(monitor.samples() > afterEnd, 30000);

        QVERIFY(monitor.terminate());
        QCOMPARE(monitor.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestCliMonitorAlarm)
#include "tst_cli_monitor_alarm.moc"
