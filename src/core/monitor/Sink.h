#pragma once

#include "core/monitor/Sample.h"
#include "core/stats/Limits.h"

#include <QDateTime>
#include <QString>

// The state of one quantity against its limits.
enum class AlarmState { Ok, Low, High };
// "ok", "low", "high": the texts of payloads and of TH_STATE.
QString alarmStateKey(AlarmState state);

// A change of one quantity's alarm state: it went outside (after the delay)
// or came back inside.
struct AlarmEvent {
    QDateTime time; // the time of the sample that made the change
    Quantity quantity = Quantity::Temperature;
    AlarmState state = AlarmState::Ok;
    std::optional<double> value; // that sample's value (°C or %)
    Bounds bounds;
};

// A consumer of samples. Sinks are fed on the sampler's thread and must not
// block it: one that waits on a network queues and reports what it drops.
class SampleSink {
public:
    virtual ~SampleSink();
    virtual void onSample(const Sample &sample) = 0;
    // The link to the instrument was lost (up false: no sample comes until
    // it is up again) or is back.
    virtual void onLinkChanged(bool up, const QDateTime &when)
    {
        (void)up;
        (void)when;
    }
    virtual void onAlarm(const AlarmEvent &event) { (void)event; }
    // The run ends: say goodbye, flush, close. Called once, before destruction.
    virtual void close() {}
};
