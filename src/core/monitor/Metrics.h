#pragma once

#include "core/monitor/Sink.h"
#include "core/stats/Limits.h"

#include <QByteArray>
#include <QDateTime>
#include <QSet>

#include <array>
#include <functional>
#include <optional>

// The Content-Type of the text exposition format that metricsText() writes.
inline constexpr char kMetricsContentType[] = "text/plain; version=0.0.4; charset=utf-8";

// How a publisher beside the metrics is doing (the MQTT sink): shown when given.
struct PublisherStatus {
    bool connected = false;
    int queued = 0;      // messages waiting for the broker
    quint64 dropped = 0; // dropped from a full queue, in all
};

// What the metrics of one instrument show: the latest sample while the link
// is up, the link, the counters and the alarm states.
struct MetricsState {
    QString id;
    // Cleared when the link goes down, so a reading never outlives the link.
    std::optional<Sample> latest;
    bool linkUp = false;
    quint64 samples = 0;
    quint64 linkLosses = 0;
    QDateTime lastSampleTime; // kept across losses: how old the data is
    Limits limits;
    std::array<AlarmState, kQuantities> alarms{};   // at the alarm level
    std::array<AlarmState, kQuantities> warnings{}; // at the warning level
    bool linkAlarm = false, batteryWarning = false;
    QSet<quint64> unacknowledged; // ids of events nobody acknowledged yet
    bool warningLimits = false;   // whether any quantity has warning bounds
    std::optional<PublisherStatus> publisher;
};

// The Prometheus text exposition format (0.0.4) of the state. Every family
// carries its HELP and TYPE lines; a series whose value is not a number is
// left out, never written with an older value.
QByteArray metricsText(const MetricsState &state);

// The metrics of one instrument as a sink: fed like every other sink, read by
// whatever serves them (the HTTP endpoint of `monitor`, the panel).
class MetricsSink : public SampleSink {
public:
    explicit MetricsSink(const QString &id, const Limits &limits = {});

    void onSample(const Sample &sample) override;
    void onLinkChanged(bool up, const QDateTime &when) override;
    void onAlarm(const AlarmEvent &event) override;
    void onAcknowledged(const AlarmEvent &event) override;

    // The limits shown from now on; the counters go on.
    void setLimits(const Limits &limits) { state_.limits = limits; }
    void setWarningLimits(const Limits &warning) { state_.warningLimits = warning.any(); }
    // Asked at every rendering, so the figures are those of the moment.
    void setPublisherStatus(std::function<PublisherStatus()> status) { publisher_ = std::move(status); }
    const MetricsState &state() const { return state_; }
    QByteArray text() const;

private:
    MetricsState state_;
    std::function<PublisherStatus()> publisher_;
};
