#include "ui/charts/ListPlot1.h"
#include "ui/charts/RealTime24.h"
#include "ui/common/App.h"
#include "ui/common/Commands.h"

#include <algorithm>

namespace commands {

void openLiveChart(App &app)
{
    SharedState &s = app.state();
    if (s.ChartOpen)
        return;
    s.ChartOpen = true;
    s.liveScale = ChartScale{};
    s.liveSweep.StepX = 1;
    showLiveChart(app);
}

void closeLiveChart(App &app)
{
    if (app.liveChart)
        app.liveChart->close();
}

namespace {
void openChartOf(App &app, const GridSource *grid)
{
    SharedState &s = app.state();
    s.fileScale = ChartScale{};
    // A grid without even its heading row counts as no records.
    s.FileRecordCount = grid ? std::max(0, grid->rowCount() - 1) : 0;
    s.PlotCount = s.FileRecordCount;
    s.PlotFrom = 1;
    s.PlotTo = s.FileRecordCount;
    if (auto *chart = qobject_cast<ChartWindow *>(app.fileChart.data()); chart && !chart->closed())
        chart->close();
    showFileChart(app);
}
} // namespace

void openFileChart(App &app)
{
    plotSource(app) = PlotSource{};
    openChartOf(app, fileListGrid(app));
}

void openListChart(App &app, QWidget *list, QWidget *grid, bool celsius)
{
    plotSource(app) = PlotSource{false, list, grid, celsius};
    openChartOf(app, plotGrid(app));
}

} // namespace commands
