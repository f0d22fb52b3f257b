#include "core/stats/Stats.h"

#include "core/files/DataRecords.h"

#include <cmath>
#include <limits>

namespace {
constexpr qint64 kNoTime = kNoWallTime;
constexpr double kZeroCelsius = 273.15;

// Powers of ten that are exact doubles: a mantissa below 2^53 divided by one
// of them is the correctly rounded value, as a full decimal conversion gives.
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

int digit(QChar c)
{
    const char16_t u = c.unicode();
    return u >= u'0' && u <= u'9' ? int(u - u'0') : -1;
}

// ln((1/n) Σ exp(aᵢ)) kept without overflow or underflow: the sum is held
// relative to the largest exponent seen.
struct LogMeanExp {
    double top = -std::numeric_limits<double>::infinity();
    double sum = 0;
    qint64 n = 0;
    void add(double a)
    {
        if (a > top) {
            sum = sum * std::exp(top - a) + 1;
            top = a;
        } else {
            sum += std::exp(a - top);
        }
        ++n;
    }
    double value() const { return top + std::log(sum / double(n)); }
};

// Mean kinetic temperature from Celsius values; false once a value lies at or
// below absolute zero (the formula has no meaning there).
struct MktSum {
    double k = kDefaultMktKelvin;
    LogMeanExp lme;
    bool broken = false;
    void add(double celsius)
    {
        const double kelvin = celsius + kZeroCelsius;
        if (!(kelvin > 0)) {
            broken = true;
            return;
        }
        lme.add(-k / kelvin);
    }
    std::optional<double> celsius() const
    {
        if (broken || lme.n == 0 || !(k > 0))
            return std::nullopt;
        const double t = k / -lme.value();
        if (!std::isfinite(t))
            return std::nullopt;
        return t - kZeroCelsius;
    }
};

struct Accumulator {
    int valid = 0, invalid = 0;
    double min = 0, max = 0;
    qsizetype minRow = -1, maxRow = -1;
    double shift = 0, sum = 0, sumSq = 0; // about the first value, for a deviation without cancellation
    int below = 0, above = 0;
    qint64 outside = 0;
    bool lastOutside = false; // the previous row's value lay outside the limits
};
} // namespace

std::optional<double> valueOf(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    quint64 mantissa = 0;
    bool exact = true; // the digits still fit a double's mantissa
    // Takes a run of digits into the mantissa; returns how many it took.
    const auto takeDigits = [&] {
        int count = 0;
        for (; i < n; ++i, ++count) {
            const int d = digit(text[i]);
            if (d < 0)
                break;
            if (mantissa > (quint64(1) << 52) / 10)
                exact = false;
            mantissa = mantissa * 10 + quint64(d);
        }
        return count;
    };
    const int intDigits = takeDigits();
    int fracDigits = 0;
    if (i < n && text[i] == u'.') {
        ++i;
        fracDigits = takeDigits();
    }
    if (i != n || intDigits + fracDigits == 0)
        return std::nullopt;
    if (!exact || fracDigits > 22) {
        bool ok = false;
        const double v = text.toString().toDouble(&ok);
        return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
    }
    const double v = double(mantissa) / kPow10[fracDigits];
    return negative ? -v : v;
}

std::optional<double> meanKineticCelsius(const QVector<double> &celsius, double mktKelvin)
{
    MktSum m;
    m.k = mktKelvin;
    for (double c : celsius)
        m.add(c);
    return m.celsius();
}

RowStats computeRowStats(const QVector<QStringList> &rows, bool celsius, const Limits &limits, double mktKelvin)
{
    return computeRecordStats(dataRecordsOf(rows), celsius, limits, mktKelvin);
}

RowStats computeRecordStats(const QVector<DataRecord> &records, bool celsius, const Limits &limits, double mktKelvin)
{
    return computeRecordStats(records.constData(), records.size(), celsius, limits, mktKelvin);
}

RowStats computeRecordStats(const DataRecord *records, qsizetype count, bool celsius, const Limits &limits,
                            double mktKelvin)
{
    RowStats out;
    out.celsius = celsius;
    out.records = int(count);

    std::array<Accumulator, kQuantities> acc;
    MktSum mkt;
    mkt.k = mktKelvin;
    qint64 firstSeconds = kNoTime, lastSeconds = kNoTime;
    qint64 previous = kNoTime;

    for (qsizetype r = 0; r < count; ++r) {
        const DataRecord &rec = records[r];
        const qint64 seconds = rec.seconds;
        if (seconds != kNoTime) {
            if (firstSeconds == kNoTime)
                firstSeconds = seconds;
            lastSeconds = seconds;
        }
        // The previous record lasted until this one.
        const qint64 step = previous != kNoTime && seconds != kNoTime && seconds > previous ? seconds - previous : 0;
        previous = seconds;

        for (int k = 0; k < kQuantities; ++k) {
            Accumulator &a = acc[size_t(k)];
            if (a.lastOutside)
                a.outside += step;
            a.lastOutside = false;
            const double x = rec.value[size_t(k)];
            if (std::isnan(x)) {
                ++a.invalid;
                continue;
            }
            if (a.valid == 0) {
                a.min = a.max = a.shift = x;
                a.minRow = a.maxRow = r;
            } else if (x < a.min) {
                a.min = x;
                a.minRow = r;
            } else if (x > a.max) {
                a.max = x;
                a.maxRow = r;
            }
            ++a.valid;
            const double dx = x - a.shift;
            a.sum += dx;
            a.sumSq += dx * dx;
            const Bounds &b = limits.bounds[size_t(k)];
            if (b.below(x)) {
                ++a.below;
                a.lastOutside = true;
            } else if (b.above(x)) {
                ++a.above;
                a.lastOutside = true;
            }
            if (Quantity(k) == Quantity::Temperature)
                mkt.add(celsius ? x : (x - 32) * 5 / 9);
        }
    }

    out.first = wallDateTime(firstSeconds);
    out.last = wallDateTime(lastSeconds);
    if (const auto c = mkt.celsius())
        out.mkt = celsius ? *c : *c * 9 / 5 + 32;

    for (int k = 0; k < kQuantities; ++k) {
        const Accumulator &a = acc[size_t(k)];
        if (a.valid == 0)
            continue;
        QuantityStats s;
        s.valid = a.valid;
        s.invalid = a.invalid;
        s.min = a.min;
        s.max = a.max;
        s.minAt = wallDateTime(records[a.minRow].seconds);
        s.maxAt = wallDateTime(records[a.maxRow].seconds);
        const double n = a.valid;
        s.mean = a.shift + a.sum / n;
        if (a.valid > 1)
            s.stdev = std::sqrt(std::max(0.0, (a.sumSq - a.sum * a.sum / n) / (n - 1)));
        const Bounds &b = limits.bounds[size_t(k)];
        if (b.isSet()) {
            s.limited = true;
            s.below = a.below;
            s.above = a.above;
            s.withinPercent = 100.0 * double(a.valid - a.below - a.above) / n;
            s.outsideSeconds = a.outside;
        }
        out.q[size_t(k)] = s;
    }
    return out;
}
