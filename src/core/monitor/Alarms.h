#pragma once

#include "core/monitor/Sink.h"
#include "core/stats/Limits.h"

#include <QJsonObject>
#include <QVector>

#include <array>
#include <deque>
#include <functional>

// How long a value must stay outside before a level starts: a number of
// samples in a row, or a duration ("90s", "30m", "2h") outside without a
// sample inside.
struct AlarmDelay {
    int samples = 1;
    qint64 ms = 0; // > 0: a duration, and samples is not used

    // "3" (samples) or "90s", "30m", "2h"; nothing for anything else.
    static std::optional<AlarmDelay> parse(const QString &text);
    QString text() const;
    bool operator==(const AlarmDelay &) const = default;
};

// "90s", "30m", "2h", "1500ms" or a bare number of seconds; "0" is 0.
std::optional<qint64> parseDurationMs(const QString &text);
QString durationText(qint64 ms);

// Everything the alarm state machine is told by its user.
struct AlarmConfig {
    Limits alarm, warning;
    AlarmDelay alarmDelay, warningDelay;
    std::array<double, kQuantities> hysteresis{}; // °C or %, per quantity
    qint64 linkAlarmAfterMs = 5 * 60 * 1000;      // 0: no alarm for a lost instrument
    bool batteryWarning = true;

    bool any() const { return alarm.any() || warning.any(); }
    QJsonObject toJson() const;
    bool operator==(const AlarmConfig &) const = default;
};

// The alarm state of each limited quantity, fed one sample at a time, with
// the events it starts. A level starts when the value has been outside its
// bounds (beyond them: a value on a bound is inside) for its delay; it ends
// when the value is back inside by the hysteresis; while an event runs it
// follows the value from low to high and between the levels at once. A value
// that is not a number ("----.0", "OL") changes nothing. Values are °C and %.
// Besides the quantities: no sample for linkAlarmAfterMs is an alarm of the
// link (ended by the next sample), and a low battery is a warning.
class AlarmMonitor {
public:
    // Alarm limits only: no warnings, no link or battery events.
    explicit AlarmMonitor(const Limits &limits = {}, int delay = 1);
    explicit AlarmMonitor(const AlarmConfig &config);

    const Limits &limits() const { return config_.alarm; }
    int delay() const { return config_.alarmDelay.samples; }
    const AlarmConfig &config() const { return config_; }

    // The changes this sample makes: the link first, then the quantities in
    // their order, then the battery.
    QVector<AlarmEvent> update(const Sample &sample);
    // Where the run's time starts for the link alarm when no sample came yet.
    void start(const QDateTime &now);
    // Starts the link alarm once no sample has come for linkAlarmAfterMs.
    QVector<AlarmEvent> checkLink(const QDateTime &now);
    // No sample comes while the link is lost: samples outside before the loss
    // and after it are not "in a row". Running alarms stay as they are until
    // the next sample decides.
    void linkLost();
    // New settings for the next samples. Running events go on: the next
    // sample decides against the new bounds whether they end, turn to the
    // other side or last (an event of a quantity no longer limited ends
    // there). Nothing is ended or written here, so no record says "normal"
    // while the value is outside.
    void setLimits(const Limits &limits, int delay);
    void setConfig(const AlarmConfig &config);

    // The alarm-level side of a quantity (Ok during a warning).
    AlarmState state(Quantity q) const;
    AlarmLevel level(Quantity q) const { return track_[size_t(q)].level; }
    AlarmState side(Quantity q) const { return track_[size_t(q)].side; }
    // The event of the quantity while one runs.
    const AlarmEvent *current(Quantity q) const;

    struct AckResult {
        bool ok = false;
        QString error; // why it was refused
        AlarmEvent event;
    };
    // Records who acknowledged which event, why and when. Refused for an
    // unknown id, an empty comment or an event acknowledged before.
    AckResult acknowledge(quint64 id, const QString &user, const QString &comment, const QDateTime &when);
    // The events of the run still kept (all running and unacknowledged ones,
    // the latest others), by id.
    QVector<AlarmEvent> events() const;
    const AlarmEvent *event(quint64 id) const;
    int unacknowledged() const;

    // Ids go on from the given one (kept by the caller across runs); told
    // each time one is taken.
    void setNextId(quint64 id) { nextId_ = qMax<quint64>(1, id); }
    quint64 nextId() const { return nextId_; }
    void onIdTaken(std::function<void(quint64 id)> f) { idTaken_ = std::move(f); }

private:
    struct Count {
        int outside = 0;
        QDateTime since; // the first sample outside in this row
    };
    struct Track {
        AlarmLevel level = AlarmLevel::None;
        AlarmState side = AlarmState::Ok;
        Count warning, alarm;
        quint64 id = 0;
    };
    AlarmEvent &open(AlarmSubject subject, Quantity q, AlarmLevel level, const QDateTime &when);
    AlarmEvent *find(quint64 id);
    void trim();

    AlarmConfig config_;
    std::array<Track, kQuantities> track_;
    quint64 linkId_ = 0, batteryId_ = 0;
    QDateTime lastSample_;
    quint64 nextId_ = 1;
    std::function<void(quint64)> idTaken_;
    std::deque<AlarmEvent> log_; // by id, ascending
};
