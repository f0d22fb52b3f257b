#include "support/Mosquitto.h"

#include <QTest>

#include <pwd.h>
#include <unistd.h>

namespace {
// Each message on one line: retained flag, topic, payload in hex (payloads may hold anything).
const char *const kFormat = "MSG> %r %t %x";
} // namespace

QString currentUserName()
{
    if (const passwd *pw = getpwuid(geteuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

Mosquitto::Mosquitto(const QString &extra, bool persistent)
    // Line-buffered, so the log a test reads holds every line written so far
    // (into a file, stdout would keep the last ones in its buffer).
    : server_(QStringLiteral("stdbuf"), {QStringLiteral("-oL"), QStringLiteral("/usr/sbin/mosquitto"),
                                         QStringLiteral("-c"), QStringLiteral("{dir}/mosquitto.conf")})
{
    QString conf = QStringLiteral("listener {port} 127.0.0.1\n"
                                  "log_dest stdout\n"
                                  "log_type all\n"
                                  "user %1\n")
                       .arg(currentUserName());
    if (persistent)
        conf += QStringLiteral("persistence true\npersistence_location {dir}/\nautosave_interval 1\n");
    else
        conf += QStringLiteral("persistence false\n");
    if (!extra.contains(QLatin1String("allow_anonymous")))
        conf += QStringLiteral("allow_anonymous true\n");
    server_.writeFile(QStringLiteral("mosquitto.conf"), conf + extra);
}

MqttSubscriber::MqttSubscriber(quint16 port, const QString &topic, const QStringList &extra)
{
    process_.setProcessChannelMode(QProcess::MergedChannels);
    connect(&process_, &QProcess::readyRead, this, &MqttSubscriber::read);
    QStringList args{QStringLiteral("-h"),  QStringLiteral("127.0.0.1"), QStringLiteral("-p"),
                     QString::number(port), QStringLiteral("-t"),        topic,
                     QStringLiteral("-d"),  QStringLiteral("-F"),        QString::fromLatin1(kFormat)};
    if (!extra.contains(QLatin1String("-q")))
        args << QStringLiteral("-q") << QStringLiteral("1");
    endWithThisProcess(process_);
    // Line-buffered: its debug lines (SUBACK) would otherwise wait in a pipe buffer.
    process_.start(QStringLiteral("stdbuf"),
                   QStringList{QStringLiteral("-oL"), QStringLiteral("mosquitto_sub")} + args + extra);
}

MqttSubscriber::~MqttSubscriber()
{
    stop();
}

void MqttSubscriber::stop()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
    read();
}

bool MqttSubscriber::waitReady(int limitMs)
{
    return QTest::qWaitFor([this] { return ready_ || process_.state() == QProcess::NotRunning; }, limitMs) && ready_;
}

void MqttSubscriber::read()
{
    buffer_ += process_.readAll();
    qsizetype nl;
    while ((nl = buffer_.indexOf('\n')) >= 0) {
        const QByteArray line = buffer_.left(nl);
        buffer_.remove(0, nl + 1);
        if (line.startsWith("MSG> ")) {
            // Flag first, payload last, the topic (which may hold spaces) between.
            const QByteArray rest = line.mid(5);
            const qsizetype first = rest.indexOf(' '), last = rest.lastIndexOf(' ');
            if (first > 0 && last > first) {
                MqttMessage m;
                m.retained = rest.left(first) == "1";
                m.topic = QString::fromUtf8(rest.mid(first + 1, last - first - 1));
                m.payload = QByteArray::fromHex(rest.mid(last + 1));
                messages_.append(m);
            }
        } else {
            log_ += QString::fromUtf8(line) + QLatin1Char('\n');
            if (line.contains("SUBACK"))
                ready_ = true;
        }
    }
}

QList<QByteArray> MqttSubscriber::payloads(const QString &topic) const
{
    QList<QByteArray> out;
    for (const MqttMessage &m : messages_)
        if (m.topic == topic)
            out.append(m.payload);
    return out;
}

QList<MqttMessage> retainedMessages(quint16 port, const QString &topic, const QStringList &extra)
{
    // Retained messages come right after the subscription; mosquitto_sub
    // ends by itself after -W seconds.
    MqttSubscriber s(port, topic, extra + QStringList{QStringLiteral("-W"), QStringLiteral("2")});
    (void)QTest::qWaitFor([&] { return !s.running(); }, 15000);
    s.stop();
    QList<MqttMessage> out;
    for (const MqttMessage &m : s.messages())
        if (m.retained)
            out.append(m);
    return out;
}

QList<QByteArray> delivered(const MqttSubscriber &s, const QString &topic)
{
    QList<QByteArray> out;
    for (const MqttMessage &m : s.messages())
        if (m.topic == topic && !m.retained && !out.contains(m.payload))
            out.append(m.payload);
    return out;
}
