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
    LiveTick(surface(), s.liveGeometry, s.liveSweep, s.liveScale, v, paletteColor(s.GridColorIndex),
             app().clock().now().time(), lastLabel_);
    surface().suspend();
    canvas()->update();
}

void RealTime24::Toolbar1_ButtonClick(const QString &key)
{
    if (key == QLatin1String("Limit"))
        showRealTimeRange(app());
    else if (key == QLatin1String("Print"))
        printWindow();
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
