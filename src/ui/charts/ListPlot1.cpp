#include "ui/charts/ListPlot1.h"

#include "render/ChartRender.h"

#include "core/charts/ChartDrawing.h"
#include "core/charts/ChartLogic.h"
#include "core/charts/ChartReadout.h"
#include "ui/charts/PlotRange.h"
#include "ui/common/App.h"
#include "ui/common/Commands.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>

namespace {
// How often the plot lets the user interface run and shows its progress.
constexpr qint64 kEventSliceMs = 40;
// The file chart keeps its boxes at their design width.
constexpr double kBoxWidth = 404.36;
} // namespace

namespace {
// The source lives with the App, so that every chart window of that App
// (PlotRange closes one and opens the next) plots the same rows.
class PlotSourceHolder : public QObject {
public:
    explicit PlotSourceHolder(QObject *parent) : QObject(parent) { setObjectName(QStringLiteral("PlotSource")); }
    PlotSource source;
};
} // namespace

PlotSource &plotSource(App &app)
{
    auto *holder = dynamic_cast<PlotSourceHolder *>(
        app.findChild<QObject *>(QStringLiteral("PlotSource"), Qt::FindDirectChildrenOnly));
    if (!holder)
        holder = new PlotSourceHolder(&app);
    return holder->source;
}

const GridSource *plotGrid(App &app)
{
    const PlotSource &source = plotSource(app);
    if (source.fileList)
        return commands::fileListGrid(app);
    return source.list ? dynamic_cast<const GridSource *>(source.grid.data()) : nullptr;
}

bool plotCelsius(App &app)
{
    const PlotSource &source = plotSource(app);
    return source.fileList ? app.state().FileUnitCelsius : source.celsius;
}

void plotTexts(App &app, QString &name, QString &sector, QString &company)
{
    const PlotSource &source = plotSource(app);
    if (source.fileList) {
        commands::fileListTexts(app, name, sector, company);
        return;
    }
    auto text = [&](const char *box) {
        const auto *edit = source.list ? source.list->findChild<QLineEdit *>(QLatin1String(box)) : nullptr;
        return edit ? edit->text() : QString();
    };
    name = text("TxtName");
    sector = text("TxtSector");
    company = text("TxtCompany");
}

ListPlot1::ListPlot1(App &app, QWidget *parent)
    : ChartWindow(app, QStringLiteral("Gráfico - Plotar"), ChartPainter::fileChartFont(), parent)
{
    setObjectName(QStringLiteral("ListPlot1"));
    Timer1->setInterval(500);
    // Opens no smaller than its minimum, window frame aside.
    resize(std::max(width(), twipsToPixelsX(kMinWidthTwips, this)),
           std::max(height(), twipsToPixelsY(kMinHeightTwips, this)));
    Form_Load();
}

ListPlot1::~ListPlot1() = default;

void ListPlot1::Form_Load()
{
    placeBesideMainWindow();
    app().state().GridColorIndex = 7;
}

void ListPlot1::resizeEvent(QResizeEvent *event)
{
    ChartWindow::resizeEvent(event);
    Form_Resize();
}

void ListPlot1::Form_Resize()
{
    // Too small in either direction: back to the design size; that resize
    // draws. A window not shown yet takes the size at once and draws now.
    if (widthTwips() < kMinWidthTwips || heightTwips() < kMinHeightTwips) {
        setSizeTwips(kMinWidthTwips, kMinHeightTwips);
        if (isVisible())
            return;
    }
    redraw();
}

void ListPlot1::redraw()
{
    SharedState &s = app().state();
    layoutArea();
    ++generation_;
    ChartPainter &surface = this->surface();
    s.fileGeometry = ComputeGeometry(surface.scaleWidth(), surface.scaleHeight());
    placeTextBlock(kBoxWidth);
    QString name, sector, company;
    plotTexts(app(), name, sector, company);
    TxtName->setText(name);
    TxtSector->setText(sector);
    TxtCompany->setText(company);
    // An empty range has no points to space out.
    s.fileSweep.StepX = fileStepX(s.fileGeometry, s.PlotCount);
    DrawChartFrame(surface, s.fileGeometry, s.fileScale, ChartKind::File, s.fileSweep);
    surface.suspend();
    canvas()->update();
    s.FilePlotPending = true;
    Timer1->start();
}

void ListPlot1::Timer1_Timer()
{
    SharedState &s = app().state();
    // The plot lets events run, among them this timer: one plot at a time.
    if (!s.FilePlotPending || plotting_)
        return;
    const int generation = generation_;
    hold();
    PlotFileGrid(*this, plotGrid(app()));
    // A resize during the plot drew a new frame and queued a new plot.
    if (!closed() && generation == generation_) {
        s.FilePlotPending = false;
        Timer1->stop();
    }
    release();
}

void ListPlot1::Toolbar1_ButtonClick(const QString &key)
{
    if (key == QLatin1String("Limit"))
        showPlotRange(app());
    else if (key == QLatin1String("Print"))
        printWindow();
    else if (key == QLatin1String("SaveImage"))
        saveImage();
}

bool ListPlot1::onPlot(QPointF units) const
{
    const ChartGeometry &g = app().state().fileGeometry;
    return units.y() >= g.plotTop() - 5 && units.y() <= g.PlotBottom + 6 && units.x() >= g.PlotLeft - 10 &&
           units.x() <= g.PlotLeft + g.PlotWidth + 10;
}

void ListPlot1::hoverAt(QPointF pixels)
{
    const SharedState &s = app().state();
    const QPointF at = toUnits(pixels);
    const GridSource *grid = plotGrid(app());
    const RecordRange range{s.PlotFrom, s.PlotTo};
    const std::optional<int> record =
        onPlot(at) ? nearestRecord(s.fileGeometry, s.fileSweep.StepX, range, at.x()) : std::nullopt;
    if (!record || !grid || *record >= grid->rowCount()) {
        clearHover();
        return;
    }
    const int row = *record;
    Readout r;
    const QString number = grid->cell(row, 0);
    r.label = QStringLiteral("Registro ") + (number.isEmpty() ? QString::number(row) : number);
    r.date = grid->cell(row, 1);
    r.time = grid->cell(row, 2);
    r.temperature = grid->cell(row, 3);
    r.dewPoint = grid->cell(row, 4);
    r.wetBulb = grid->cell(row, 5);
    r.humidity = grid->cell(row, 6);
    r.celsius = plotCelsius(app());
    showHover(recordX(s.fileGeometry, s.fileSweep.StepX, range, row), s.fileGeometry, readoutText(r), pixels);
}

void ListPlot1::showRecords(int from, int to)
{
    SharedState &s = app().state();
    if (from == s.PlotFrom && to == s.PlotTo)
        return;
    s.PlotFrom = from;
    s.PlotTo = to;
    s.PlotCount = to - from + 1;
    redraw();
    // An open scale dialog shows the range now plotted.
    if (auto *range = qobject_cast<PlotRange *>(app().plotRange.data()))
        range->Form_Resize();
    // No half-second wait for a change the user is making with the mouse.
    QTimer::singleShot(0, this, [this] { Timer1_Timer(); });
}

void ListPlot1::pressAt(QPointF pixels)
{
    const SharedState &s = app().state();
    dragStart_.reset();
    if (!onPlot(toUnits(pixels)) || s.PlotCount < 1)
        return;
    dragStart_ = pixels;
    dragFrom_ = s.PlotFrom;
    dragTo_ = s.PlotTo;
    dragStep_ = s.fileSweep.StepX;
}

void ListPlot1::dragTo(QPointF pixels)
{
    if (!dragStart_)
        return;
    const SharedState &s = app().state();
    const double dx = toUnits(pixels).x() - toUnits(*dragStart_).x();
    const RecordRange r = panRecords({dragFrom_, dragTo_}, s.FileRecordCount, dragShift(dx, dragStep_));
    showRecords(r.from, r.to);
}

void ListPlot1::doubleClickAt(QPointF pixels)
{
    dragStart_.reset();
    const SharedState &s = app().state();
    if (onPlot(toUnits(pixels)) && s.FileRecordCount >= 1)
        showRecords(1, s.FileRecordCount);
}

void ListPlot1::wheelAt(QPointF pixels, int angle)
{
    const SharedState &s = app().state();
    const QPointF at = toUnits(pixels);
    if (!onPlot(at) || s.PlotCount < 1 || !(s.fileSweep.StepX > 0))
        return;
    const double anchor = s.PlotFrom + (at.x() - s.fileGeometry.PlotLeft) / s.fileSweep.StepX;
    const RecordRange r = zoomRecords({s.PlotFrom, s.PlotTo}, s.FileRecordCount, anchor, wheelZoomFactor(angle));
    showRecords(r.from, r.to);
}

QImage ListPlot1::savedPicture()
{
    const SharedState &s = app().state();
    const GridSource *grid = plotGrid(app());
    if (!grid)
        return ChartWindow::savedPicture();
    FileChartPicture picture;
    picture.scale = s.fileScale;
    picture.celsius = plotCelsius(app());
    picture.range = {s.PlotFrom, s.PlotTo, s.PlotCount};
    plotTexts(app(), picture.name, picture.sector, picture.company);
    picture = savedChartPicture(picture);
    const auto cell = [grid](int row, int column) { return grid->cell(row, column); };
    const QVector<PlotRecord> records = readPlotRecords(grid->rowCount(), cell, s.PlotFrom, s.PlotTo);
    const auto when = [&](int row) {
        return row >= 1 && row < grid->rowCount() ? QStringLiteral("%1 %2").arg(cell(row, 1), cell(row, 2)).trimmed()
                                                  : QString();
    };
    const PlotSource &source = plotSource(app());
    QWidget *list = source.fileList ? app().fileList.data() : source.list.data();
    const QString title =
        chartTitle(list ? list->windowTitle() : QString(), s.PlotFrom, std::min(s.PlotTo, grid->rowCount() - 1),
                   when(s.PlotFrom), when(std::min(s.PlotTo, grid->rowCount() - 1)));
    return withTitle(renderFileChart(picture, records), title, picture.dpi);
}

void PlotFileGrid(ListPlot1 &chart, const GridSource *grid)
{
    App &app = chart.app();
    SharedState &s = app.state();
    // The timers go back to the state they were in: a plot that runs while an
    // instrument exchange has stopped the polling must not start it under it.
    const bool polling = app.pollTimer() && app.pollTimer()->isActive();
    const bool sampling = app.sampleTimer() && app.sampleTimer()->isActive();
    if (QTimer *t = app.pollTimer())
        t->stop();
    if (QTimer *t = app.sampleTimer())
        t->stop();
    const QString caption = chart.windowTitle();
    chart.plotting_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);

    QVector<PlotRecord> records;
    if (grid)
        records = readPlotRecords(
            grid->rowCount(), [grid](int row, int column) { return grid->cell(row, column); }, s.PlotFrom, s.PlotTo);

    const int generation = chart.generation_;
    QElapsedTimer slice;
    slice.start();
    bool first = true;
    // Progress and events once per slice of time rather than per record, so
    // that a long range is not slowed down by the event loop.
    auto progress = [&](int i) {
        if (!first && slice.elapsed() < kEventSliceMs)
            return true;
        first = false;
        chart.surface().suspend();
        chart.setWindowTitle(QString::number(i) + texts::kProgressSuffix);
        chart.canvas()->update();
        QCoreApplication::processEvents();
        slice.restart();
        return !chart.closed() && chart.generation_ == generation;
    };
    PlotFileRecords(chart.surface(), s.fileGeometry, s.fileSweep, s.fileScale, plotCelsius(app), records,
                    {s.PlotFrom, s.PlotTo, s.PlotCount}, paletteColor(s.GridColorIndex), GridOrder::Linear, progress);
    chart.surface().suspend();
    chart.canvas()->update();

    QApplication::restoreOverrideCursor();
    chart.plotting_ = false;
    chart.setWindowTitle(caption);
    if (QTimer *t = app.pollTimer(); t && polling)
        t->start();
    if (QTimer *t = app.sampleTimer(); t && sampling)
        t->start();
}

ListPlot1 *showFileChart(App &app)
{
    auto *chart = new ListPlot1(app, app.mainWindow());
    app.fileChart = chart;
    chart->show();
    return chart;
}
