#pragma once

#include "core/monitor/Sink.h"

// The alarms' part of the audit trail: every start, change and end of a
// warning or alarm, every acknowledgement with its comment and who gave it,
// every change of the alarm and notification settings (old → new), and for
// the monitoring service the link lost and back.
class AuditSink : public SampleSink {
public:
    explicit AuditSink(bool linkEvents = false) : linkEvents_(linkEvents) {}

    void onSample(const Sample &) override {}
    void onLinkChanged(bool up, const QDateTime &when) override;
    void onAlarm(const AlarmEvent &event) override;
    void onAcknowledged(const AlarmEvent &event) override;
    void onSettingsChanged(const QString &action, const QJsonObject &before, const QJsonObject &after) override;

    // The trail's key of an event's change: "alarm.start", "alarm.change",
    // "alarm.end", "alarm.ack".
    static QString actionOf(const AlarmEvent &event);
    // What the trail keeps of an event.
    static QJsonObject eventJson(const AlarmEvent &event);

private:
    bool linkEvents_;
    std::optional<bool> linkUp_;
};
