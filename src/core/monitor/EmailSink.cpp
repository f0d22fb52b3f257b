#include "core/monitor/EmailSink.h"

namespace {
constexpr size_t kLastSamples = 5;
}

EmailSink::EmailSink(const EmailSinkOptions &options, Send send, std::function<QDateTime()> now)
    : options_(options), send_(std::move(send)), now_(std::move(now))
{
    if (options_.repeatMs > 0) {
        connect(&repeat_, &QTimer::timeout, this, &EmailSink::checkRepeats);
        repeat_.start(int(std::clamp<qint64>(options_.repeatMs / 10, 100, 1000)));
    }
}

void EmailSink::onSample(const Sample &sample)
{
    last_.push_back(sample);
    if (last_.size() > kLastSamples)
        last_.pop_front();
}

void EmailSink::onAlarm(const AlarmEvent &event)
{
    const AlarmLevel before = levels_.value(event.id, AlarmLevel::None);
    if (event.running())
        levels_[event.id] = event.level;
    else
        levels_.remove(event.id);
    // A turn to the other side is no news; a warning that becomes an alarm
    // is, acknowledged or not.
    const bool news = event.change == AlarmChange::Started || event.change == AlarmChange::Ended ||
                      (event.level == AlarmLevel::Alarm && before == AlarmLevel::Warning);
    // Only reminders need the events nobody acknowledged: without them a
    // run where nobody does would keep every event it ever had.
    if (!event.acknowledged && options_.repeatMs > 0)
        pending_[event.id].event = event;
    else
        pending_.remove(event.id);
    if (news)
        send(event, false);
}

void EmailSink::onAcknowledged(const AlarmEvent &event)
{
    pending_.remove(event.id);
}

void EmailSink::checkRepeats()
{
    if (options_.repeatMs <= 0)
        return;
    const QDateTime now = now_();
    for (auto it = pending_.begin(); it != pending_.end(); ++it)
        if (it->lastSent.isValid() && it->lastSent.msecsTo(now) >= options_.repeatMs)
            send(it->event, true);
}

void EmailSink::send(const AlarmEvent &event, bool reminder)
{
    const QDateTime now = now_();
    if (auto it = pending_.find(event.id); it != pending_.end())
        it->lastSent = now;
    EmailContext c{options_.instrument, options_.ackTopic, QList<Sample>(last_.begin(), last_.end()), now};
    const EmailText text = alarmEmail(event, c, reminder);
    const QString id = QStringLiteral("th-%1-%2-%3-%4@termohigrometro")
                           .arg(options_.instrument)
                           .arg(event.id)
                           .arg(++messages_)
                           .arg(now.toMSecsSinceEpoch());
    send_(mimeMessage(options_.from, options_.to, text, now, id), text.subject);
}
