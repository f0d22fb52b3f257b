#include "core/monitor/Alarms.h"

AlarmMonitor::AlarmMonitor(const Limits &limits, int delay) : limits_(limits), delay_(qMax(1, delay)) {}

QVector<AlarmEvent> AlarmMonitor::update(const Sample &sample)
{
    QVector<AlarmEvent> events;
    for (int i = 0; i < kQuantities; ++i) {
        const auto q = Quantity(i);
        const Bounds &b = limits_[q];
        Track &t = track_[size_t(i)];
        if (!b.isSet()) {
            if (t.state != AlarmState::Ok) {
                t = Track{};
                events.append(AlarmEvent{sample.time, q, AlarmState::Ok, sampleValue(sample, q), b});
            }
            continue;
        }
        const auto v = sampleValue(sample, q);
        if (!v)
            continue;
        const AlarmState side = b.below(*v) ? AlarmState::Low : b.above(*v) ? AlarmState::High : AlarmState::Ok;
        AlarmState next = t.state;
        if (side == AlarmState::Ok) {
            t.outside = 0;
            next = AlarmState::Ok;
        } else if (t.state != AlarmState::Ok) {
            next = side;
        } else if (++t.outside >= delay_) {
            next = side;
        }
        if (next != t.state) {
            t.state = next;
            t.outside = 0;
            events.append(AlarmEvent{sample.time, q, next, v, b});
        }
    }
    return events;
}

void AlarmMonitor::linkLost()
{
    for (Track &t : track_)
        t.outside = 0;
}

void AlarmMonitor::setLimits(const Limits &limits, int delay)
{
    limits_ = limits;
    delay_ = qMax(1, delay);
    // A count toward the delay was made against the old limits.
    for (Track &t : track_)
        t.outside = 0;
}
