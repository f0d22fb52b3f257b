// Alarm e-mails of `termohigrometro-cli monitor` through Debian's aiosmtpd,
// started by the test with STARTTLS and AUTH: the messages of a warning that
// becomes an alarm and ends, in their order; reminders until the event is
// acknowledged over MQTT and none after; a wrong password and a refused
// recipient told clearly, while the samples go on.
#include "support/MonitorRun.h"
#include "support/Mosquitto.h"
#include "support/SmtpServer.h"

#include "emulator/PtyHost.h"

#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {
QStringList notReminders(const QStringList &subjects)
{
    QStringList out;
    for (const QString &s : subjects)
        if (!s.contains(QStringLiteral("NÃO RECONHECIDO")))
            out << s;
    return out;
}

int reminders(const QStringList &subjects)
{
    return int(subjects.size() - notReminders(subjects).size());
}

QProcessEnvironment withPassword(const QString &password)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TH_SMTP_PASSWORD"), password);
    return env;
}

QStringList mailArgs(const SmtpServer &smtp, const QString &to)
{
    return {"--smtp",  smtp.url(),     "--smtp-cafile",     smtp.caFile(), "--smtp-user",
            "alarmes", "--email-from", "termo@example.org", "--email-to",  to};
}
} // namespace

class TestMonitorEmail : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(qEnvironmentVariable("TH_CLI")), "TH_CLI not set");
        QProcess p;
        p.start(QStringLiteral("/usr/bin/python3"), {"-c", "import aiosmtpd"});
        if (!p.waitForFinished(30000) || p.exitCode() != 0)
            QSKIP("python3-aiosmtpd is not installed");
        if (!QFile::exists(QStringLiteral("/usr/sbin/mosquitto")))
            QSKIP("mosquitto is not installed");
    }

    void warningAlarmEndAndRemindersUntilAcknowledged()
    {
        SmtpServer smtp(QStringLiteral("alarmes"), QStringLiteral("s3nha"));
        QVERIFY2(smtp.start(), qPrintable(smtp.server().lastError()));
        Mosquitto broker;
        QVERIFY2(broker.start(), qPrintable(broker.server().lastError()));
        MqttSubscriber live(broker.port(), QStringLiteral("termohigrometro/cam1/alarm"));
        QVERIFY(live.waitReady());
        PtyHost host(monitoredInstrument());
        QVERIFY(host.start());
        MonitorRun monitor(QStringList{"--port", host.devicePath(), "--interval", "1", "--id", "cam1", "--mqtt",
                                       broker.address(), "--warn", "temp=:28", "--limit", "temp=:32", "--email-repeat",
                                       "3s", "--json"} +
                               mailArgs(smtp, "ops@example.org"),
                           withPassword("s3nha"));
        QTRY_VERIFY_WITH_TIMEOUT(monitor.samples() >= 2, 30000);

        host.model().setValues(29, 50);
        QTRY_COMPARE_WITH_TIMEOUT(notReminders(smtp.subjects()).size(), 1, 30000);
        host.model().setValues(33, 50);
        QTRY_COMPARE_WITH_TIMEOUT(notReminders(smtp.subjects()).size(), 2, 30000);
        host.model().setValues(25, 50);
        QTRY_COMPARE_WITH_TIMEOUT(notReminders(smtp.subjects()).size(), 3, 30000);
        const QStringList s = notReminders(smtp.subjects());
        QCOMPARE(s[0], QStringLiteral("[Termo-higrômetro] AVISO Temperatura ALTA 29,0 °C — cam1"));
        QCOMPARE(s[1], QStringLiteral("[Termo-higrômetro] ALARME Temperatura ALTA 33,0 °C — cam1"));
        QCOMPARE(s[2], QStringLiteral("[Termo-higrômetro] FIM ALARME Temperatura 25,0 °C — cam1"));
        const QJsonObject end = smtp.messages().last();
        QCOMPARE(end.value("to").toArray().first().toString(), QStringLiteral("ops@example.org"));
        const QString body = end.value("body").toString();
        for (const char *part : {"Instrumento: cam1", "Pico: 33,0 °C", "Duração:", "Limites: máximo 32,0 °C",
                                 "Últimas leituras:", "termohigrometro/cam1/alarm/ack"})
            QVERIFY2(body.contains(QString::fromUtf8(part)), qPrintable(body));

        // Unacknowledged, it comes back; acknowledged, it stops.
        QTRY_VERIFY_WITH_TIMEOUT(reminders(smtp.subjects()) >= 1, 30000);
        const int id = jsonPayload(live.last("termohigrometro/cam1/alarm")).value("id").toInt();
        QProcess pub;
        pub.start("mosquitto_pub",
                  {"-h", "127.0.0.1", "-p", QString::number(broker.port()), "-q", "1", "-t",
                   "termohigrometro/cam1/alarm/ack", "-m",
                   QStringLiteral(R"({"id": %1, "user": "ana", "comment": "porta fechada"})").arg(id)});
        QVERIFY(pub.waitForFinished(20000));
        QTRY_VERIFY_WITH_TIMEOUT(monitor.err().contains("acknowledged by ana"), 30000);
        // A reminder already handed to the sender may still arrive.
        const int seen = monitor.samples();
        QTRY_VERIFY_WITH_TIMEOUT(monitor.samples() >= seen + 2, 30000);
        const int after = reminders(smtp.subjects());
        QTRY_VERIFY_WITH_TIMEOUT(monitor.samples() >= seen + 8, 30000); // more than twice the repeat
        QCOMPARE(reminders(smtp.subjects()), after);
        QVERIFY(monitor.terminate());
        QCOMPARE(monitor.exitCode(), 0);
    }

    void wrongPasswordAndRefusedRecipientAreToldOnce()
    {
        SmtpServer smtp(QStringLiteral("alarmes"), QStringLiteral("s3nha"));
        QVERIFY2(smtp.start(), qPrintable(smtp.server().lastError()));
        PtyHost host(monitoredInstrument());
        QVERIFY(host.start());
        for (const auto &[password, to, expected] :
             {std::tuple{"errada", "ops@example.org", "o servidor recusou o usuário ou a senha ("},
              std::tuple{"s3nha", "refuse@example.org", "o servidor recusou a mensagem ("}}) {
            MonitorRun monitor(QStringList{"--port", host.devicePath(), "--interval", "1", "--id", "cam2", "--limit",
                                           "temp=:20", "--json"} +
                                   mailArgs(smtp, to),
                               withPassword(password));
            QTRY_VERIFY2_WITH_TIMEOUT(monitor.err().contains(expected), qPrintable(monitor.err()), 30000);
            // libcurl's words, with the server's answer, follow the Portuguese ones.
            if (QString::fromLatin1(to).startsWith(QLatin1String("refuse")))
                QVERIFY2(monitor.err().contains("550"), qPrintable(monitor.err()));
            // The samples go on, and the failure is told once per outage.
            const int seen = monitor.samples();
            QTRY_VERIFY_WITH_TIMEOUT(monitor.samples() >= seen + 4, 30000);
            QCOMPARE(monitor.err().count(QStringLiteral("E-mail não enviado: ")), 1);
            QVERIFY2(monitor.err().contains("nova tentativa em 1 s"), qPrintable(monitor.err()));
            QVERIFY(!monitor.err().contains(password == QLatin1String("errada") ? "errada" : "s3nha"));
            QVERIFY(monitor.terminate());
            QCOMPARE(monitor.exitCode(), 0);
        }
        QVERIFY(smtp.messages().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMonitorEmail)
#include "tst_monitor_email.moc"
