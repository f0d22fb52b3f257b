#pragma once

#include "core/monitor/Alarms.h"
#include "core/monitor/Sink.h"

#include <QList>

#include <functional>
#include <memory>

// The sinks of one run and its alarm monitor: a sample goes to every sink,
// then the alarm changes it made go to every sink; a lost link resets the
// alarm delay and tells every sink. The panel and `monitor` build one each.
class SinkSet {
public:
    explicit SinkSet(const AlarmMonitor &alarms = AlarmMonitor());
    ~SinkSet();

    // Owned sinks are closed and destroyed with the set; others only closed.
    void add(std::unique_ptr<SampleSink> sink);
    void add(SampleSink *sink);
    bool isEmpty() const { return sinks_.isEmpty(); }

    AlarmMonitor &alarms() { return alarms_; }
    // The changes the sample made, after every sink has had both.
    QVector<AlarmEvent> sample(const Sample &sample);
    // Starts the link alarm when no sample has come for too long; called by
    // the sampler's clock (a test's clock in the tests).
    QVector<AlarmEvent> checkLink(const QDateTime &now);
    // Acknowledges an event and tells every sink; the refusal otherwise.
    AlarmMonitor::AckResult acknowledge(quint64 id, const QString &user, const QString &comment, const QDateTime &when);
    // New alarm settings: every sink hears what they were and what they are.
    void setConfig(const AlarmConfig &config, const QString &action = QStringLiteral("limits"));
    // Any other change of settings (notifications), told to every sink.
    void settingsChanged(const QString &action, const QJsonObject &before, const QJsonObject &after);
    // Only real changes reach the sinks (the first call always does).
    void linkChanged(bool up, const QDateTime &when);
    std::optional<bool> linkUp() const { return linkUp_; }
    // Closes every sink once, in the order they were added.
    void close();

private:
    AlarmMonitor alarms_;
    QList<SampleSink *> sinks_;
    std::vector<std::unique_ptr<SampleSink>> owned_;
    std::optional<bool> linkUp_;
    bool closed_ = false;
};
