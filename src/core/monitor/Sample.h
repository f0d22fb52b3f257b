#pragma once

#include "core/state/Reading.h"
#include "core/stats/Limits.h"

#include <QDateTime>
#include <QString>

#include <optional>

// One PC sample: the reading as it stood at the PC's sampling moment. The
// panel's Timer2 and the tool's `record`/`monitor` make them; every consumer
// (file, list, alarms, MQTT, metrics) gets the same object.
struct Sample {
    QDateTime time; // the sampling moment, local time of the PC
    Reading reading;
    quint64 sequence = 0; // 1, 2, 3 ... within one run; gaps only if the sampler skipped

    bool lowBattery() const { return reading.LowBattery; }
    bool logging() const { return reading.InstrumentRecording; }
    bool hold() const { return reading.Hold; }
    bool memoryFull() const { return reading.MemoryFull; }
};

enum class TempUnit { Celsius, Fahrenheit };

// The dot text of a quantity in `unit` (humidity has none).
QString sampleDotText(const Reading &reading, Quantity q, TempUnit unit = TempUnit::Celsius);

// The number of a quantity as its dot text says, so exactly what a data file
// would carry; nullopt where that text is not a number ("----.0", "OL", "-OL").
std::optional<double> sampleValue(const Reading &reading, Quantity q, TempUnit unit = TempUnit::Celsius);
inline std::optional<double> sampleValue(const Sample &sample, Quantity q, TempUnit unit = TempUnit::Celsius)
{
    return sampleValue(sample.reading, q, unit);
}

// ISO 8601 with the UTC offset and whole seconds: 2026-12-09T10:00:00-03:00.
QString isoTimeWithOffset(const QDateTime &time);
