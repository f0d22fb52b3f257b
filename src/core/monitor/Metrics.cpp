#include "core/monitor/Metrics.h"

namespace {
// 15 significant digits: a dot text's value, a ratio made from it and a
// time in milliseconds all come out as written, without binary noise.
QByteArray number(double v)
{
    return QByteArray::number(v, 'g', 15);
}

// Label values may hold anything; these three would break the line.
QByteArray labelValue(const QString &text)
{
    QByteArray out;
    for (const char c : text.toUtf8()) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '"')
            out += "\\\"";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

class Writer {
public:
    explicit Writer(const QString &id) : instrument_("instrument=\"" + labelValue(id) + '"') {}

    void family(const char *name, const char *type, const char *help)
    {
        name_ = QByteArray("termohigrometro_") + name;
        out_ += "# HELP " + name_ + ' ' + help + "\n# TYPE " + name_ + ' ' + type + '\n';
    }
    void sample(const QByteArray &value, const QByteArray &labels = {})
    {
        out_ += name_ + '{' + instrument_ + labels + "} " + value + '\n';
    }
    void sample(const std::optional<double> &value, const QByteArray &labels = {})
    {
        if (value)
            sample(number(*value), labels);
    }
    QByteArray take() { return std::move(out_); }

private:
    QByteArray instrument_, name_, out_;
};

QByteArray flag(bool on)
{
    return on ? "1" : "0";
}

QByteArray quantityLabel(Quantity q)
{
    return ",quantity=\"" + quantityKey(q).toUtf8() + '"';
}

// The limits in the unit of the quantity's gauge: humidity as a ratio.
std::optional<double> inGaugeUnit(Quantity q, const std::optional<double> &v)
{
    if (v && q == Quantity::Humidity)
        return *v / 100.0;
    return v;
}
} // namespace

QByteArray metricsText(const MetricsState &s)
{
    Writer w(s.id);
    // Without a sample of the present link nothing is known of the reading.
    const Sample *latest = s.linkUp && s.latest ? &*s.latest : nullptr;
    auto value = [latest](Quantity q) { return latest ? sampleValue(*latest, q) : std::nullopt; };

    w.family("temperature_celsius", "gauge", "Air temperature of the latest sample, in degrees Celsius.");
    w.sample(value(Quantity::Temperature));
    w.family("relative_humidity_ratio", "gauge", "Relative humidity of the latest sample, from 0 to 1.");
    w.sample(inGaugeUnit(Quantity::Humidity, value(Quantity::Humidity)));
    w.family("dew_point_celsius", "gauge", "Dew point of the latest sample, in degrees Celsius.");
    w.sample(value(Quantity::DewPoint));
    w.family("wet_bulb_celsius", "gauge", "Wet-bulb temperature of the latest sample, in degrees Celsius.");
    w.sample(value(Quantity::WetBulb));
    w.family("low_battery", "gauge", "1 while the instrument reports a low battery.");
    if (latest)
        w.sample(flag(latest->lowBattery()));
    w.family("instrument_logging", "gauge", "1 while the instrument's data logger is recording.");
    if (latest)
        w.sample(flag(latest->logging()));
    w.family("link_up", "gauge", "1 while the instrument answers on its serial link.");
    w.sample(flag(s.linkUp));
    w.family("last_sample_timestamp_seconds", "gauge", "Time of the latest sample, in seconds since the epoch.");
    if (s.lastSampleTime.isValid())
        w.sample(number(double(s.lastSampleTime.toMSecsSinceEpoch()) / 1000.0));
    w.family("samples_total", "counter", "Samples taken since the start.");
    w.sample(QByteArray::number(s.samples));
    w.family("link_losses_total", "counter", "Times the link to the instrument was lost since the start.");
    w.sample(QByteArray::number(s.linkLosses));

    if (s.limits.any()) {
        w.family("alarm", "gauge", "1 while the quantity is outside its limits (after the alarm delay).");
        for (int i = 0; i < kQuantities; ++i)
            if (s.limits.bounds[size_t(i)].isSet())
                w.sample(flag(s.alarms[size_t(i)] != AlarmState::Ok), quantityLabel(Quantity(i)));
        w.family("limit_low", "gauge", "Lower alarm limit, in the unit of the quantity's gauge.");
        for (int i = 0; i < kQuantities; ++i)
            w.sample(inGaugeUnit(Quantity(i), s.limits.bounds[size_t(i)].low), quantityLabel(Quantity(i)));
        w.family("limit_high", "gauge", "Upper alarm limit, in the unit of the quantity's gauge.");
        for (int i = 0; i < kQuantities; ++i)
            w.sample(inGaugeUnit(Quantity(i), s.limits.bounds[size_t(i)].high), quantityLabel(Quantity(i)));
    }

    if (s.warningLimits) {
        w.family("warning", "gauge", "1 while the quantity is outside its warning limits (and not in alarm).");
        for (int i = 0; i < kQuantities; ++i)
            w.sample(flag(s.warnings[size_t(i)] != AlarmState::Ok), quantityLabel(Quantity(i)));
    }
    w.family("link_alarm", "gauge", "1 while no sample has come for longer than the link alarm allows.");
    w.sample(flag(s.linkAlarm));
    w.family("battery_warning", "gauge", "1 while the instrument's low battery warning runs.");
    w.sample(flag(s.batteryWarning));
    w.family("alarm_unacknowledged", "gauge", "Alarm and warning events nobody has acknowledged yet.");
    w.sample(QByteArray::number(s.unacknowledged.size()));

    if (s.publisher) {
        w.family("mqtt_connected", "gauge", "1 while the MQTT broker is connected.");
        w.sample(flag(s.publisher->connected));
        w.family("mqtt_queued_messages", "gauge", "MQTT messages waiting for the broker.");
        w.sample(QByteArray::number(s.publisher->queued));
        w.family("mqtt_dropped_messages_total", "counter", "MQTT messages dropped from a full queue.");
        w.sample(QByteArray::number(s.publisher->dropped));
    }
    return w.take();
}

MetricsSink::MetricsSink(const QString &id, const Limits &limits)
{
    state_.id = id;
    state_.limits = limits;
}

void MetricsSink::onSample(const Sample &sample)
{
    state_.latest = sample;
    state_.linkUp = true; // a sample comes only from a link that answers
    state_.lastSampleTime = sample.time;
    ++state_.samples;
}

void MetricsSink::onLinkChanged(bool up, const QDateTime &)
{
    if (state_.linkUp && !up)
        ++state_.linkLosses;
    state_.linkUp = up;
    // A sample before the loss is no reading of the link that comes back.
    state_.latest.reset();
}

void MetricsSink::onAlarm(const AlarmEvent &event)
{
    if (event.acknowledged)
        state_.unacknowledged.remove(event.id);
    else
        state_.unacknowledged.insert(event.id);
    const bool on = event.running();
    switch (event.subject) {
    case AlarmSubject::Link: state_.linkAlarm = on; return;
    case AlarmSubject::Battery: state_.batteryWarning = on; return;
    case AlarmSubject::Quantity: break;
    }
    const auto i = size_t(event.quantity);
    state_.alarms[i] = on && event.level == AlarmLevel::Alarm ? event.state : AlarmState::Ok;
    state_.warnings[i] = on && event.level == AlarmLevel::Warning ? event.state : AlarmState::Ok;
}

void MetricsSink::onAcknowledged(const AlarmEvent &event)
{
    state_.unacknowledged.remove(event.id);
}

QByteArray MetricsSink::text() const
{
    if (!publisher_)
        return metricsText(state_);
    MetricsState s = state_;
    s.publisher = publisher_();
    return metricsText(s);
}
