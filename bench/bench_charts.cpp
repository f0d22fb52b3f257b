// Cost of the file chart's plot: reading N records from grid rows, the frame
// and the plot on an image of the design size, in the linear grid order the
// window uses (and, for comparison, with the grid redrawn at every record).
#include "core/charts/ChartDrawing.h"
#include "core/charts/ChartLogic.h"
#include "platform/PlatformChatter.h"
#include "render/ChartPainter.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
// Grid rows of a data file: heading row, then records (columns as in a file).
QVector<QStringList> makeRows(int count)
{
    QVector<QStringList> rows;
    rows.reserve(count + 1);
    rows.append({"N°", "Data", "Hora", "°C", "Orvalho(°C)", "Úmido(°C)", "UR%"});
    for (int i = 0; i < count; ++i) {
        const int sec = i * 2;
        const QString time = QStringLiteral("%1:%2:%3")
                                 .arg((sec / 3600) % 24, 2, 10, QLatin1Char('0'))
                                 .arg((sec / 60) % 60, 2, 10, QLatin1Char('0'))
                                 .arg(sec % 60, 2, 10, QLatin1Char('0'));
        const double t = 22 + 8 * std::sin(i / 500.0) + (i % 7) * 0.1;
        const double rh = 55 + 30 * std::cos(i / 700.0);
        rows.append({QString::number(i + 1), QStringLiteral("08/12/2026"), time, QString::number(t, 'f', 1),
                     QString::number(t - 8, 'f', 1), QString::number(t - 4, 'f', 1), QString::number(rh, 'f', 1)});
    }
    return rows;
}

struct Cost {
    double readMs = 1e300; // grid rows to plot records
    double drawMs = 1e300; // frame and plot
    double totalMs = 1e300;
};

// The best of `runs` of reading, frame and plot.
Cost plotCost(const QVector<QStringList> &rows, GridOrder order, int runs)
{
    Cost best;
    const int count = int(rows.size()) - 1;
    for (int run = 0; run < runs; ++run) {
        QImage image(392, 364, QImage::Format_RGB32);
        QElapsedTimer timer;
        timer.start();
        const QVector<PlotRecord> records = readPlotRecords(
            int(rows.size()), [&](int r, int c) { return rows[r][c]; }, 1, count);
        const qint64 read = timer.nsecsElapsed();
        ChartPainter painter(image, ChartPainter::fileChartFont());
        const ChartGeometry g = ComputeGeometry(painter.scaleWidth(), painter.scaleHeight());
        SweepState sweep;
        sweep.StepX = fileStepX(g, count);
        DrawChartFrame(painter, g, ChartScale{}, ChartKind::File, sweep);
        PlotFileRecords(painter, g, sweep, ChartScale{}, true, records, {1, count, count}, paletteColor(7), order);
        painter.suspend();
        const qint64 total = timer.nsecsElapsed();
        best.readMs = std::min(best.readMs, read / 1e6);
        best.drawMs = std::min(best.drawMs, (total - read) / 1e6);
        best.totalMs = std::min(best.totalMs, total / 1e6);
    }
    return best;
}
} // namespace

int main(int argc, char **argv)
{
    quietPlatformChatter();
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);
    const QVector<QStringList> big = makeRows(48000);
    const QVector<QStringList> small = makeRows(480);
    const QVector<QStringList> mid = makeRows(4800);

    plotCost(small, GridOrder::Linear, 2); // warm-up: fonts, glyph cache
    const Cost bigCost = plotCost(big, GridOrder::Linear, 7);
    const Cost smallCost = plotCost(small, GridOrder::Linear, 31);
    const Cost midEvery = plotCost(mid, GridOrder::EveryRecord, 1);
    const Cost midLinear = plotCost(mid, GridOrder::Linear, 5);
    out << QStringLiteral("file chart, 48000 records: %1 ms (reading %2 ms, drawing %3 ms) (limit 300)\n")
               .arg(bigCost.totalMs, 0, 'f', 1)
               .arg(bigCost.readMs, 0, 'f', 1)
               .arg(bigCost.drawMs, 0, 'f', 1);
    out << QStringLiteral("file chart, 480 records: %1 ms (reading %2 ms, drawing %3 ms)\n")
               .arg(smallCost.totalMs, 0, 'f', 2)
               .arg(smallCost.readMs, 0, 'f', 2)
               .arg(smallCost.drawMs, 0, 'f', 2);
    const double ratio = bigCost.totalMs / smallCost.totalMs;
    out << QStringLiteral("file chart, 48000/480 cost ratio: %1 (limit 120); drawing alone: %2\n")
               .arg(ratio, 0, 'f', 1)
               .arg(bigCost.drawMs / smallCost.drawMs, 0, 'f', 1);
    out << QStringLiteral("file chart, 4800 records, grid redrawn at every record: %1 ms; linear order: %2 ms\n")
               .arg(midEvery.totalMs, 0, 'f', 1)
               .arg(midLinear.totalMs, 0, 'f', 1);
    const bool ok = bigCost.totalMs <= 300 && ratio <= 120;
    return ok ? 0 : 1;
}
