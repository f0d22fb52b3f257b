#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

struct mosquitto;
struct mosquitto_message;
class QSocketNotifier;

// Where and how to reach the broker.
struct MqttBrokerSettings {
    QString host = QStringLiteral("localhost");
    quint16 port = 1883;
    QString user;
    QString password;
    bool hasPassword = false;
    QString caFile; // TLS when set
    QString certFile, keyFile;
    QString clientId;
    int keepAliveSeconds = 15;
    int retryMaxMs = 5000;      // the longest pause between two attempts
    int connectLimitMs = 10000; // an attempt that gets no answer is given up
    QString describe() const { return QStringLiteral("%1:%2").arg(host).arg(port); }
};

// One MQTT connection with libmosquitto, run on the Qt event loop of the
// calling thread (its socket watched by QSocketNotifier, its keep-alive by a
// timer): no thread, nothing ever waits on the network. It connects at
// start() and again after every loss, for ever, with pauses growing to
// retryMaxMs. Every publication is QoS 1. Each connection uses a fresh
// libmosquitto object, so nothing of a lost connection is sent again behind
// the caller's back: what to send again is the caller's choice.
class MqttClient : public QObject {
    Q_OBJECT
public:
    explicit MqttClient(const MqttBrokerSettings &settings, QObject *parent = nullptr);
    ~MqttClient() override;

    // The broker's last will for every connection (set before start()).
    void setWill(const QString &topic, const QByteArray &payload, bool retain);
    // Topics subscribed (QoS 1) on every connection (set before start()).
    void setSubscriptions(const QStringList &topics) { subscriptions_ = topics; }
    void start();
    // A clean DISCONNECT (the broker then keeps the will to itself); no reconnection after it.
    void stop();
    bool isConnected() const { return state_ == State::Connected; }
    // Sends now; the message id, or 0 when it could not go out (not connected).
    int publish(const QString &topic, const QByteArray &payload, bool retain);
    // Why the last attempt or connection failed.
    QString lastError() const { return lastError_; }
    const MqttBrokerSettings &settings() const { return settings_; }

signals:
    void connected();
    // An attempt failed or the connection was lost (each time).
    void disconnected(const QString &reason);
    void acknowledged(int mid);
    // A message on a subscribed topic.
    void messageReceived(const QString &topic, const QByteArray &payload);

private:
    enum class State { Idle, Resolving, Connecting, Connected, Waiting, Stopped };

    void attempt();
    void connectTo(const QString &address);
    // mosquitto_connect_async() returned rc (errno err): watch the socket.
    void connectStarted(int rc, int err);
    void onReadable();
    void onWritable();
    void onMisc();
    // After each libmosquitto call: hands on what its callbacks recorded.
    void afterCall(int rc);
    void fail(const QString &reason);
    void teardown();
    void updateWriteNotifier();
    QString errorText(int rc) const;

    static void onConnectCb(struct mosquitto *, void *obj, int rc);
    static void onDisconnectCb(struct mosquitto *, void *obj, int rc);
    static void onPublishCb(struct mosquitto *, void *obj, int mid);
    static void onMessageCb(struct mosquitto *, void *obj, const struct mosquitto_message *message);
    static void onLogCb(struct mosquitto *, void *obj, int level, const char *text);

    MqttBrokerSettings settings_;
    QString willTopic_;
    QByteArray willPayload_;
    bool willRetain_ = false;
    bool hasWill_ = false;

    State state_ = State::Idle;
    struct mosquitto *mosq_ = nullptr;
    std::unique_ptr<QSocketNotifier> readNotifier_, writeNotifier_;
    QTimer misc_, retry_, connectLimit_;
    int lookupId_ = -1;
    int attemptId_ = 0; // the connection started on another thread that may still come
    int failures_ = 0;
    QString lastError_;
    QString lastLogError_;

    // Recorded by the callbacks during a libmosquitto call.
    bool cbConnected_ = false;
    int cbRefused_ = -1;
    bool cbLost_ = false;
    QList<int> cbAcks_;
    QList<QPair<QString, QByteArray>> cbMessages_;
    QStringList subscriptions_;
};
