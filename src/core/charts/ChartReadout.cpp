#include "core/charts/ChartReadout.h"

#include "core/charts/ChartLogic.h"
#include "core/reading/Decode.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

std::optional<int> nearestRecord(const ChartGeometry &g, double stepX, RecordRange range, double x)
{
    if (range.count() < 1 || !(stepX > 0) || !std::isfinite(x))
        return std::nullopt;
    if (x < g.PlotLeft - stepX || x > g.PlotLeft + g.PlotWidth + stepX)
        return std::nullopt;
    const double position = std::round((x - g.PlotLeft) / stepX);
    const double clamped = std::clamp(position, 0.0, double(range.count() - 1));
    return range.from + int(clamped);
}

double recordX(const ChartGeometry &g, double stepX, RecordRange range, int record)
{
    return g.PlotLeft + (record - range.from) * stepX;
}

namespace {
RecordRange placed(int from, int count, int total)
{
    from = std::clamp(from, 1, std::max(1, total - count + 1));
    return {from, from + count - 1};
}
} // namespace

RecordRange zoomRecords(RecordRange range, int total, double anchor, double factor)
{
    if (total < 2 || !(factor > 0) || !std::isfinite(anchor))
        return range;
    const int count = range.count();
    int wanted = int(std::lround(count * factor));
    // A factor close to 1 still moves by one record each time.
    if (wanted == count)
        wanted += factor < 1 ? -1 : factor > 1 ? 1 : 0;
    wanted = std::clamp(wanted, 2, total);
    // The anchor keeps its share of the plot's width.
    const double share = count > 0 ? (anchor - range.from) / count : 0.5;
    const int from = int(std::lround(anchor - share * wanted));
    return placed(from, wanted, total);
}

RecordRange panRecords(RecordRange range, int total, int shift)
{
    if (total < 1 || range.count() < 1)
        return range;
    return placed(range.from + shift, std::min(range.count(), total), total);
}

int dragShift(double dx, double stepX)
{
    if (!(stepX > 0) || !std::isfinite(dx))
        return 0;
    return -int(std::lround(dx / stepX));
}

double wheelZoomFactor(int angle)
{
    return std::pow(0.8, angle / 120.0);
}

QString readoutText(const Readout &r)
{
    const QString unit = r.celsius ? QStringLiteral(" °C") : QStringLiteral(" °F");
    QStringList lines;
    lines << r.label << (r.date + QLatin1Char(' ') + r.time).trimmed();
    lines << QStringLiteral("Temperatura: ") + r.temperature + unit;
    lines << QStringLiteral("UR: ") + r.humidity + QStringLiteral(" %");
    lines << QStringLiteral("Úmido: ") + r.wetBulb + unit;
    lines << QStringLiteral("Orvalho: ") + r.dewPoint + unit;
    return lines.join(QLatin1Char('\n'));
}

void LivePointLog::reset(const ChartGeometry &g, double unitsPerColumn)
{
    left_ = g.PlotLeft;
    unit_ = unitsPerColumn > 0 ? unitsPerColumn : 1;
    const double columns = std::ceil((g.PlotWidth + 2) / unit_) + 1;
    columns_.assign(std::isfinite(columns) && columns > 0 ? size_t(columns) : 0, std::nullopt);
}

long LivePointLog::column(double x) const
{
    return long(std::floor((x - left_) / unit_));
}

void LivePointLog::add(const LivePoint &p, double stepX)
{
    if (columns_.empty())
        return;
    const long last = long(columns_.size()) - 1;
    const long first = std::max(0L, column(p.x + 2));
    const long end = std::min(last, column(p.x + 2 + std::max(0.0, stepX)));
    for (long c = first; c <= end; ++c)
        columns_[size_t(c)].reset();
    const long c = column(p.x);
    if (c >= 0 && c <= last)
        columns_[size_t(c)] = p;
}

std::optional<LivePoint> LivePointLog::nearest(double x, double tolerance) const
{
    std::optional<LivePoint> best;
    if (columns_.empty())
        return best;
    const long from = std::max(0L, column(x - tolerance));
    const long to = std::min(long(columns_.size()) - 1, column(x + tolerance));
    for (long c = from; c <= to; ++c) {
        const auto &p = columns_[size_t(c)];
        if (p && std::fabs(p->x - x) <= tolerance && (!best || std::fabs(p->x - x) < std::fabs(best->x - x)))
            best = p;
    }
    return best;
}

Readout liveReadout(const LivePoint &p)
{
    // One decimal, cut and not rounded, as the lists write values.
    auto dot = [](double v) { return ToDotText(plainDecimalText(v)); };
    Readout r;
    r.label = QStringLiteral("Ponto %1").arg(p.number);
    r.date = p.when.date().toString(QStringLiteral("dd/MM/yyyy"));
    r.time = p.when.time().toString(QStringLiteral("hh:mm:ss"));
    r.temperature = dot(p.tempC);
    r.humidity = dot(p.rh);
    r.wetBulb = dot(p.wetC);
    r.dewPoint = dot(p.dewC);
    r.celsius = true;
    return r;
}
