#pragma once

#include "core/files/DataRecords.h"
#include "core/stats/Limits.h"
#include "core/stats/Stats.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

#include <array>
#include <optional>

// A mapping study: several loggers placed over a room for the same period,
// analysed together. Pure: the records of every file in, the figures out.
namespace study {

// One logger at one position: its label and the records of its file.
struct Logger {
    QString label;
    QString file;        // the path as given (the report shows its name)
    bool celsius = true; // the unit of the file's temperature columns
    QVector<DataRecord> records;
};

struct Options {
    // The period; each one not given is the one every file covers.
    std::optional<QDateTime> from, to;
    Limits limits; // in the study's unit
    double mktKelvin = kDefaultMktKelvin;
    std::optional<bool> celsius; // the study's unit; default the first logger's
};

// A run of consecutive records outside the limits of one quantity. Like the
// time outside of the statistics, each record lasts until the next one, so
// the excursions of a logger add up to its outside seconds.
struct Excursion {
    int logger = -1;
    Quantity quantity = Quantity::Temperature;
    QDateTime start, end; // first and last record of the run
    int records = 0;
    qint64 seconds = 0;
    double extreme = 0; // the value farthest beyond the limits
    bool above = false; // the extreme lies above the high limit
};

struct QuantityExcursions {
    QVector<Excursion> runs;
    qint64 longestSeconds = 0;
    QDateTime longestStart; // invalid without a run
};

struct LoggerFigures {
    QString label, file;
    bool fileCelsius = true;
    qsizetype first = 0;        // the logger's records in the period: [first, first + stats.records)
    qint64 intervalSeconds = 0; // median step between the file's records; 0 when unknown
    RowStats stats;             // exactly what `stats` gives for the same records, in the study's unit
    std::array<QuantityExcursions, kQuantities> excursions; // for the limited quantities
};

struct Spot {
    int logger = -1;
    double value = 0; // the maximum (hot) or minimum (cold) temperature
    QDateTime at;
    double mean = 0;
};

struct Difference {
    double value = 0;
    QDateTime at; // the moment of the first logger's record
    int warmer = -1, cooler = -1;
};

struct Result {
    bool ok = false;
    QString error;        // when not ok: names the file, or the two files without a common period
    QStringList badFiles; // those files

    bool celsius = true;
    QDateTime from, to;
    Limits limits;
    double mktKelvin = kDefaultMktKelvin;
    QVector<LoggerFigures> loggers;
    std::optional<Spot> hot, cold;           // over the temperatures
    std::optional<double> meanSpread;        // highest minus lowest mean temperature
    std::optional<Difference> maxDifference; // of the temperatures at the same moment
    QStringList warnings;                    // Portuguese, for the report and the JSON

    // Every excursion of every logger and quantity, in order of start.
    QVector<Excursion> excursionsInOrder() const;
    // True when no logger has a value outside the limits.
    bool allWithin() const;
};

// The records of a logger converted to the study's unit (temperature, dew
// point and wet bulb; humidity stays as it is).
QVector<DataRecord> inUnit(const Logger &logger, bool celsius);

// The median step between consecutive timed records (0 with fewer than two).
qint64 medianInterval(const DataRecord *records, qsizetype count);

Result analyze(const QVector<Logger> &loggers, const Options &options);

// One logger's curve for charts: its timed, valid values of one quantity in
// the period, in the study's unit; `breaks` are indexes where a gap of more
// than twice the interval starts a new line.
struct Series {
    QString label;
    QVector<qint64> seconds; // wall-clock seconds
    QVector<double> values;
    QVector<qsizetype> breaks;
};
QVector<Series> seriesOf(const QVector<Logger> &loggers, const Result &result, Quantity q);

} // namespace study
