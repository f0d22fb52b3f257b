#include "core/study/Study.h"

#include "core/stats/StatsText.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace study {
namespace {

double convertTemperature(double v, bool fromCelsius, bool toCelsius)
{
    if (fromCelsius == toCelsius || std::isnan(v))
        return v;
    // Held to a millionth of a degree, far below the instrument's tenth: a
    // converted 48.2 °F is 9 °C, not 9.000000000000002, so ties stay ties.
    const double c = toCelsius ? (v - 32) * 5 / 9 : v * 9 / 5 + 32;
    return std::round(c * 1e6) / 1e6;
}

struct TimeSpan {
    qint64 first = kNoWallTime, last = kNoWallTime;
};

TimeSpan spanOf(const QVector<DataRecord> &records)
{
    TimeSpan s;
    for (const DataRecord &r : records) {
        if (!r.hasTime())
            continue;
        if (s.first == kNoWallTime || r.seconds < s.first)
            s.first = r.seconds;
        if (s.last == kNoWallTime || r.seconds > s.last)
            s.last = r.seconds;
    }
    return s;
}

// The records of the period: from the first one timed at or after `from` to
// the last one timed at or before `to` (unreadable times between them stay,
// counted as the statistics count them).
std::pair<qsizetype, qsizetype> sliceOf(const QVector<DataRecord> &records, qint64 from, qint64 to)
{
    qsizetype begin = -1, end = -1;
    for (qsizetype i = 0; i < records.size(); ++i) {
        const qint64 t = records[i].seconds;
        if (t == kNoWallTime || t < from || t > to)
            continue;
        if (begin < 0)
            begin = i;
        end = i + 1;
    }
    if (begin < 0)
        return {0, 0};
    return {begin, end - begin};
}

// What each record lasts: until the next record, as the time outside counts it.
qint64 stepAfter(const DataRecord *records, qsizetype count, qsizetype i)
{
    if (i + 1 >= count)
        return 0;
    const qint64 a = records[i].seconds, b = records[i + 1].seconds;
    return a != kNoWallTime && b != kNoWallTime && b > a ? b - a : 0;
}

QuantityExcursions excursionsOf(const DataRecord *records, qsizetype count, Quantity q, const Bounds &bounds,
                                int logger)
{
    QuantityExcursions out;
    // The run being followed; its times become dates only when it closes
    // (a date in the local zone costs more than the rest of a record).
    bool open = false;
    Excursion run;
    qint64 startSeconds = kNoWallTime, endSeconds = kNoWallTime;
    double farthest = 0;
    const auto close = [&] {
        if (!open)
            return;
        run.start = wallDateTime(startSeconds);
        run.end = wallDateTime(endSeconds);
        // The first of equally long runs is the longest.
        if (out.runs.isEmpty() || run.seconds > out.longestSeconds) {
            out.longestSeconds = run.seconds;
            out.longestStart = run.start;
        }
        out.runs.append(run);
        open = false;
    };
    for (qsizetype i = 0; i < count; ++i) {
        const double v = records[i][q];
        const bool below = !std::isnan(v) && bounds.below(v);
        const bool above = !std::isnan(v) && bounds.above(v);
        if (!below && !above) {
            close();
            continue;
        }
        const double beyond = above ? v - *bounds.high : *bounds.low - v;
        if (!open) {
            open = true;
            run = Excursion{};
            run.logger = logger;
            run.quantity = q;
            startSeconds = records[i].seconds;
            farthest = -1;
        }
        endSeconds = records[i].seconds;
        ++run.records;
        run.seconds += stepAfter(records, count, i);
        if (beyond > farthest) {
            farthest = beyond;
            run.extreme = v;
            run.above = above;
        }
    }
    close();
    return out;
}

struct Point {
    qint64 t;
    double v;
};

QVector<Point> timedValues(const DataRecord *records, qsizetype count, Quantity q)
{
    QVector<Point> p;
    p.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        if (records[i].hasTime() && records[i].has(q))
            p.append({records[i].seconds, records[i][q]});
    std::stable_sort(p.begin(), p.end(), [](const Point &a, const Point &b) { return a.t < b.t; });
    return p;
}

// The largest difference between a record of one logger and the nearest
// record of another within half the larger of their intervals. Every pair is
// met from both sides, so no record is matched twice over.
std::optional<Difference> largestDifference(const QVector<QVector<Point>> &points, const QVector<qint64> &intervals)
{
    std::optional<Difference> best;
    qint64 bestAt = kNoWallTime;
    const int n = int(points.size());
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            if (i == j || points[j].isEmpty())
                continue;
            const qint64 tolerance = std::max(intervals[i], intervals[j]) / 2;
            const QVector<Point> &b = points[j];
            qsizetype k = 0;
            for (const Point &p : points[i]) {
                while (k + 1 < b.size() && b[k + 1].t <= p.t)
                    ++k;
                // b[k] is the last at or before p (or the first after it); b[k + 1] the next.
                qsizetype nearest = k;
                if (k + 1 < b.size() && std::llabs(b[k + 1].t - p.t) < std::llabs(b[k].t - p.t))
                    nearest = k + 1;
                if (std::llabs(b[nearest].t - p.t) > tolerance)
                    continue;
                const double d = std::abs(p.v - b[nearest].v);
                if (!best || d > best->value) {
                    Difference diff;
                    diff.value = d;
                    diff.warmer = p.v >= b[nearest].v ? i : j;
                    diff.cooler = diff.warmer == i ? j : i;
                    best = diff;
                    bestAt = p.t;
                }
            }
        }
    }
    if (best)
        best->at = wallDateTime(bestAt);
    return best;
}

QString gapWarning(const QString &label, const DataRecord *records, qsizetype count, qint64 interval)
{
    if (interval <= 0)
        return {};
    qint64 previous = kNoWallTime, longest = 0, at = kNoWallTime;
    for (qsizetype i = 0; i < count; ++i) {
        const qint64 t = records[i].seconds;
        if (t == kNoWallTime)
            continue;
        if (previous != kNoWallTime && t - previous > longest) {
            longest = t - previous;
            at = previous;
        }
        previous = t;
    }
    if (longest <= 2 * interval)
        return {};
    return QStringLiteral("%1: registros interrompidos por %2 após %3")
        .arg(label, statstext::duration(longest), statstext::dateTime(wallDateTime(at)));
}
} // namespace

QVector<DataRecord> inUnit(const Logger &logger, bool celsius)
{
    QVector<DataRecord> out = logger.records;
    if (logger.celsius == celsius)
        return out;
    for (DataRecord &r : out)
        for (Quantity q : {Quantity::Temperature, Quantity::DewPoint, Quantity::WetBulb})
            r.value[size_t(q)] = convertTemperature(r.value[size_t(q)], logger.celsius, celsius);
    return out;
}

qint64 medianInterval(const DataRecord *records, qsizetype count)
{
    QVector<qint64> steps;
    steps.reserve(count);
    qint64 previous = kNoWallTime;
    for (qsizetype i = 0; i < count; ++i) {
        const qint64 t = records[i].seconds;
        if (t == kNoWallTime)
            continue;
        if (previous != kNoWallTime && t > previous)
            steps.append(t - previous);
        previous = t;
    }
    if (steps.isEmpty())
        return 0;
    const auto mid = steps.begin() + steps.size() / 2;
    std::nth_element(steps.begin(), mid, steps.end());
    return *mid;
}

Result analyze(const QVector<Logger> &loggers, const Options &options)
{
    Result r;
    r.limits = options.limits;
    r.mktKelvin = options.mktKelvin;
    if (loggers.isEmpty()) {
        r.error = QStringLiteral("no data files");
        return r;
    }
    r.celsius = options.celsius.value_or(loggers.first().celsius);

    // The period every file covers: from the latest first record to the earliest last one.
    qint64 from = kNoWallTime, to = kNoWallTime;
    int latestStart = -1, earliestEnd = -1;
    for (int i = 0; i < loggers.size(); ++i) {
        const TimeSpan s = spanOf(loggers[i].records);
        if (s.first == kNoWallTime) {
            r.error = QStringLiteral("%1: no record with a date and time").arg(loggers[i].file);
            r.badFiles = {loggers[i].file};
            return r;
        }
        if (latestStart < 0 || s.first > from)
            from = s.first, latestStart = i;
        if (earliestEnd < 0 || s.last < to)
            to = s.last, earliestEnd = i;
    }
    if (from > to) {
        r.error = QStringLiteral("%1 and %2 have no period in common")
                      .arg(loggers[earliestEnd].file, loggers[latestStart].file);
        r.badFiles = {loggers[earliestEnd].file, loggers[latestStart].file};
        return r;
    }
    if (options.from)
        from = wallSecondsOf(*options.from);
    if (options.to)
        to = wallSecondsOf(*options.to);
    if (from > to) {
        r.error = QStringLiteral("the period ends before it starts");
        return r;
    }
    r.from = wallDateTime(from);
    r.to = wallDateTime(to);

    QVector<QVector<Point>> temps;
    QVector<qint64> intervals;
    for (int i = 0; i < loggers.size(); ++i) {
        const Logger &l = loggers[i];
        const QVector<DataRecord> converted = l.celsius == r.celsius ? QVector<DataRecord>() : inUnit(l, r.celsius);
        const QVector<DataRecord> &records = l.celsius == r.celsius ? l.records : converted;
        const auto [first, count] = sliceOf(records, from, to);
        if (count == 0) {
            r.error = QStringLiteral("%1: no record in the period").arg(l.file);
            r.badFiles = {l.file};
            return r;
        }
        const DataRecord *p = records.constData() + first;
        LoggerFigures f;
        f.label = l.label;
        f.file = l.file;
        f.fileCelsius = l.celsius;
        f.first = first;
        // The logger's own sampling interval: from all its records, so that a
        // short period does not leave it unknown.
        f.intervalSeconds = medianInterval(records.constData(), records.size());
        f.stats = computeRecordStats(p, count, r.celsius, options.limits, options.mktKelvin);
        for (int k = 0; k < kQuantities; ++k)
            if (options.limits.bounds[size_t(k)].isSet())
                f.excursions[size_t(k)] = excursionsOf(p, count, Quantity(k), options.limits.bounds[size_t(k)], i);
        const QString gap = gapWarning(l.label, p, count, f.intervalSeconds);
        if (!gap.isEmpty())
            r.warnings << gap;
        temps.append(timedValues(p, count, Quantity::Temperature));
        intervals.append(f.intervalSeconds);
        r.loggers.append(f);
    }

    // Unequal intervals make the loggers' figures weigh time differently.
    QVector<qint64> distinct = intervals;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    if (distinct.size() > 1) {
        QStringList parts;
        for (const LoggerFigures &f : std::as_const(r.loggers))
            parts << QStringLiteral("%1 %2").arg(f.label, statstext::duration(f.intervalSeconds));
        r.warnings.prepend(QStringLiteral("intervalos de amostragem diferentes: ") + parts.join(QStringLiteral(", ")));
    }

    std::optional<double> lowestMean, highestMean;
    for (int i = 0; i < r.loggers.size(); ++i) {
        const auto &t = r.loggers[i].stats[Quantity::Temperature];
        if (!t)
            continue;
        if (!r.hot || t->max > r.hot->value || (t->max == r.hot->value && t->mean > r.hot->mean))
            r.hot = Spot{i, t->max, t->maxAt, t->mean};
        if (!r.cold || t->min < r.cold->value || (t->min == r.cold->value && t->mean < r.cold->mean))
            r.cold = Spot{i, t->min, t->minAt, t->mean};
        lowestMean = std::min(lowestMean.value_or(t->mean), t->mean);
        highestMean = std::max(highestMean.value_or(t->mean), t->mean);
    }
    if (lowestMean)
        r.meanSpread = *highestMean - *lowestMean;
    r.maxDifference = largestDifference(temps, intervals);
    r.ok = true;
    return r;
}

QVector<Excursion> Result::excursionsInOrder() const
{
    QVector<Excursion> all;
    for (const LoggerFigures &f : loggers)
        for (const QuantityExcursions &e : f.excursions)
            all += e.runs;
    std::stable_sort(all.begin(), all.end(), [](const Excursion &a, const Excursion &b) {
        return a.start != b.start ? a.start < b.start : a.logger < b.logger;
    });
    return all;
}

bool Result::allWithin() const
{
    for (const LoggerFigures &f : loggers)
        for (const QuantityExcursions &e : f.excursions)
            if (!e.runs.isEmpty())
                return false;
    return true;
}

QVector<Series> seriesOf(const QVector<Logger> &loggers, const Result &result, Quantity q)
{
    QVector<Series> out;
    for (int i = 0; i < result.loggers.size() && i < loggers.size(); ++i) {
        const LoggerFigures &f = result.loggers[i];
        const Logger &l = loggers[i];
        Series s;
        s.label = f.label;
        const bool convert = q != Quantity::Humidity && l.celsius != result.celsius;
        const qsizetype end = f.first + f.stats.records;
        qint64 previous = kNoWallTime;
        for (qsizetype k = f.first; k < end && k < l.records.size(); ++k) {
            const DataRecord &rec = l.records[k];
            if (!rec.hasTime() || !rec.has(q))
                continue;
            if (previous != kNoWallTime && f.intervalSeconds > 0 && rec.seconds - previous > 2 * f.intervalSeconds)
                s.breaks.append(s.values.size());
            previous = rec.seconds;
            s.seconds.append(rec.seconds);
            s.values.append(convert ? convertTemperature(rec[q], l.celsius, result.celsius) : rec[q]);
        }
        out.append(s);
    }
    return out;
}

} // namespace study
