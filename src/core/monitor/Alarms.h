#pragma once

#include "core/monitor/Sink.h"
#include "core/stats/Limits.h"

#include <QVector>

#include <array>

// The alarm state of each limited quantity, fed one sample at a time. An
// alarm starts when `delay` samples in a row lie outside the bounds (beyond
// them, a value on a bound is inside), ends with the first sample back
// inside, and goes from low to high (or back) at once while it lasts. A value
// that is not a number ("----.0", "OL") changes nothing. Values are °C and %.
class AlarmMonitor {
public:
    explicit AlarmMonitor(const Limits &limits = {}, int delay = 1);

    const Limits &limits() const { return limits_; }
    int delay() const { return delay_; }
    // The changes this sample makes, in the order of the quantities.
    QVector<AlarmEvent> update(const Sample &sample);
    // No sample comes while the link is lost: samples outside before the loss
    // and after it are not "in a row". Running alarms stay as they are until
    // the next sample decides.
    void linkLost();
    // New limits or delay for the next samples. Running alarms go on: the
    // next sample decides against the new limits whether they end, turn to
    // the other side or last (an alarm of a quantity no longer limited ends
    // there). Nothing is ended or written here, so no record says "normal"
    // while the value is outside.
    void setLimits(const Limits &limits, int delay);
    AlarmState state(Quantity q) const { return track_[size_t(q)].state; }

private:
    struct Track {
        AlarmState state = AlarmState::Ok;
        int outside = 0; // samples in a row outside while the state is Ok
    };
    Limits limits_;
    int delay_;
    std::array<Track, kQuantities> track_;
};
