#include "ui/charts/RealTime24.h"

#include "core/charts/ChartDrawing.h"
#include "core/charts/ChartLogic.h"
#include "core/reading/Decode.h"
#include "ui/charts/RealTimeRange.h"
#include "ui/common/App.h"
#include "ui/common/Commands.h"

#include <QLineEdit>
#include <QTimer>
#include <QToolBar>

RealTime24::RealTime24(App &app, QWidget *parent)
    : ChartWindow(app, QStringLiteral("Gráfico - Tempo real"), ChartPainter::liveChartFont(), parent)
{
    setObjectName(QStringLiteral("RealTime24"));
    Form_Load();
}

RealTime24::~RealTime24()
{
    if (!unloaded_)
        Form_Unload();
}

void RealTime24::Form_Load()
{
    placeBesideMainWindow();
    SharedState &s = app().state();
    s.ChartOpen = true;
    s.GridColorIndex = 7;
    s.liveSweep.CursorX = -s.liveSweep.StepX;
}

void RealTime24::resizeEvent(QResizeEvent *event)
{
    ChartWindow::resizeEvent(event);
    Form_Resize();
}

void RealTime24::Form_Resize()
{
    // Each too small dimension is raised on its own; the frame is drawn in any
    // case (the raised size brings another resize, which draws again).
    const double w = widthTwips();
    const double h = heightTwips();
    if (w < kMinWidthTwips || h < kMinHeightTwips)
        setSizeTwips(std::max(w, kMinWidthTwips), std::max(h, kMinHeightTwips));

    SharedState &s = app().state();
    layoutArea();
    ChartPainter &surface = this->surface();
    s.liveGeometry = ComputeGeometry(surface.scaleWidth(), surface.scaleHeight());
    placeTextBlock(surface.scaleWidth() - 90);
    DrawChartFrame(surface, s.liveGeometry, s.liveScale, ChartKind::Live, s.liveSweep, displayLocale());
    surface.suspend();
    points_.reset(s.liveGeometry, 1 / surface.pixelsPerUnitX());
    if (mouse_)
        hoverAt(*mouse_);
    canvas()->update();
}

void RealTime24::Timer1_Timer()
{
    SharedState &s = app().state();
    const Reading &r = s.reading;
    SeriesValues v;
    v[SeriesTemp] = SeriesValue::number(r.TempC);
    v[SeriesRh] = SeriesValue::number(r.Rh);
    v[SeriesWet] = SeriesValue::number(r.WetC);
    v[SeriesDew] = SeriesValue::number(r.DewC);
    const QDateTime now = app().clock().now();
    LiveTick(surface(), s.liveGeometry, s.liveSweep, s.liveScale, v, paletteColor(s.GridColorIndex), now.time(),
             lastLabel_);
    surface().suspend();
    LivePoint point;
    point.x = s.liveGeometry.PlotLeft + s.liveSweep.CursorX;
    point.number = ++ticks_;
    point.when = now;
    point.tempC = r.TempC;
    point.rh = r.Rh;
    point.wetC = r.WetC;
    point.dewC = r.DewC;
    points_.add(point, s.liveSweep.StepX);
    // The point under a resting mouse may just have been drawn or erased.
    if (mouse_)
        hoverAt(*mouse_);
    canvas()->update();
}

void RealTime24::hoverAt(QPointF pixels)
{
    const ChartGeometry &g = app().state().liveGeometry;
    const QPointF at = toUnits(pixels);
    if (at.y() < g.plotTop() - 5 || at.y() > g.PlotBottom + 6 || at.x() < g.PlotLeft - 2 ||
        at.x() > g.PlotLeft + g.PlotWidth + 2) {
        leaveArea();
        return;
    }
    mouse_ = pixels;
    // The point under the cursor: within half a step, and never less than
    // two pixels, so that a dense sweep can still be pointed at.
    const double tolerance = std::max(app().state().liveSweep.StepX / 2, 2 / surface().pixelsPerUnitX());
    if (const std::optional<LivePoint> p = points_.nearest(at.x(), tolerance))
        showHover(p->x, g, readoutText(liveReadout(*p)), pixels);
    else
        showHover(at.x(), g, QString(), pixels);
}

void RealTime24::leaveArea()
{
    mouse_.reset();
    clearHover();
}

void RealTime24::Toolbar1_ButtonClick(const QString &key)
{
    if (key == QLatin1String("Limit"))
        showRealTimeRange(app());
    else if (key == QLatin1String("Print"))
        printWindow();
    else if (key == QLatin1String("SaveImage"))
        saveImage();
}

void RealTime24::Form_Unload()
{
    unloaded_ = true;
    Timer1->stop();
    app().state().ChartOpen = false;
}

RealTime24 *showLiveChart(App &app)
{
    auto *chart = new RealTime24(app, app.mainWindow());
    app.liveChart = chart;
    chart->show();
    chart->Timer1->setInterval(app.pollingInterval());
    chart->Timer1->start();
    return chart;
}
