#pragma once

#include "support/ServerProcess.h"

#include <QObject>
#include <QProcess>
#include <QStringList>

// A Mosquitto broker of the test's own on 127.0.0.1 and a free port.
// `extra` is added to its configuration (placeholders of ServerProcess);
// with `persistent`, sessions and queued messages survive a stop and start.
class Mosquitto {
public:
    explicit Mosquitto(const QString &extra = {}, bool persistent = false);
    ServerProcess &server() { return server_; }
    quint16 port() const { return server_.port(); }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(server_.port()); }
    bool start() { return server_.start(); }
    void stop() { server_.stop(); }
    void kill() { server_.kill(); }

private:
    ServerProcess server_;
};

// One message as a subscriber got it.
struct MqttMessage {
    QString topic;
    QByteArray payload;
    bool retained = false;
};

// mosquitto_sub on a broker of the test: collects every message of `topic`
// (a filter, "#" wildcards allowed). Ready once the broker acknowledged the
// subscription. `extra`: more mosquitto_sub arguments (TLS, user, a
// persistent session ...).
class MqttSubscriber : public QObject {
    Q_OBJECT
public:
    MqttSubscriber(quint16 port, const QString &topic, const QStringList &extra = {});
    ~MqttSubscriber() override;
    bool waitReady(int limitMs = 20000);
    const QList<MqttMessage> &messages() const { return messages_; }
    QList<QByteArray> payloads(const QString &topic) const;
    int count(const QString &topic) const { return int(payloads(topic).size()); }
    // The latest payload of the topic (empty when none came).
    QByteArray last(const QString &topic) const
    {
        const QList<QByteArray> p = payloads(topic);
        return p.isEmpty() ? QByteArray() : p.last();
    }
    QString log() const { return log_; }
    bool running() const { return process_.state() != QProcess::NotRunning; }
    void stop();

private:
    void read();
    QProcess process_;
    QByteArray buffer_;
    QList<MqttMessage> messages_;
    QString log_;
    bool ready_ = false;
};

// The retained messages of a topic filter as a new subscriber sees them now.
QList<MqttMessage> retainedMessages(quint16 port, const QString &topic, const QStringList &extra = {});

// The name of the user this test runs as (the broker keeps it when started as root).
QString currentUserName();

// The messages of a topic as they came, the first copy of each (a message
// the broker got just before a loss may come twice), without the retained
// copy a (re)subscription brings.
QList<QByteArray> delivered(const MqttSubscriber &s, const QString &topic);
