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
