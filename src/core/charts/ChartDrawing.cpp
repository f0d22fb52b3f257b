#include "core/charts/ChartDrawing.h"

#include "core/charts/ChartLogic.h"

#include <algorithm>

namespace {
constexpr ChartColor kSeriesColor[4] = {chartcolor::Black, chartcolor::Blue, chartcolor::Green, chartcolor::Red};
// The file chart draws humidity last, so it lies on top where lines cross.
constexpr int kLiveOrder[4] = {SeriesTemp, SeriesRh, SeriesWet, SeriesDew};
constexpr int kFileOrder[4] = {SeriesTemp, SeriesWet, SeriesDew, SeriesRh};

void printAt(ChartSurface &s, double x, double y, ChartColor color, const QString &text)
{
    s.CurrentX = x;
    s.CurrentY = y;
    s.ForeColor = color;
    s.printText(text);
}

void majorTimeLine(ChartSurface &s, const ChartGeometry &g, double x, ChartColor gridColor)
{
    s.drawStyle = DrawStyle::Dotted;
    s.line(x, g.PlotBottom, x, g.plotTop() - 10, gridColor);
    s.drawStyle = DrawStyle::Solid;
}

void minorTimeMark(ChartSurface &s, const ChartGeometry &g, double x, ChartColor gridColor)
{
    s.line(x, g.PlotBottom - 3.8 * g.PlotHeight / 8, x, g.PlotBottom - 4.2 * g.PlotHeight / 8, gridColor);
}
} // namespace

void DrawChartFrame(ChartSurface &s, const ChartGeometry &g, const ChartScale &scale, ChartKind kind, SweepState &sweep,
                    const QLocale &celsiusLocale)
{
    const double left = g.PlotLeft;
    const double bottom = g.PlotBottom;
    const double top = g.plotTop();
    s.clear();

    s.DrawWidth = 2;
    s.ForeColor = chartcolor::Black;
    s.line(left - 2, bottom + 5, left - 2, top - 5, chartcolor::Black);
    s.line(left - 2, bottom + 6, left + g.PlotWidth + 2, bottom + 6, chartcolor::Black);
    s.DrawWidth = 1;

    for (int i = 0; i <= 16; ++i) {
        const double y = bottom - g.PlotHeight * i / 16;
        s.line(left - 2, y, left - 7, y, chartcolor::Black);
        if (i % 2 == 0)
            s.line(left - 2, y, left - 10, y, chartcolor::Black);
    }

    const AxisTextForm celsiusForm = kind == ChartKind::Live ? AxisTextForm::Locale : AxisTextForm::Plain;
    auto label = [&](double value, double d, AxisTextForm form, int j) {
        const QString t = FormatAxisValue(value, form, celsiusLocale);
        const double w = s.textWidth(t);
        const double h = s.textHeight(t);
        s.CurrentX = left - d - w / 4;
        s.CurrentY = bottom - h / 2 - g.PlotHeight * j / 8;
        s.printText(t);
    };
    for (int j = 0; j <= 8; ++j) {
        label(scale.TempMinC + (scale.TempMaxC - scale.TempMinC) * j / 8, 32, celsiusForm, j);
        s.ForeColor = chartcolor::Blue;
        label(scale.RhMin + (scale.RhMax - scale.RhMin) * j / 8, 72, AxisTextForm::Plain, j);
        s.ForeColor = chartcolor::Black;
        label(scale.TempMinF + (scale.TempMaxF - scale.TempMinF) * j / 8, 112, AxisTextForm::Plain, j);
    }

    if (kind == ChartKind::Live)
        s.fillBox(left, bottom, left + g.PlotWidth, top, paletteColor(15));

    sweep.PrevX = 0;
    sweep.CursorX = -sweep.StepX;

    const double y = top - 25;
    printAt(s, left - 30, y, chartcolor::Black, QStringLiteral("Cel"));
    printAt(s, left - 70, y, chartcolor::Blue, QStringLiteral("UR%"));
    printAt(s, left - 110, y, chartcolor::Black, QStringLiteral("Fah"));
    printAt(s, left + 30, y, chartcolor::Red, QStringLiteral("Orvalho"));
    printAt(s, left + 90, y, chartcolor::Green, QStringLiteral("Úmido"));
}

void DrawSweepGrid(ChartSurface &s, const ChartGeometry &g, ChartColor gridColor)
{
    const double left = g.PlotLeft;
    const double right = g.PlotLeft + g.PlotWidth;
    const double bottom = g.PlotBottom;
    const double h = g.PlotHeight;
    s.drawStyle = DrawStyle::Solid;
    s.line(left - 2, bottom - h / 2, right + 2, bottom - h / 2, gridColor);
    s.drawStyle = DrawStyle::Dotted;
    const double heights[7] = {h / 8, h * 7 / 8, h * 3 / 4, h * 5 / 8, h, h * 3 / 8, h / 4};
    for (double up : heights)
        s.line(left, bottom - up, right, bottom - up, gridColor);
    s.drawStyle = DrawStyle::Solid;
}

void PlotSweepStep(ChartSurface &s, const ChartGeometry &g, SweepState &sweep, ChartKind kind,
                   const SeriesValues &values, AxisRange temperature, AxisRange humidity, ChartColor gridColor,
                   bool drawGrid)
{
    const double x = g.PlotLeft + sweep.CursorX;
    if (kind == ChartKind::Live)
        s.fillBox(x + 2, g.PlotBottom + 3, x + 2 + sweep.StepX, g.plotTop() - 5, paletteColor(15));
    if (drawGrid)
        DrawSweepGrid(s, g, gridColor);
    const int *order = kind == ChartKind::Live ? kLiveOrder : kFileOrder;
    const bool joined = sweep.PrevX != 0 && sweep.CursorX != 0;
    for (int k = 0; k < 4; ++k) {
        const int series = order[k];
        const AxisRange axis = series == SeriesRh ? humidity : temperature;
        const double y = ValueToY(values[series], axis.max, axis.min, g);
        if (joined)
            s.line(sweep.PrevX, sweep.PrevY[series], x, y, kSeriesColor[series]);
        sweep.PrevY[series] = y;
    }
    sweep.PrevX = x;
}

void LiveTick(ChartSurface &s, const ChartGeometry &g, SweepState &sweep, const ChartScale &scale,
              const SeriesValues &values, ChartColor gridColor, const QTime &now, QString &lastLabel)
{
    sweep.CursorX += sweep.StepX;
    if (sweep.CursorX >= g.PlotWidth)
        sweep.CursorX = 0;
    PlotSweepStep(s, g, sweep, ChartKind::Live, values, {scale.TempMaxC, scale.TempMinC}, {scale.RhMax, scale.RhMin},
                  gridColor);

    const double x = g.PlotLeft + sweep.CursorX;
    switch (liveTimeMark(sweep.CursorX)) {
    case TimeMark::Minor: minorTimeMark(s, g, x, gridColor); break;
    case TimeMark::Major: {
        majorTimeLine(s, g, x, gridColor);
        lastLabel = now.toString(QStringLiteral("hh:mm:ss"));
        const double half = s.textWidth(lastLabel) / 2;
        s.fillBox(x - half, g.PlotBottom + 10, x + half, g.PlotBottom + 20, paletteColor(15));
        printAt(s, x - half, g.PlotBottom + 10, chartcolor::Black, lastLabel);
        break;
    }
    case TimeMark::None: break;
    }
}

QVector<PlotRecord> readPlotRecords(int rowCount, const std::function<QString(int row, int column)> &cell, int from,
                                    int to)
{
    QVector<PlotRecord> records;
    const int first = std::max(from, 1);
    const int last = std::min(to, rowCount - 1);
    if (last < first)
        return records;
    records.reserve(last - first + 1);
    const qint64 count = qint64(to) - from + 1;
    for (int row = first; row <= last; ++row) {
        PlotRecord r;
        if (fileTimeMark(qint64(row) - from + 1, count) == TimeMark::Major)
            r.time = cell(row, 2);
        r.values[SeriesTemp] = SeriesValue::fromCell(cell(row, 3));
        r.values[SeriesDew] = SeriesValue::fromCell(cell(row, 4));
        r.values[SeriesWet] = SeriesValue::fromCell(cell(row, 5));
        r.values[SeriesRh] = SeriesValue::fromCell(cell(row, 6));
        records.append(r);
    }
    return records;
}

int PlotFileRecords(ChartSurface &s, const ChartGeometry &g, SweepState &sweep, const ChartScale &scale, bool celsius,
                    const QVector<PlotRecord> &records, FilePlotRange range, ChartColor gridColor, GridOrder order,
                    const std::function<bool(int i)> &progress)
{
    const AxisRange temperature =
        celsius ? AxisRange{scale.TempMaxC, scale.TempMinC} : AxisRange{scale.TempMaxF, scale.TempMinF};
    const AxisRange humidity{scale.RhMax, scale.RhMin};
    const qint64 last = std::min<qint64>(range.to, qint64(range.from) + records.size() - 1);
    int drawn = 0;
    for (qint64 i = range.from; i <= last; ++i) {
        if (progress && !progress(int(i)))
            break;
        const int k = int(i - range.from);
        const qint64 n = k + 1;
        sweep.CursorX += sweep.StepX;
        const bool grid = order == GridOrder::EveryRecord || n == 1 || i == last;
        PlotSweepStep(s, g, sweep, ChartKind::File, records[k].values, temperature, humidity, gridColor, grid);

        const double x = g.PlotLeft + sweep.CursorX;
        switch (fileTimeMark(n, range.count)) {
        case TimeMark::Major: {
            majorTimeLine(s, g, x, gridColor);
            const QString t = records[k].time.right(8);
            double cx = x - s.textWidth(t) / 2;
            if (i == range.from)
                cx -= 10;
            if (i == range.to)
                cx -= 10;
            printAt(s, cx, g.PlotBottom + 10, chartcolor::Black, t);
            break;
        }
        case TimeMark::Minor: minorTimeMark(s, g, x, gridColor); break;
        case TimeMark::None: break;
        }
        ++drawn;
    }
    return drawn;
}

double fileStepX(const ChartGeometry &g, int plotCount)
{
    return plotCount > 0 ? g.PlotWidth / plotCount : 0;
}
