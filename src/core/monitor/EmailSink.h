#pragma once

#include "core/monitor/EmailText.h"
#include "core/monitor/Sink.h"

#include <QMap>
#include <QObject>
#include <QTimer>

#include <deque>
#include <functional>

struct EmailSinkOptions {
    QString instrument;
    QString ackTopic; // shown in the messages when MQTT is there
    QString from;
    QStringList to;
    qint64 repeatMs = 3600000; // again while unacknowledged; 0: never again
};

// Alarm e-mails: one per start (warning and alarm), per turn into an alarm,
// per end, per lost and restored link, and a reminder every repeatMs while
// an event waits for its acknowledgement. The messages go to `send` (a
// sender that queues them off the sampler's way); time comes from `now`.
class EmailSink : public QObject, public SampleSink {
    Q_OBJECT
public:
    using Send = std::function<void(const QByteArray &message, const QString &what)>;
    EmailSink(const EmailSinkOptions &options, Send send, std::function<QDateTime()> now);

    void onSample(const Sample &sample) override;
    void onAlarm(const AlarmEvent &event) override;
    void onAcknowledged(const AlarmEvent &event) override;
    // Sends the reminders that are due (the timer calls it too).
    void checkRepeats();
    int waitingForAcknowledgement() const { return int(pending_.size()); }

private:
    void send(const AlarmEvent &event, bool reminder);

    EmailSinkOptions options_;
    Send send_;
    std::function<QDateTime()> now_;
    std::deque<Sample> last_;
    struct Pending {
        AlarmEvent event;
        QDateTime lastSent;
    };
    QMap<quint64, Pending> pending_;   // unacknowledged, for reminders
    QMap<quint64, AlarmLevel> levels_; // of the events running
    QTimer repeat_;
    quint64 messages_ = 0;
};
