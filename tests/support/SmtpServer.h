#pragma once

#include "support/ServerProcess.h"

#include <QJsonObject>
#include <QList>

// Debian's aiosmtpd on 127.0.0.1 and a free port, with a test certificate
// made by openssl: STARTTLS required (or TLS from the start with `implicitTls`),
// AUTH required when a user is given. A recipient whose name starts with
// "refuse" is refused (550); while stall() is on, the server takes a message
// and does not answer. Every accepted message is one JSON line: from, to,
// subject (decoded), body.
class SmtpServer {
public:
    explicit SmtpServer(const QString &user = {}, const QString &password = {}, bool implicitTls = false);
    bool start();
    void stop() { server_.stop(); }
    ServerProcess &server() { return server_; }
    quint16 port() const { return server_.port(); }
    QString url() const;
    QString caFile() const { return server_.path(QStringLiteral("cert.pem")); }
    void stall(bool on);
    // How long the server has held the latest message it took while stalled
    // (on its own clock): 0 before it took one.
    double heldSeconds() const;
    QList<QJsonObject> messages() const;
    QStringList subjects() const;

private:
    ServerProcess server_;
    bool implicitTls_;
};
