#include "core/monitor/Sample.h"
#include "core/monitor/Sink.h"

#include "core/stats/Stats.h"

SampleSink::~SampleSink() = default;

QString alarmStateKey(AlarmState state)
{
    switch (state) {
    case AlarmState::Low: return QStringLiteral("low");
    case AlarmState::High: return QStringLiteral("high");
    case AlarmState::Ok: break;
    }
    return QStringLiteral("ok");
}

QString alarmLevelKey(AlarmLevel level)
{
    switch (level) {
    case AlarmLevel::Warning: return QStringLiteral("warning");
    case AlarmLevel::Alarm: return QStringLiteral("alarm");
    case AlarmLevel::None: break;
    }
    return QStringLiteral("ok");
}

QString alarmSubjectKey(const AlarmEvent &e)
{
    switch (e.subject) {
    case AlarmSubject::Link: return QStringLiteral("link");
    case AlarmSubject::Battery: return QStringLiteral("battery");
    case AlarmSubject::Quantity: break;
    }
    return quantityKey(e.quantity);
}

QString alarmEventStateKey(const AlarmEvent &e)
{
    if (e.ended.isValid() || e.state == AlarmState::Ok)
        return QStringLiteral("ok");
    if (e.subject == AlarmSubject::Link)
        return QStringLiteral("lost");
    if (e.subject == AlarmSubject::Battery)
        return QStringLiteral("low");
    if (e.level == AlarmLevel::Warning)
        return QStringLiteral("warning-") + alarmStateKey(e.state);
    return alarmStateKey(e.state);
}

QString sampleDotText(const Reading &r, Quantity q, TempUnit unit)
{
    const bool c = unit == TempUnit::Celsius;
    switch (q) {
    case Quantity::Temperature: return c ? r.TempCDot : r.TempFDot;
    case Quantity::Humidity: return r.RhDot;
    case Quantity::DewPoint: return c ? r.DewCDot : r.DewFDot;
    case Quantity::WetBulb: return c ? r.WetCDot : r.WetFDot;
    }
    return {};
}

std::optional<double> sampleValue(const Reading &reading, Quantity q, TempUnit unit)
{
    return valueOf(sampleDotText(reading, q, unit));
}

QString isoTimeWithOffset(const QDateTime &time)
{
    // Qt::ISODate writes "Z" for UTC; the payloads always carry an offset.
    const int offset = time.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}
