#include "net/MqttClient.h"

#include "net/MosquittoLib.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QHostInfo>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>

#include <mosquitto.h>

#include <cerrno>
#include <cstring>

namespace {
// A key with a pass phrase would make OpenSSL ask on the terminal: answer
// nothing, so loading it fails with a message instead of a hang.
int noKeyPassword(char *, int, int, void *)
{
    return 0;
}

QString trimmedSentence(const char *text)
{
    QString s = QString::fromUtf8(text).trimmed();
    if (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    return s;
}
} // namespace

MqttClient::MqttClient(const MqttBrokerSettings &settings, QObject *parent) : QObject(parent), settings_(settings)
{
    ensureMosquittoLib();
    misc_.setInterval(1000);
    connect(&misc_, &QTimer::timeout, this, &MqttClient::onMisc);
    retry_.setSingleShot(true);
    connect(&retry_, &QTimer::timeout, this, &MqttClient::attempt);
    connectLimit_.setSingleShot(true);
    connect(&connectLimit_, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("no answer from the broker within %1 s").arg(settings_.connectLimitMs / 1000));
    });
}

MqttClient::~MqttClient()
{
    if (lookupId_ >= 0)
        QHostInfo::abortHostLookup(lookupId_);
    teardown();
}

void MqttClient::setWill(const QString &topic, const QByteArray &payload, bool retain)
{
    willTopic_ = topic;
    willPayload_ = payload;
    willRetain_ = retain;
    hasWill_ = true;
}

void MqttClient::start()
{
    if (state_ != State::Idle)
        return;
    attempt();
}

void MqttClient::attempt()
{
    if (state_ == State::Stopped)
        return;
    // A name is looked up off this thread first: the lookup of an unreachable
    // name server must not stall the caller. libmosquitto then gets the
    // address, or the name again under TLS, where the certificate is checked
    // against it (the system's resolver has just answered for it).
    QHostAddress literal;
    if (literal.setAddress(settings_.host)) {
        connectTo(settings_.host);
        return;
    }
    state_ = State::Resolving;
    lookupId_ = QHostInfo::lookupHost(settings_.host, this, [this](const QHostInfo &info) {
        lookupId_ = -1;
        if (state_ != State::Resolving)
            return;
        if (info.error() != QHostInfo::NoError || info.addresses().isEmpty()) {
            fail(QStringLiteral("cannot find the host %1: %2").arg(settings_.host, info.errorString()));
            return;
        }
        connectTo(settings_.caFile.isEmpty() ? info.addresses().first().toString() : settings_.host);
    });
}

void MqttClient::connectTo(const QString &address)
{
    state_ = State::Connecting;
    lastLogError_.clear();
    const QByteArray id = settings_.clientId.toUtf8();
    mosq_ = mosquitto_new(id.isEmpty() ? nullptr : id.constData(), true, this);
    if (!mosq_) {
        fail(QStringLiteral("cannot create the MQTT client: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        return;
    }
    mosquitto_connect_callback_set(mosq_, &MqttClient::onConnectCb);
    mosquitto_disconnect_callback_set(mosq_, &MqttClient::onDisconnectCb);
    mosquitto_publish_callback_set(mosq_, &MqttClient::onPublishCb);
    mosquitto_log_callback_set(mosq_, &MqttClient::onLogCb);
    mosquitto_message_callback_set(mosq_, &MqttClient::onMessageCb);
    // The caller keeps its own window of messages in flight.
    mosquitto_max_inflight_messages_set(mosq_, 0);
    int rc = MOSQ_ERR_SUCCESS;
    if (hasWill_) {
        const QByteArray t = willTopic_.toUtf8();
        rc = mosquitto_will_set(mosq_, t.constData(), int(willPayload_.size()), willPayload_.constData(), 1,
                                willRetain_);
    }
    if (rc == MOSQ_ERR_SUCCESS && !settings_.user.isEmpty()) {
        const QByteArray u = settings_.user.toUtf8();
        const QByteArray p = settings_.password.toUtf8();
        rc = mosquitto_username_pw_set(mosq_, u.constData(), settings_.hasPassword ? p.constData() : nullptr);
    }
    if (rc == MOSQ_ERR_SUCCESS && !settings_.caFile.isEmpty()) {
        const QByteArray ca = settings_.caFile.toLocal8Bit();
        const QByteArray cert = settings_.certFile.toLocal8Bit();
        const QByteArray key = settings_.keyFile.toLocal8Bit();
        rc = mosquitto_tls_set(mosq_, ca.constData(), nullptr, cert.isEmpty() ? nullptr : cert.constData(),
                               key.isEmpty() ? nullptr : key.constData(), &noKeyPassword);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        fail(errorText(rc));
        return;
    }
    const QByteArray host = address.toUtf8();
    QHostAddress literal;
    if (literal.setAddress(address)) {
        errno = 0;
        rc = mosquitto_connect_async(mosq_, host.constData(), settings_.port, settings_.keepAliveSeconds);
        connectStarted(rc, errno);
        return;
    }
    // Under TLS libmosquitto gets the name, and looks it up itself with the
    // system's blocking resolver: that happens on a thread of its own, so a
    // name server that does not answer never stalls this one. The attempt's
    // time limit runs meanwhile; an answer for an attempt given up is dropped.
    struct mosquitto *m = mosq_;
    mosq_ = nullptr;
    // Its log would be written from that thread: heard again once it is back.
    mosquitto_log_callback_set(m, nullptr);
    const int attempt = ++attemptId_;
    const int port = settings_.port;
    const int keepAlive = settings_.keepAliveSeconds;
    QPointer<MqttClient> self(this);
    QThread *t = QThread::create([m, host, port, keepAlive, attempt, self] {
        errno = 0;
        const int rc = mosquitto_connect_async(m, host.constData(), port, keepAlive);
        const int err = errno;
        auto adopt = [m, rc, err, attempt, self] {
            if (!self || attempt != self->attemptId_ || self->state_ != State::Connecting) {
                mosquitto_destroy(m);
                return;
            }
            mosquitto_log_callback_set(m, &MqttClient::onLogCb);
            self->mosq_ = m;
            self->connectStarted(rc, err);
        };
        // Judged on the application's thread, where the client lives.
        QCoreApplication *app = QCoreApplication::instance();
        if (!app || !QMetaObject::invokeMethod(app, adopt, Qt::QueuedConnection))
            mosquitto_destroy(m);
    });
    connect(t, &QThread::finished, t, &QObject::deleteLater);
    connectLimit_.start(settings_.connectLimitMs);
    t->start();
}

void MqttClient::connectStarted(int rc, int err)
{
    if (rc != MOSQ_ERR_SUCCESS) {
        errno = err;
        fail(errorText(rc));
        return;
    }
    const int fd = mosquitto_socket(mosq_);
    if (fd < 0) {
        fail(QStringLiteral("no socket to the broker"));
        return;
    }
    readNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(readNotifier_.get(), &QSocketNotifier::activated, this, &MqttClient::onReadable);
    writeNotifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
    connect(writeNotifier_.get(), &QSocketNotifier::activated, this, &MqttClient::onWritable);
    updateWriteNotifier();
    misc_.start();
    if (!connectLimit_.isActive())
        connectLimit_.start(settings_.connectLimitMs);
}

void MqttClient::onReadable()
{
    if (!mosq_)
        return;
    afterCall(mosquitto_loop_read(mosq_, 1));
}

void MqttClient::onWritable()
{
    if (!mosq_)
        return;
    afterCall(mosquitto_loop_write(mosq_, 1));
}

void MqttClient::onMisc()
{
    if (!mosq_)
        return;
    const int rc = mosquitto_loop_misc(mosq_);
    // Before the CONNACK there is no connection for it to look after.
    afterCall(rc == MOSQ_ERR_NO_CONN && state_ == State::Connecting ? MOSQ_ERR_SUCCESS : rc);
}

void MqttClient::afterCall(int rc)
{
    const bool wasConnected = cbConnected_;
    const int refused = cbRefused_;
    const bool lost = cbLost_;
    const QList<int> acks = cbAcks_;
    const QList<QPair<QString, QByteArray>> messages = cbMessages_;
    cbMessages_.clear();
    cbConnected_ = false;
    cbRefused_ = -1;
    cbLost_ = false;
    cbAcks_.clear();

    if (refused >= 0) {
        fail(QStringLiteral("the broker refused the connection: %1")
                 .arg(trimmedSentence(mosquitto_connack_string(refused))));
        return;
    }
    if (wasConnected && state_ == State::Connecting) {
        state_ = State::Connected;
        connectLimit_.stop();
        failures_ = 0;
        lastError_.clear();
        // A fresh session every time: the subscriptions go with each connection.
        for (const QString &topic : std::as_const(subscriptions_)) {
            const QByteArray t = topic.toUtf8();
            mosquitto_subscribe(mosq_, nullptr, t.constData(), 1);
        }
        emit connected();
    }
    for (int mid : acks)
        emit acknowledged(mid);
    for (const auto &[topic, payload] : messages) {
        if (!mosq_)
            break;
        emit messageReceived(topic, payload);
    }
    if (!mosq_)
        return; // a receiver's publication found the connection gone
    if (rc != MOSQ_ERR_SUCCESS || lost) {
        fail(rc != MOSQ_ERR_SUCCESS ? errorText(rc) : QStringLiteral("the connection was lost"));
        return;
    }
    updateWriteNotifier();
}

QString MqttClient::errorText(int rc) const
{
    if (rc == MOSQ_ERR_ERRNO && errno != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    QString text = trimmedSentence(mosquitto_strerror(rc));
    if ((rc == MOSQ_ERR_TLS || rc == MOSQ_ERR_INVAL || rc == MOSQ_ERR_ERRNO) && !lastLogError_.isEmpty())
        text += QStringLiteral(" (%1)").arg(lastLogError_);
    return text;
}

void MqttClient::fail(const QString &reason)
{
    // Stopped, or this failure is already handled and its retry planned.
    if (state_ == State::Stopped || state_ == State::Waiting)
        return;
    teardown();
    lastError_ = reason;
    state_ = State::Waiting;
    ++failures_;
    // 0.5 s, 1, 2, 4, then retryMaxMs.
    const int delay = qMin(settings_.retryMaxMs, 500 << qMin(failures_ - 1, 4));
    retry_.start(delay);
    emit disconnected(reason);
}

void MqttClient::teardown()
{
    misc_.stop();
    connectLimit_.stop();
    readNotifier_.reset();
    writeNotifier_.reset();
    if (mosq_) {
        mosquitto_destroy(mosq_);
        mosq_ = nullptr;
    }
}

void MqttClient::stop()
{
    retry_.stop();
    if (lookupId_ >= 0) {
        QHostInfo::abortHostLookup(lookupId_);
        lookupId_ = -1;
    }
    if (mosq_ && state_ == State::Connected) {
        mosquitto_disconnect(mosq_);
        // The DISCONNECT is tiny; give the socket a moment if it is full.
        for (int i = 0; i < 20 && mosquitto_want_write(mosq_); ++i)
            if (mosquitto_loop_write(mosq_, 1) != MOSQ_ERR_SUCCESS)
                break;
    }
    teardown();
    state_ = State::Stopped;
}

int MqttClient::publish(const QString &topic, const QByteArray &payload, bool retain)
{
    if (!mosq_ || state_ != State::Connected)
        return 0;
    int mid = 0;
    const QByteArray t = topic.toUtf8();
    errno = 0;
    const int rc = mosquitto_publish(mosq_, &mid, t.constData(), int(payload.size()), payload.constData(), 1, retain);
    if (rc != MOSQ_ERR_SUCCESS) {
        afterCall(rc);
        return 0;
    }
    updateWriteNotifier();
    return mid;
}

void MqttClient::updateWriteNotifier()
{
    if (writeNotifier_ && mosq_)
        writeNotifier_->setEnabled(mosquitto_want_write(mosq_));
}

void MqttClient::onConnectCb(struct mosquitto *, void *obj, int rc)
{
    auto *self = static_cast<MqttClient *>(obj);
    if (rc == 0)
        self->cbConnected_ = true;
    else
        self->cbRefused_ = rc;
}

void MqttClient::onDisconnectCb(struct mosquitto *, void *obj, int)
{
    static_cast<MqttClient *>(obj)->cbLost_ = true;
}

void MqttClient::onPublishCb(struct mosquitto *, void *obj, int mid)
{
    static_cast<MqttClient *>(obj)->cbAcks_.append(mid);
}

void MqttClient::onMessageCb(struct mosquitto *, void *obj, const struct mosquitto_message *m)
{
    const QByteArray payload(static_cast<const char *>(m->payload), m->payloadlen);
    static_cast<MqttClient *>(obj)->cbMessages_.append({QString::fromUtf8(m->topic), payload});
}

void MqttClient::onLogCb(struct mosquitto *, void *obj, int level, const char *text)
{
    if (level & MOSQ_LOG_ERR)
        static_cast<MqttClient *>(obj)->lastLogError_ = QString::fromUtf8(text).trimmed();
}
