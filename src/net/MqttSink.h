#pragma once

#include "core/monitor/MqttPayload.h"
#include "core/monitor/PublishQueue.h"
#include "core/monitor/Sink.h"
#include "net/MqttClient.h"

#include <QObject>

struct MqttSinkOptions {
    MqttBrokerSettings broker;
    QString id;        // the instrument's id (discovery, client id)
    MqttTopics topics; // under termohigrometro/<id> unless chosen
    bool haDiscovery = false;
    QString haPrefix = kDefaultHaPrefix;
    int queueLimit = 10000;
    int window = 50;         // messages in flight before the broker acknowledges them
    bool acceptAcks = false; // listen on <prefix>/alarm/ack
};

// Publishes samples and alarms of one instrument to an MQTT broker: state and
// alarm messages in their order through a bounded queue that survives the
// broker's outages; availability ("online", the will "offline"), the link
// state and the Home Assistant discovery configs retained, sent again on
// every connection. Never waits on the network, except in close().
class MqttSink : public QObject, public SampleSink {
    Q_OBJECT
public:
    explicit MqttSink(const MqttSinkOptions &options, QObject *parent = nullptr);
    ~MqttSink() override;

    // Starts connecting (and keeps reconnecting).
    void start();
    void onSample(const Sample &sample) override;
    void onLinkChanged(bool up, const QDateTime &when) override;
    void onAlarm(const AlarmEvent &event) override;
    void onAcknowledged(const AlarmEvent &event) override;
    // The answer to an acknowledgement on <prefix>/alarm/ack/result.
    void publishAckResult(const std::optional<quint64> &id, bool ok, const QString &error);
    // A retained message that stands beside the samples (the audit trail's
    // checkpoint): sent now when connected and again at every connection,
    // outside the samples' queue.
    void publishRetained(const QString &topic, const QByteArray &payload);
    // "offline", then up to limitMs for the queue to drain; then disconnects.
    void close() override { close(3000); }
    void close(int limitMs);

    // The samples and alarms still owed to the broker leave this sink (what
    // each connection sends anew is not queued)...
    std::deque<PublishQueue::Message> takeQueued();
    // ...and go out from another one, before what it queues next.
    void adopt(std::deque<PublishQueue::Message> messages);

    bool isConnected() const { return client_.isConnected(); }
    int queued() const { return queue_.size(); }
    quint64 dropped() const { return queue_.droppedTotal(); }
    QString lastError() const { return client_.lastError(); }
    const MqttSinkOptions &options() const { return options_; }

signals:
    // A line for the user: an outage, the return, drops, what close() could not deliver.
    void notice(const QString &text);
    void statusChanged();
    // A well-formed acknowledgement arrived on the ack topic (acceptAcks);
    // malformed ones are refused here.
    void ackRequested(const AckRequest &request);

private:
    void onConnected();
    void onDisconnected(const QString &reason);
    void onPublishAcknowledged(int mid);
    void enqueue(const QString &topic, const QByteArray &payload, bool retain);
    void pump();

    MqttSinkOptions options_;
    MqttClient client_;
    PublishQueue queue_;
    std::optional<bool> linkUp_;
    QList<QPair<QString, QByteArray>> retained_;
    bool everConnected_ = false;
    bool inOutage_ = false;
    bool reportedFull_ = false;
    bool closed_ = false;
    int offlineMid_ = 0;
    bool offlineAcked_ = false;
};
