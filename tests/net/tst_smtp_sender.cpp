// The e-mail sender against Debian's aiosmtpd (STARTTLS, AUTH): a server
// that takes a message and answers late gets every message once and in
// order; one that never confirms is given up on and told; each failure is
// told in Portuguese with libcurl's words after.
#include "net/SmtpSender.h"
#include "support/ServerProcess.h"
#include "support/SmtpServer.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>

namespace {
SmtpSettings settingsFor(const SmtpServer &smtp)
{
    SmtpSettings s;
    s.url = smtp.url();
    s.from = QStringLiteral("termo@example.org");
    s.to = {QStringLiteral("ops@example.org")};
    s.user = QStringLiteral("alarmes");
    s.password = QStringLiteral("s3nha");
    s.hasPassword = true;
    s.caFile = smtp.caFile();
    s.retryFirstMs = 100;
    return s;
}

QByteArray message(const QString &subject)
{
    return "From: termo@example.org\r\nTo: ops@example.org\r\nSubject: " + subject.toUtf8() +
           "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\nTeste.\r\n";
}

QStringList texts(const QSignalSpy &spy)
{
    QStringList out;
    for (const QList<QVariant> &args : spy)
        out << args.value(0).toString();
    return out;
}
} // namespace

class TestSmtpSender : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        if (QProcess::execute(QStringLiteral("/usr/bin/python3"), {"-c", "import aiosmtpd"}) != 0)
            QSKIP("python3-aiosmtpd is not installed");
        QVERIFY2(smtp_.start(), qPrintable(smtp_.server().lastError()));
    }

    void init() { smtp_.stall(false); }

    // The server holds the first message well past the sender's limit for
    // the rest of an attempt: the sender waits for its answer instead of
    // trying again, so no message comes twice.
    void lateAnswerAfterTheMessageIsWaitedFor()
    {
        SmtpSettings s = settingsFor(smtp_);
        // Short, yet long enough for the steps before the message on a busy machine.
        s.timeoutMs = 5000;
        const qsizetype before = smtp_.messages().size();
        SmtpSender sender(s);
        QSignalSpy notices(&sender, &SmtpSender::notice);
        smtp_.stall(true);
        for (const char *subject : {"um", "dois", "três"})
            sender.send(message(QString::fromUtf8(subject)), QString::fromUtf8(subject));
        QTRY_VERIFY_WITH_TIMEOUT(smtp_.heldSeconds() >= 8, 30000);
        QCOMPARE(sender.queued(), 3);
        smtp_.stall(false);
        QTRY_COMPARE_WITH_TIMEOUT(sender.sentTotal(), quint64(3), 30000);
        QCOMPARE(smtp_.subjects().mid(before), (QStringList{"um", "dois", "três"}));
        QVERIFY2(notices.isEmpty(), qPrintable(texts(notices).join('\n')));
    }

    // Past the wait for the server's answer the attempt is given up, said
    // once, and the message goes again when the server answers.
    void noAnswerAfterTheMessageIsToldAndTriedAgain()
    {
        SmtpSettings s = settingsFor(smtp_);
        s.finalReplyMs = 1000;
        SmtpSender sender(s);
        QSignalSpy notices(&sender, &SmtpSender::notice);
        smtp_.stall(true);
        sender.send(message(QStringLiteral("quatro")), QStringLiteral("quatro"));
        QTRY_VERIFY_WITH_TIMEOUT(!notices.isEmpty(), 30000);
        QCOMPARE(notices.first().value(0).toString(),
                 QStringLiteral("E-mail não enviado: o servidor recebeu a mensagem e não a confirmou em 1 s; nova "
                                "tentativa em 1 s, depois com pausas maiores, até 5 min (\"quatro\", servidor %1)")
                     .arg(smtp_.url()));
        smtp_.stall(false);
        QTRY_COMPARE_WITH_TIMEOUT(sender.sentTotal(), quint64(1), 30000);
        QTRY_COMPARE_WITH_TIMEOUT(notices.size(), 2, 30000);
        QVERIFY2(notices.last().value(0).toString().startsWith(QStringLiteral("E-mail enviado de novo, após ")),
                 qPrintable(notices.last().value(0).toString()));
    }

    void failuresToldInPortuguese_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("expected");
        QTest::newRow("password") << "password"
                                  << "o servidor recusou o usuário ou a senha (";
        QTest::newRow("recipient") << "recipient"
                                   << "o servidor recusou a mensagem (";
        QTest::newRow("nobody listens") << "port"
                                        << "nenhum servidor atende em 127.0.0.1:";
        QTest::newRow("unknown authority") << "ca"
                                           << "o certificado do servidor não foi aceito (";
    }

    void failuresToldInPortuguese()
    {
        QFETCH(QString, what);
        QFETCH(QString, expected);
        SmtpSettings s = settingsFor(smtp_);
        if (what == QLatin1String("password"))
            s.password = QStringLiteral("errada");
        else if (what == QLatin1String("recipient"))
            s.to = {QStringLiteral("refuse@example.org")};
        else if (what == QLatin1String("port"))
            s.url = QStringLiteral("smtp://127.0.0.1:%1").arg(ServerProcess::freePort());
        else
            s.caFile = QStringLiteral("/etc/ssl/certs/ca-certificates.crt");
        const auto error = SmtpSender::sendOnce(s, message(QStringLiteral("cinco")));
        QVERIFY(error);
        QVERIFY2(error->startsWith(expected), qPrintable(*error));
        // libcurl's own words after, never the password.
        QVERIFY2(error->endsWith(QLatin1Char(')')), qPrintable(*error));
        QVERIFY(!error->contains(QLatin1String("errada")) && !error->contains(QLatin1String("s3nha")));
        if (what == QLatin1String("recipient"))
            QVERIFY2(error->contains(QLatin1String("550")), qPrintable(*error));
    }

    // A server that never answers does not hold up the end for ever: what
    // was left is said.
    void closeGivesUpWhatTheServerHolds()
    {
        SmtpSender sender(settingsFor(smtp_));
        QSignalSpy notices(&sender, &SmtpSender::notice);
        smtp_.stall(true);
        sender.send(message(QStringLiteral("seis")), QStringLiteral("seis"));
        QTRY_VERIFY_WITH_TIMEOUT(smtp_.heldSeconds() > 0, 30000);
        QVERIFY(!sender.close(100));
        QCOMPARE(texts(notices), QStringList{"Um e-mail não foi enviado antes do fim."});
    }

private:
    SmtpServer smtp_{QStringLiteral("alarmes"), QStringLiteral("s3nha")};
};

QTEST_GUILESS_MAIN(TestSmtpSender)
#include "tst_smtp_sender.moc"
