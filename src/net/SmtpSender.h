#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

// Where and how to send: smtp://host:587 (STARTTLS required), smtps://host:465
// (TLS from the start); smtp:// without TLS only when insecure.
struct SmtpSettings {
    QString url;
    QString from;
    QStringList to;
    QString user, password;
    bool hasPassword = false;
    QString caFile;
    bool insecure = false;
    int timeoutMs = 60000; // one attempt, from connecting to the message's last byte sent
    // The server's answer to a message it has taken whole: mail servers
    // deliver before they answer, and a client that gives up sooner sends
    // the message twice when the server finishes after all (RFC 5321 asks
    // the client to wait 10 minutes here). A link that died meanwhile is
    // seen sooner by TCP keepalive.
    int finalReplyMs = 600000;
    int retryMaxMs = 300000; // the longest pause between two attempts
    int retryFirstMs = 1000;

    // Empty when usable; otherwise why not (for the options' checks).
    QString problem() const;
};

// Sends e-mails with libcurl on a thread of its own, one at a time in their
// order: a server that is away, refuses or never answers delays nothing but
// the next e-mail. A failed message is tried again with a growing pause until
// it goes (every message at least once, in order); an outage is reported once
// (notice, in Portuguese with libcurl's words after), and again when it ends.
class SmtpSender : public QObject {
    Q_OBJECT
public:
    explicit SmtpSender(const SmtpSettings &settings, QObject *parent = nullptr);
    ~SmtpSender() override;

    // Queues a whole message (mimeMessage()); `what` names it in notices.
    void send(const QByteArray &message, const QString &what);
    int queued() const;
    quint64 sentTotal() const;
    // Waits up to limitMs for the queue to empty, then gives up what is left
    // (said in a notice). True when everything went.
    bool close(int limitMs);

    // One attempt, on the calling thread: why it failed ("o servidor recusou
    // o usuário ou a senha (Login denied)"), or nothing when the server took
    // the message. For the settings windows' test e-mail.
    static std::optional<QString> sendOnce(const SmtpSettings &settings, const QByteArray &message,
                                           const std::atomic<bool> *abort = nullptr);

signals:
    void notice(const QString &text);
    void sent(const QString &what);

private:
    // `handle` is a CURL easy handle, its options set anew.
    static std::optional<QString> attempt(void *handle, const SmtpSettings &settings, const QByteArray &message,
                                          const std::atomic<bool> *abort);
    void run();
    void tell(const QString &text);

    SmtpSettings settings_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    struct Item {
        QByteArray message;
        QString what;
    };
    std::deque<Item> queue_;
    quint64 sent_ = 0;
    bool stopping_ = false;
    std::atomic<bool> abort_ = false;
    std::thread thread_;
};
