#pragma once

#include "core/stats/Limits.h"

#include <QDateTime>
#include <QStringList>
#include <QVector>

#include <array>

struct DataRecord;
#include <optional>

// Figures of one quantity over the rows where it holds a number.
struct QuantityStats {
    int valid = 0;   // values that are numbers
    int invalid = 0; // "OL", "-OL", "----.0", empty and any other text
    double min = 0, max = 0, mean = 0;
    std::optional<double> stdev; // sample deviation (n - 1); none for one value
    QDateTime minAt, maxAt;      // first occurrence (invalid when that row's date or time is not readable)
    // With limits on this quantity:
    bool limited = false;
    int below = 0, above = 0;
    double withinPercent = 0; // of the valid values
    // Each record stands for the time until the next record (the last one,
    // and one whose next record is not later, for none).
    qint64 outsideSeconds = 0;
};

struct RowStats {
    bool celsius = true;
    int records = 0;
    QDateTime first, last;     // first and last readable date-time of the rows
    std::optional<double> mkt; // mean kinetic temperature in the rows' unit; none without valid temperatures
    std::array<std::optional<QuantityStats>, kQuantities> q; // none: no valid value

    const std::optional<QuantityStats> &operator[](Quantity k) const { return q[size_t(k)]; }
};

// ΔH/R of the mean kinetic temperature: 83.144 kJ/mol over the gas constant.
constexpr double kDefaultMktKelvin = 10000.0;

// rows: data-file record rows (N°, Data "DD/MM/YYYY", Hora "hh:mm:ss",
// temperature, dew point, wet bulb, humidity), as a data file or a list grid
// holds them; missing fields read as empty. `celsius`: the unit of the
// temperature columns. `mktKelvin` must be above 0.
RowStats computeRowStats(const QVector<QStringList> &rows, bool celsius, const Limits &limits = {},
                         double mktKelvin = kDefaultMktKelvin);
// The same figures of records already read into numbers (one code for both).
RowStats computeRecordStats(const QVector<DataRecord> &records, bool celsius, const Limits &limits = {},
                            double mktKelvin = kDefaultMktKelvin);
RowStats computeRecordStats(const DataRecord *records, qsizetype count, bool celsius, const Limits &limits = {},
                            double mktKelvin = kDefaultMktKelvin);

// The number of a value field: "." separator, optional sign; nothing for any
// other text ("OL", "-OL", "----.0", empty, ...).
std::optional<double> valueOf(QStringView text);
// The mean kinetic temperature of Celsius values, in Celsius; none for no
// values or one at or below absolute zero.
std::optional<double> meanKineticCelsius(const QVector<double> &celsius, double mktKelvin = kDefaultMktKelvin);
