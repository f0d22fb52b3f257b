#include "net/MqttSink.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace {
const QByteArray kOnline = "online";
const QByteArray kOffline = "offline";
} // namespace

MqttSink::MqttSink(const MqttSinkOptions &options, QObject *parent)
    : QObject(parent), options_(options), client_(options.broker, this), queue_(options.queueLimit)
{
    if (options_.topics.prefix.isEmpty())
        options_.topics.prefix = defaultTopicPrefix(options_.id);
    client_.setWill(options_.topics.availability(), kOffline, true);
    connect(&client_, &MqttClient::connected, this, &MqttSink::onConnected);
    connect(&client_, &MqttClient::disconnected, this, &MqttSink::onDisconnected);
    connect(&client_, &MqttClient::acknowledged, this, &MqttSink::onPublishAcknowledged);
    if (options_.acceptAcks) {
        client_.setSubscriptions({options_.topics.ack()});
        connect(&client_, &MqttClient::messageReceived, this, [this](const QString &topic, const QByteArray &payload) {
            if (topic != options_.topics.ack())
                return;
            AckRequest r;
            QString error;
            if (parseAckRequest(payload, &r, &error))
                emit ackRequested(r);
            else
                publishAckResult(r.id ? std::optional(r.id) : std::nullopt, false, error);
        });
    }
}

MqttSink::~MqttSink() = default;

void MqttSink::start()
{
    client_.start();
}

void MqttSink::onSample(const Sample &sample)
{
    enqueue(options_.topics.state(), statePayload(sample), true);
}

void MqttSink::onAlarm(const AlarmEvent &event)
{
    enqueue(options_.topics.alarm(), alarmPayload(event), false);
}

void MqttSink::onAcknowledged(const AlarmEvent &event)
{
    enqueue(options_.topics.alarm(), alarmPayload(event), false);
}

void MqttSink::publishAckResult(const std::optional<quint64> &id, bool ok, const QString &error)
{
    enqueue(options_.topics.ackResult(), ackResultPayload(id, ok, error), false);
}

void MqttSink::onLinkChanged(bool up, const QDateTime &)
{
    if (linkUp_ == up)
        return;
    linkUp_ = up;
    // Only the present state matters: not queued, sent again on every connection.
    client_.publish(options_.topics.link(), up ? "up" : "down", true);
}

void MqttSink::enqueue(const QString &topic, const QByteArray &payload, bool retain)
{
    if (closed_)
        return;
    queue_.push({topic, payload, retain});
    if (queue_.droppedTotal() > 0 && !reportedFull_) {
        reportedFull_ = true;
        emit notice(QStringLiteral("MQTT: %1 messages wait for the broker; the oldest are dropped from now on")
                        .arg(queue_.limit()));
    }
    pump();
    emit statusChanged();
}

std::deque<PublishQueue::Message> MqttSink::takeQueued()
{
    std::deque<PublishQueue::Message> out = queue_.takeUnacknowledged();
    emit statusChanged();
    return out;
}

void MqttSink::adopt(std::deque<PublishQueue::Message> messages)
{
    if (closed_ || messages.empty())
        return;
    std::deque<PublishQueue::Message> mine = queue_.takeUnacknowledged();
    for (PublishQueue::Message &m : messages)
        queue_.push(std::move(m));
    for (PublishQueue::Message &m : mine)
        queue_.push(std::move(m));
    pump();
    emit statusChanged();
}

void MqttSink::pump()
{
    while (client_.isConnected()) {
        const PublishQueue::Message *m = queue_.nextToSend(options_.window);
        if (!m)
            break;
        const int mid = client_.publish(m->topic, m->payload, m->retain);
        if (mid == 0)
            break;
        queue_.sent(mid);
    }
}

void MqttSink::publishRetained(const QString &topic, const QByteArray &payload)
{
    if (closed_)
        return;
    bool known = false;
    for (auto &r : retained_)
        if (r.first == topic) {
            r.second = payload;
            known = true;
        }
    if (!known)
        retained_.append({topic, payload});
    if (client_.isConnected())
        client_.publish(topic, payload, true);
}

void MqttSink::onConnected()
{
    const bool back = inOutage_;
    inOutage_ = false;
    client_.publish(options_.topics.availability(), kOnline, true);
    if (options_.haDiscovery)
        for (const DiscoveryConfig &c : haDiscoveryConfigs(options_.id, options_.topics, options_.haPrefix))
            client_.publish(c.topic, c.payload, true);
    if (linkUp_)
        client_.publish(options_.topics.link(), *linkUp_ ? "up" : "down", true);
    for (const auto &[topic, payload] : retained_)
        client_.publish(topic, payload, true);
    if (!everConnected_)
        emit notice(QStringLiteral("MQTT: connected to %1").arg(options_.broker.describe()));
    else if (back) {
        QString text = QStringLiteral("MQTT: connected to %1 again, %2 messages to deliver")
                           .arg(options_.broker.describe())
                           .arg(queue_.size());
        if (const quint64 d = queue_.takeDropped())
            text += QStringLiteral(", %1 dropped while it was away").arg(d);
        emit notice(text);
    }
    everConnected_ = true;
    reportedFull_ = false;
    pump();
    emit statusChanged();
}

void MqttSink::onDisconnected(const QString &reason)
{
    queue_.connectionLost();
    if (!inOutage_ && !closed_) {
        inOutage_ = true;
        emit notice(
            QStringLiteral("MQTT: %1 %2: %3; trying again every few seconds, samples are kept")
                .arg(everConnected_ ? QStringLiteral("lost the broker") : QStringLiteral("cannot reach the broker"),
                     options_.broker.describe(), reason));
    }
    emit statusChanged();
}

void MqttSink::onPublishAcknowledged(int mid)
{
    if (offlineMid_ != 0 && mid == offlineMid_)
        offlineAcked_ = true;
    queue_.acknowledged(mid);
    pump();
    emit statusChanged();
}

void MqttSink::close(int limitMs)
{
    if (closed_)
        return;
    QElapsedTimer t;
    t.start();
    // What is still queued goes first, then "offline", while the broker answers.
    QEventLoop loop;
    QTimer tick;
    connect(&tick, &QTimer::timeout, &loop, &QEventLoop::quit);
    tick.start(20);
    while (client_.isConnected() && !queue_.isEmpty() && t.elapsed() < limitMs)
        loop.exec();
    closed_ = true;
    if (client_.isConnected()) {
        offlineMid_ = client_.publish(options_.topics.availability(), kOffline, true);
        while (client_.isConnected() && offlineMid_ != 0 && !offlineAcked_ && t.elapsed() < limitMs + 2000)
            loop.exec();
    }
    if (!queue_.isEmpty())
        emit notice(QStringLiteral("MQTT: %1 messages could not be delivered before the exit").arg(queue_.size()));
    client_.stop();
    emit statusChanged();
}
