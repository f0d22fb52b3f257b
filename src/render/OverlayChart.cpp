#include "render/OverlayChart.h"

#include "core/files/TextFile.h"
#include "core/stats/StatsText.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>

namespace {
// Ten well-known hues first, then each one the farthest (in CIELAB) from
// all before it, the white paper, the envelope, the grid and the limits,
// among colours dark enough for a thin line on white.
constexpr QRgb kPalette[] = {0x1F77B4, 0xFF7F0E, 0x2CA02C, 0xD62728, 0x9467BD, 0x8C564B, 0xE377C2, 0x17BECF,
                             0xBCBD22, 0x000000, 0x0000FF, 0xFF00FF, 0x330099, 0x003300, 0x996600, 0x00CC99,
                             0x330033, 0xFF0099, 0x336666, 0x0066FF, 0xFF9999, 0xCC66FF, 0x999966, 0x660000,
                             0x990066, 0x00CC00, 0x336600, 0x003366, 0x9933FF, 0xFF0066};
constexpr int kPaletteSize = int(sizeof(kPalette) / sizeof(kPalette[0]));

QFont chartFont(double pixels)
{
    QFont f;
    f.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(std::max(1, int(std::lround(pixels))));
    return f;
}

double niceStep(double span, int targetTicks)
{
    const double raw = span / std::max(1, targetTicks);
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (raw <= m * mag)
            return m * mag;
    return 10 * mag;
}

qint64 timeStep(qint64 span, int targetTicks)
{
    constexpr qint64 kSteps[] = {60,    120,   300,   600,   900,    1800,   3600,   7200,
                                 10800, 21600, 43200, 86400, 172800, 345600, 604800, 1209600};
    for (qint64 s : kSteps)
        if (span / s <= targetTicks)
            return s;
    return (span / targetTicks / 86400 + 1) * 86400;
}

struct Range {
    double low = 0, high = 0;
    bool any = false;
    void add(double v)
    {
        if (!any)
            low = high = v, any = true;
        else
            low = std::min(low, v), high = std::max(high, v);
    }
};
} // namespace

QPointF OverlayGeometry::at(qint64 seconds, double value) const
{
    const double x = plot.left() + plot.width() * double(seconds - from) / double(std::max<qint64>(1, to - from));
    const double y = plot.bottom() - plot.height() * (value - low) / (high - low);
    return {x, y};
}

QColor overlayColor(int index)
{
    return QColor::fromRgb(kPalette[((index % kPaletteSize) + kPaletteSize) % kPaletteSize]);
}

QColor overlayEnvelopeColor()
{
    return QColor::fromRgb(0xDDE3EA);
}

QColor overlayLimitColor()
{
    return QColor::fromRgb(0xC00000);
}

OverlayChart overlayChartOf(const QVector<study::Logger> &loggers, const study::Result &result, Quantity q)
{
    OverlayChart c;
    c.title = statstext::quantityHeading(q, result.celsius);
    c.series = study::seriesOf(loggers, result, q);
    c.low = result.limits[q].low;
    c.high = result.limits[q].high;
    c.from = wallSecondsOf(result.from);
    c.to = wallSecondsOf(result.to);
    return c;
}

OverlayChart overlaySpan(const OverlayChart &chart, qint64 from, qint64 to)
{
    OverlayChart out = chart;
    out.from = std::clamp(from, chart.from, chart.to);
    out.to = std::clamp(to, out.from, chart.to);
    for (study::Series &s : out.series) {
        const study::Series &all = chart.series[&s - out.series.data()];
        s.seconds.clear();
        s.values.clear();
        s.breaks.clear();
        qsizetype nextBreak = 0;
        for (qsizetype i = 0; i < all.seconds.size(); ++i) {
            while (nextBreak < all.breaks.size() && all.breaks[nextBreak] < i)
                ++nextBreak;
            if (all.seconds[i] < out.from || all.seconds[i] > out.to)
                continue;
            // A line that started before the span goes on from its first point in it.
            if (!s.seconds.isEmpty() && nextBreak < all.breaks.size() && all.breaks[nextBreak] == i)
                s.breaks << s.seconds.size();
            s.seconds << all.seconds[i];
            s.values << all.values[i];
        }
    }
    return out;
}

OverlayGeometry paintOverlayChart(QPainter &painter, const QRectF &area, const OverlayChart &chart, double pt)
{
    OverlayGeometry g;
    g.from = chart.from;
    g.to = std::max(chart.to, chart.from + 1);

    Range values;
    for (const study::Series &s : chart.series)
        for (double v : s.values)
            values.add(v);
    if (chart.low)
        values.add(*chart.low);
    if (chart.high)
        values.add(*chart.high);
    if (!values.any)
        values.add(0);
    double span = values.high - values.low;
    if (span < 1e-9)
        span = 1;
    const double step = niceStep(span, 6);
    g.low = std::floor((values.low - span * 0.04) / step) * step;
    g.high = std::ceil((values.high + span * 0.04) / step) * step;

    const QFont font = chartFont(9 * pt);
    const QFont titleFont = [&] {
        QFont f = chartFont(11 * pt);
        f.setBold(true);
        return f;
    }();
    const QFontMetricsF fm(font, painter.device());
    const QFontMetricsF tfm(titleFont, painter.device());
    const double lineH = fm.height();

    // The legend: one entry per logger in as many columns as the height needs.
    const int entries = int(chart.series.size());
    const double swatch = 14 * pt;
    double labelW = 0;
    for (const study::Series &s : chart.series)
        labelW = std::max(labelW, fm.horizontalAdvance(s.label));
    const double entryH = lineH * 1.15;
    const double legendTop = area.top() + tfm.height() * 1.4;
    const double legendRows = std::max(1.0, std::floor((area.bottom() - legendTop) / entryH));
    const int columns = std::max(1, int(std::ceil(entries / legendRows)));
    // Long labels are cut with a mark rather than squeeze the plot.
    const double maxColumnW = std::min(labelW, area.width() * 0.18) + swatch + 10 * pt;
    const double legendW = entries > 0 ? columns * maxColumnW : 0;

    const double yLabelW = std::max(fm.horizontalAdvance(QString::number(g.low, 'f', 1)),
                                    fm.horizontalAdvance(QString::number(g.high, 'f', 1))) +
                           8 * pt;
    g.plot = QRectF(area.left() + yLabelW, legendTop, area.width() - yLabelW - legendW - 12 * pt,
                    area.bottom() - legendTop - lineH * 2.8);

    painter.save();
    painter.setFont(titleFont);
    painter.setPen(Qt::black);
    painter.drawText(QRectF(area.left(), area.top(), area.width(), tfm.height() * 1.2),
                     Qt::AlignLeft | Qt::AlignVCenter, chart.title);

    // The band between the lowest and the highest logger, in columns of the plot.
    // Columns two pixels wide at most: finer than the lines drawn in them.
    const int buckets = std::max(1, std::min(int(g.plot.width() / (2 * std::max(1.0, pt / 1.5))), 1000));
    QVector<Range> band(buckets);
    const auto bucketOf = [&](qint64 t) {
        return std::clamp(int(double(t - g.from) / double(g.to - g.from) * buckets), 0, buckets - 1);
    };
    // Each curve counts where it has records and, between two records of
    // one line, at the middle of every column it crosses.
    for (const study::Series &s : chart.series) {
        qsizetype nextBreak = 0;
        for (qsizetype i = 0; i < s.values.size(); ++i) {
            band[bucketOf(s.seconds[i])].add(s.values[i]);
            while (nextBreak < s.breaks.size() && s.breaks[nextBreak] <= i)
                ++nextBreak;
            const bool joined =
                i + 1 < s.values.size() && !(nextBreak < s.breaks.size() && s.breaks[nextBreak] == i + 1);
            if (!joined)
                continue;
            const qint64 t0 = s.seconds[i], t1 = s.seconds[i + 1];
            for (int b = bucketOf(t0) + 1; b < bucketOf(t1); ++b) {
                const double mid = double(g.from) + (b + 0.5) * double(g.to - g.from) / buckets;
                const double f = (mid - double(t0)) / double(std::max<qint64>(1, t1 - t0));
                band[b].add(s.values[i] + f * (s.values[i + 1] - s.values[i]));
            }
        }
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    const double bw = g.plot.width() / buckets;
    for (int b = 0; b < buckets; ++b) {
        if (!band[b].any)
            continue;
        const double top = g.at(g.from, band[b].high).y(), bottom = g.at(g.from, band[b].low).y();
        painter.fillRect(QRectF(g.plot.left() + b * bw, top, bw + 0.5, std::max(bottom - top, pt)),
                         overlayEnvelopeColor());
    }

    // Grid and axes.
    painter.setFont(font);
    const QPen gridPen(QColor::fromRgb(0xC8C8C8), std::max(1.0, 0.5 * pt));
    for (double v = g.low; v <= g.high + step / 2; v += step) {
        const double y = g.at(g.from, v).y();
        painter.setPen(gridPen);
        painter.drawLine(QPointF(g.plot.left(), y), QPointF(g.plot.right(), y));
        painter.setPen(Qt::black);
        painter.drawText(QRectF(area.left(), y - lineH / 2, yLabelW - 4 * pt, lineH), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(v, 'f', step < 1 ? 1 : 0).replace(QLatin1Char('.'), QLatin1Char(',')));
    }
    const qint64 tstep = timeStep(
        g.to - g.from, std::max(2, int(g.plot.width() / (fm.horizontalAdvance(QStringLiteral("00/00 00:00")) * 1.6))));
    for (qint64 t = (g.from + tstep - 1) / tstep * tstep; t <= g.to; t += tstep) {
        const double x = g.at(t, g.low).x();
        painter.setPen(gridPen);
        painter.drawLine(QPointF(x, g.plot.top()), QPointF(x, g.plot.bottom()));
        const QDateTime at = wallDateTime(t);
        painter.setPen(Qt::black);
        const QString text = at.toString(QStringLiteral("dd/MM HH:mm"));
        // Centred under its line, but kept clear of the value labels on the left.
        const double w = fm.horizontalAdvance(text) + 2;
        const double left = std::clamp(x - w / 2, g.plot.left(), area.right() - w);
        painter.drawText(QRectF(left, g.plot.bottom() + 2 * pt, w, lineH), Qt::AlignLeft | Qt::AlignTop, text);
    }
    painter.setPen(QPen(Qt::black, std::max(1.0, 0.8 * pt)));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(g.plot);

    // The curves: per column of the plot the first, lowest, highest and last
    // value, which draws every peak of 48 000 records in a few thousand lines.
    painter.setRenderHint(QPainter::Antialiasing, true);
    // No clipping: every value lies within the scale and every time within the period.
    painter.setClipping(false);
    for (int si = 0; si < entries; ++si) {
        const study::Series &s = chart.series[si];
        painter.setPen(QPen(overlayColor(si), std::max(1.5, 1.4 * pt), Qt::SolidLine, Qt::RoundCap, Qt::BevelJoin));
        QPolygonF line;
        qsizetype nextBreak = 0;
        int bucket = -1;
        qsizetype lo = -1, hi = -1, last = -1, placed = -1; // placed: the record of the line's last point
        const auto flush = [&] {
            if (bucket < 0)
                return;
            const qsizetype a = std::min(lo, hi), b = std::max(lo, hi);
            for (qsizetype k : {a, b, last})
                if (k != placed) {
                    line << g.at(s.seconds[k], s.values[k]);
                    placed = k;
                }
            bucket = -1;
        };
        const auto draw = [&] {
            flush();
            // In short pieces: the stroker's cost grows much faster than
            // the length of one line that crosses itself column after column.
            constexpr qsizetype kPiece = 32;
            for (qsizetype at = 0; at + 1 < line.size(); at += kPiece)
                painter.drawPolyline(line.constData() + at, int(std::min(kPiece + 1, line.size() - at)));
            if (line.size() == 1)
                painter.drawPoint(line.first());
            line.clear();
        };
        for (qsizetype i = 0; i < s.values.size(); ++i) {
            if (nextBreak < s.breaks.size() && s.breaks[nextBreak] == i) {
                draw();
                ++nextBreak;
            }
            const int b = bucketOf(s.seconds[i]);
            if (b != bucket) {
                flush();
                bucket = b;
                line << g.at(s.seconds[i], s.values[i]);
                lo = hi = last = placed = i;
                continue;
            }
            if (s.values[i] < s.values[lo])
                lo = i;
            if (s.values[i] > s.values[hi])
                hi = i;
            last = i;
        }
        draw();
    }

    // The limits over the curves, dashed.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(overlayLimitColor(), std::max(1.0, 1.2 * pt), Qt::DashLine));
    for (const auto &limit : {chart.low, chart.high})
        if (limit) {
            const double y = g.at(g.from, *limit).y();
            painter.drawLine(QPointF(g.plot.left(), y), QPointF(g.plot.right(), y));
        }

    // The legend, column by column; a label longer than the column is cut with a mark.
    painter.setRenderHint(QPainter::Antialiasing, true);
    const int rows = int(std::ceil(double(entries) / columns));
    for (int i = 0; i < entries; ++i) {
        const double x = g.plot.right() + 12 * pt + (i / rows) * maxColumnW;
        const double y = legendTop + (i % rows) * entryH;
        painter.setPen(QPen(overlayColor(i), std::max(2.0, 3 * pt)));
        painter.drawLine(QPointF(x, y + entryH / 2), QPointF(x + swatch, y + entryH / 2));
        painter.setPen(Qt::black);
        const double w = maxColumnW - swatch - 8 * pt;
        const QString label = fm.elidedText(chart.series[i].label, Qt::ElideRight, w);
        painter.drawText(QRectF(x + swatch + 4 * pt, y, w, entryH), Qt::AlignLeft | Qt::AlignVCenter, label);
        g.legend.append(QRectF(x, y + (entryH - lineH) / 2, swatch + 4 * pt + fm.horizontalAdvance(label), lineH));
    }
    painter.restore();
    return g;
}

QImage renderOverlayCharts(const QVector<OverlayChart> &charts, int width)
{
    const double pt = width / 900.0;
    // Tall enough for the legend of 30 loggers in one column.
    const int chartH = int(width * 0.5);
    QImage image(width, std::max(1, int(charts.size())) * chartH, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    const double margin = 16 * pt;
    for (int i = 0; i < charts.size(); ++i)
        paintOverlayChart(painter, QRectF(margin, i * chartH + margin, width - 2 * margin, chartH - 2 * margin),
                          charts[i], pt);
    painter.end();
    return image;
}

bool writeOverlayCharts(const QString &path, const QVector<OverlayChart> &charts, QString *error)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (QFileInfo(path).suffix().toLower() == QLatin1String("pdf")) {
        QPdfWriter writer(&buffer);
        writer.setTitle(QStringLiteral("Gráfico do estudo de mapeamento"));
        writer.setCreator(QStringLiteral("termohigrometro-cli"));
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                                         QPageLayout::Millimeter));
        writer.setResolution(300);
        QPainter painter;
        if (!painter.begin(&writer)) {
            *error = path + QStringLiteral(": cannot draw the PDF");
            return false;
        }
        const QRectF page(QPointF(0, 0), QSizeF(writer.width(), writer.height()));
        const double pt = writer.resolution() / 72.0;
        for (int i = 0; i < charts.size(); ++i) {
            if (i > 0)
                writer.newPage();
            paintOverlayChart(painter, page, charts[i], pt);
        }
        painter.end();
    } else if (!renderOverlayCharts(charts).save(&buffer, "PNG")) {
        *error = path + QStringLiteral(": cannot encode the picture");
        return false;
    }
    return writeFileAtomically(path, bytes, error);
}
