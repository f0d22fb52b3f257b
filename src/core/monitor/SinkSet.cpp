#include "core/monitor/SinkSet.h"

SinkSet::SinkSet(const AlarmMonitor &alarms) : alarms_(alarms) {}

SinkSet::~SinkSet()
{
    close();
}

void SinkSet::add(std::unique_ptr<SampleSink> sink)
{
    sinks_.append(sink.get());
    owned_.push_back(std::move(sink));
}

void SinkSet::add(SampleSink *sink)
{
    sinks_.append(sink);
}

QVector<AlarmEvent> SinkSet::sample(const Sample &sample)
{
    const QVector<AlarmEvent> events = alarms_.update(sample);
    for (SampleSink *s : sinks_)
        s->onSample(sample);
    for (const AlarmEvent &e : events)
        for (SampleSink *s : sinks_)
            s->onAlarm(e);
    return events;
}

QVector<AlarmEvent> SinkSet::checkLink(const QDateTime &now)
{
    const QVector<AlarmEvent> events = alarms_.checkLink(now);
    for (const AlarmEvent &e : events)
        for (SampleSink *s : sinks_)
            s->onAlarm(e);
    return events;
}

AlarmMonitor::AckResult SinkSet::acknowledge(quint64 id, const QString &user, const QString &comment,
                                             const QDateTime &when)
{
    AlarmMonitor::AckResult r = alarms_.acknowledge(id, user, comment, when);
    if (r.ok)
        for (SampleSink *s : sinks_)
            s->onAcknowledged(r.event);
    return r;
}

void SinkSet::setConfig(const AlarmConfig &config, const QString &action)
{
    const QJsonObject before = alarms_.config().toJson();
    alarms_.setConfig(config);
    const QJsonObject after = config.toJson();
    if (before != after)
        settingsChanged(action, before, after);
}

void SinkSet::settingsChanged(const QString &action, const QJsonObject &before, const QJsonObject &after)
{
    for (SampleSink *s : sinks_)
        s->onSettingsChanged(action, before, after);
}

void SinkSet::linkChanged(bool up, const QDateTime &when)
{
    if (linkUp_ == up)
        return;
    linkUp_ = up;
    if (!up)
        alarms_.linkLost();
    for (SampleSink *s : sinks_)
        s->onLinkChanged(up, when);
}

void SinkSet::close()
{
    if (closed_)
        return;
    closed_ = true;
    for (SampleSink *s : sinks_)
        s->close();
}
