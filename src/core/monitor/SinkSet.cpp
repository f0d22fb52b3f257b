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
