#pragma once

#include "core/monitor/Sample.h"
#include "core/stats/Limits.h"

#include <QDateTime>
#include <QJsonObject>
#include <QString>

// The side of one quantity against its bounds.
enum class AlarmState { Ok, Low, High };
// "ok", "low", "high": the texts of payloads and of TH_STATE for the alarm
// level, as they always were.
QString alarmStateKey(AlarmState state);

// Two levels per quantity: a warning (the early bounds) and an alarm. While
// both hold, the alarm is what the quantity shows.
enum class AlarmLevel { None, Warning, Alarm };
// "ok", "warning", "alarm".
QString alarmLevelKey(AlarmLevel level);

// What an event is about: a limited quantity, the lost instrument, or its
// low battery.
enum class AlarmSubject { Quantity, Link, Battery };

// Where an event stands after this change.
enum class AlarmChange { Started, Changed, Ended, Acknowledged };

// One alarm or warning event as it stands after a change: it starts when
// the value has been outside for the delay, changes level or side while it
// runs, ends when the value is back inside (by the hysteresis), and stays
// unacknowledged, even after its end, until someone acknowledges it with a
// comment. The id is unique for the run (and across runs with a state folder).
struct AlarmEvent {
    QDateTime time; // the time of the sample (or of the check) that made the change
    Quantity quantity = Quantity::Temperature;
    AlarmState state = AlarmState::Ok; // Ok once it has ended
    std::optional<double> value;       // that sample's value (°C or %)
    Bounds bounds;                     // the bounds of the event's level

    AlarmChange change = AlarmChange::Started;
    AlarmSubject subject = AlarmSubject::Quantity;
    AlarmLevel level = AlarmLevel::Alarm; // the level it has, or had when it ended
    quint64 id = 0;
    QDateTime started, ended;
    std::optional<double> peak; // the farthest value beyond the bounds while it ran
    bool acknowledged = false;
    QString ackUser, ackComment;
    QDateTime ackTime;

    bool running() const { return !ended.isValid(); }
};

// "temp", "rh", "dew", "wet", "link" or "battery".
QString alarmSubjectKey(const AlarmEvent &event);
// The state text of payloads and TH_STATE: "ok" once ended; "low"/"high" at
// the alarm level (as before warnings existed), "warning-low"/"warning-high"
// at the warning level; "lost" for the link, "low" for the battery.
QString alarmEventStateKey(const AlarmEvent &event);

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
    // An event started, changed level or side, or ended.
    virtual void onAlarm(const AlarmEvent &event) { (void)event; }
    // Someone acknowledged an event: event.ackUser, ackComment and ackTime
    // say who, why and when.
    virtual void onAcknowledged(const AlarmEvent &event) { (void)event; }
    // A setting of the alarms or of the notifications changed ("limits",
    // "notifications", "start"...): what it was and what it is now, as JSON.
    // Passwords never appear in either.
    virtual void onSettingsChanged(const QString &action, const QJsonObject &before, const QJsonObject &after)
    {
        (void)action;
        (void)before;
        (void)after;
    }
    // The run ends: say goodbye, flush, close. Called once, before destruction.
    virtual void close() {}
};
