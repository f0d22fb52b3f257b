#include "core/charts/ChartDrawing.h"
#include "core/charts/ChartLogic.h"
#include "render/ChartRender.h"
#include "support/TestApp.h"
#include "ui/charts/ListPlot1.h"
#include "ui/charts/PlotRange.h"
#include "ui/charts/RealTime24.h"
#include "ui/charts/RealTimeRange.h"
#include "ui/common/Commands.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QWheelEvent>
#include <cmath>

namespace {
constexpr QRgb kBlack = 0xFF000000;

// Saves a picture of `w` when TH_CHART_SHOTS names a folder (for looking at).
void shot(QWidget *w, const QString &name)
{
    const QString dir = qEnvironmentVariable("TH_CHART_SHOTS");
    if (!dir.isEmpty())
        w->grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

struct TableGrid : GridSource {
    QList<QStringList> rows;
    std::function<void()> onRead;
    int rowCount() const override { return int(rows.size()); }
    QString cell(int row, int column) const override
    {
        if (onRead)
            onRead();
        return rows.value(row).value(column);
    }
};

TableGrid tenRecords()
{
    TableGrid g;
    g.rows.append({"N°", "Data", "Hora", "°C", "Orvalho(°C)", "Úmido(°C)", "UR%"});
    for (int i = 1; i <= 10; ++i)
        g.rows.append({QString::number(i), "08/12/2026", QStringLiteral("10:%1:00").arg(i, 2, 10, QLatin1Char('0')),
                       QString::number(15 + i), QString::number(5 + i), QString::number(10 + i),
                       QString::number(40 + 3 * i)});
    g.rows[4][3] = QStringLiteral("OL");
    g.rows[7][4] = QStringLiteral("-OL");
    return g;
}

// Pixels of the series colours inside the plot rectangle.
int seriesPixels(const QImage &img, ChartPainter &s, const ChartGeometry &g)
{
    int n = 0;
    for (int y = s.toPixelY(g.plotTop() - 5); y <= s.toPixelY(g.PlotBottom + 3); ++y)
        for (int x = s.toPixelX(g.PlotLeft) + 1; x < s.toPixelX(g.PlotLeft + g.PlotWidth); ++x) {
            const QRgb p = img.pixel(x, y);
            n += p == kBlack || p == 0xFFFF0000 || p == 0xFF00FF00 || p == 0xFF0000FF;
        }
    return n;
}

// A °F file of ten records with a name and a company, loaded into the file list.
void loadTenRecordFile(TestApp &t)
{
    const QString path = t.path(QStringLiteral("ten.dlf"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return;
    QByteArray bytes = "Sala 3\r\n\r\nACME\r\nN\xb0\tData\tHora\t\xb0"
                       "F\tOrvalho(\xb0"
                       "F)\t\xdamido(\xb0"
                       "F)\tUR%\r\n";
    for (int i = 1; i <= 10; ++i)
        bytes += QStringLiteral("%1\t08/12/2026\t10:%2:00\t%3.5\t%4.0\t%5.0\t%6.0\r\n")
                     .arg(i)
                     .arg(i, 2, 10, QLatin1Char('0'))
                     .arg(60 + i)
                     .arg(40 + i)
                     .arg(50 + i)
                     .arg(30 + 5 * i)
                     .toLatin1();
    f.write(bytes);
    f.close();
    t.prompts->answerFile(path);
    commands::openDataFile(*t.app);
}

// The mouse on a chart's drawing area, at chart units (x, y).
QPoint at(ChartWindow *w, double x, double y)
{
    return {w->surface().toPixelX(x), w->surface().toPixelY(y)};
}

void mouse(QWidget *canvas, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::NoButton,
           Qt::MouseButtons buttons = Qt::NoButton)
{
    QMouseEvent e(type, QPointF(pos), QPointF(canvas->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(canvas, &e);
}

void wheel(QWidget *canvas, QPoint pos, int angle)
{
    QWheelEvent e(QPointF(pos), QPointF(canvas->mapToGlobal(pos)), QPoint(), QPoint(0, angle), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(canvas, &e);
}

// The live chart, shown, its timer stopped so that the test draws each point.
RealTime24 *openStoppedLiveChart(App &app)
{
    commands::openLiveChart(app);
    auto *w = qobject_cast<RealTime24 *>(app.liveChart.data());
    if (!w || !QTest::qWaitForWindowExposed(w))
        return nullptr;
    w->Timer1->stop();
    return w;
}

void typeInto(QLineEdit *box, const QString &text)
{
    box->clear();
    QTest::keyClicks(box, text);
}
} // namespace

class TestChartWindows : public QObject {
    Q_OBJECT
private slots:
    void liveChartOpensDrawsAndCloses()
    {
        TestApp t;
        SharedState &s = t.app->state();
        commands::openLiveChart(*t.app);
        auto *w = qobject_cast<RealTime24 *>(t.app->liveChart.data());
        QVERIFY(w);
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QCOMPARE(w->windowTitle(), QStringLiteral("Gráfico - Tempo real"));
        QVERIFY(s.ChartOpen);
        QCOMPARE(s.GridColorIndex, 7);
        QCOMPARE(s.liveSweep.StepX, 1.0);
        QCOMPARE(w->Timer1->interval(), t.app->pollingInterval());
        QVERIFY(w->Timer1->isActive());
        QCOMPARE(w->button("Limit")->toolTip(), QStringLiteral("Limites"));
        QCOMPARE(w->button("Print")->toolTip(), QStringLiteral("Imprimir"));
        w->Timer1->stop();

        // "Graph" again changes nothing, not even a changed scale.
        s.liveScale.TempMaxC = 50;
        commands::openLiveChart(*t.app);
        QCOMPARE(t.app->liveChart.data(), w);
        QCOMPARE(s.liveScale.TempMaxC, 50.0);
        s.liveScale = ChartScale{};
        w->Form_Resize();

        s.reading.TempC = 25;
        s.reading.Rh = 50;
        s.reading.WetC = 18;
        s.reading.DewC = 14;
        for (int i = 0; i < 70; ++i)
            w->Timer1_Timer();
        QCOMPARE(w->lastTimeLabel(), QStringLiteral("10:00:00"));
        ChartPainter &p = w->surface();
        const ChartGeometry &g = s.liveGeometry;
        const int y = p.toPixelY(ValueToY(SeriesValue::number(25), 60, -20, g));
        QCOMPARE(w->image().pixel(p.toPixelX(g.PlotLeft + 10), y), kBlack);
        // The text boxes reach ScaleWidth - 90.
        QCOMPARE(w->TxtName->width(), p.toPixelX(p.scaleWidth() - 90));
        shot(w, QStringLiteral("live-70-ticks"));

        // Two and a half sweeps of a changing reading, a second apart.
        for (int i = 0; i < 900; ++i) {
            t.clock->t = t.clock->t.addSecs(1);
            s.reading.TempC = 25 + 10 * std::sin(i / 40.0);
            s.reading.Rh = 60 + 30 * std::cos(i / 55.0);
            s.reading.WetC = s.reading.TempC - 5;
            s.reading.DewC = s.reading.TempC - 9;
            w->Timer1_Timer();
        }
        QVERIFY(w->lastTimeLabel().startsWith(QStringLiteral("10:1")));
        shot(w, QStringLiteral("live-sweeps"));

        w->close();
        QVERIFY(!s.ChartOpen);
        QTRY_VERIFY_WITH_TIMEOUT(t.app->liveChart.isNull(), 10000);
        commands::openLiveChart(*t.app);
        QVERIFY(t.app->liveChart);
        commands::closeLiveChart(*t.app);
        QVERIFY(!s.ChartOpen);
    }

    void liveChartStartsAfreshAfterWrapAndResize()
    {
        TestApp t;
        SharedState &s = t.app->state();
        RealTime24 *w = openStoppedLiveChart(*t.app);
        QVERIFY(w);
        const ChartGeometry &g = s.liveGeometry;
        ChartPainter &p = w->surface();
        s.liveSweep.StepX = g.PlotWidth / 3;
        w->Form_Resize();

        // Three points high up, the wrap, then low: nothing may join the
        // right end to the left edge.
        s.reading.TempC = 50;
        for (int i = 0; i < 3; ++i)
            w->Timer1_Timer();
        s.reading.TempC = -10;
        w->Timer1_Timer();
        QCOMPARE(s.liveSweep.CursorX, 0.0);
        w->Timer1_Timer();
        const int low = p.toPixelY(ValueToY(SeriesValue::number(-10), 60, -20, g));
        const int x = p.toPixelX(g.PlotLeft + g.PlotWidth / 6);
        for (int y = p.toPixelY(g.plotTop()); y <= p.toPixelY(g.PlotBottom); ++y)
            QCOMPARE(w->image().pixel(x, y) == kBlack, y == low);

        // A resize clears the picture; the first point after it has no segment.
        w->resize(w->width() + 40, w->height() + 30);
        QTRY_VERIFY_WITH_TIMEOUT(s.liveGeometry.PlotBottom == p.scaleHeight() - 135, 10000);
        QCOMPARE(s.liveSweep.PrevX, 0.0);
        w->Timer1_Timer();
        QCOMPARE(seriesPixels(w->image(), w->surface(), s.liveGeometry), 0);
        w->Timer1_Timer();
        QVERIFY(seriesPixels(w->image(), w->surface(), s.liveGeometry) > 0);
        w->close();
    }

    void minimumSizes()
    {
        TestApp t;
        RealTime24 *live = openStoppedLiveChart(*t.app);
        QVERIFY(live);
        // Each too small dimension is raised on its own.
        live->resize(600, 100);
        QTRY_VERIFY_WITH_TIMEOUT(live->heightTwips() >= RealTime24::kMinHeightTwips - 15, 10000);
        QCOMPARE(live->width(), 600);
        live->resize(100, 700);
        QTRY_VERIFY_WITH_TIMEOUT(live->widthTwips() >= RealTime24::kMinWidthTwips - 15, 10000);
        QCOMPARE(live->height(), 700);
        live->close();

        t.app->state().PlotCount = 0;
        ListPlot1 *file = showFileChart(*t.app);
        QVERIFY(QTest::qWaitForWindowExposed(file));
        // Too small in one direction only: the whole window goes to 6000 x 5865.
        file->resize(700, 100);
        QTRY_VERIFY_WITH_TIMEOUT(file->height() > 100, 10000);
        QCOMPARE(qRound(file->widthTwips()), 6000);
        QCOMPARE(qRound(file->heightTwips()), 5865);
        file->close();
    }

    void printHidesAnEmptyTextBlock()
    {
        TestApp t;
        RealTime24 *w = openStoppedLiveChart(*t.app);
        QVERIFY(w);
        const QRect block = w->LblName->geometry().united(w->TxtCompany->geometry());
        auto blank = [&](const QImage &img) {
            for (int y = block.top(); y <= block.bottom(); ++y)
                for (int x = block.left(); x <= block.right(); ++x)
                    if (img.pixel(x, y) != 0xFFFFFFFF)
                        return false;
            return true;
        };
        QVERIFY(blank(w->printImage()));
        QVERIFY(w->LblName->isVisible() && w->TxtCompany->isVisible() && w->Toolbar1->isVisible());
        w->TxtSector->setText(QStringLiteral("Câmara fria"));
        const QImage withText = w->printImage();
        QVERIFY(!blank(withText));
        QCOMPARE(withText.size(), w->canvas()->size());

        w->Toolbar1_ButtonClick(QStringLiteral("Print"));
        QCOMPARE(t.printer->printedFiles().size(), 1);
        QFile pdf(t.printer->printedFiles().first());
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.readAll().startsWith("%PDF"));
        if (const QString dir = qEnvironmentVariable("TH_CHART_SHOTS"); !dir.isEmpty()) {
            QFile::remove(QDir(dir).filePath(QStringLiteral("live-print.pdf")));
            QFile::copy(pdf.fileName(), QDir(dir).filePath(QStringLiteral("live-print.pdf")));
        }
        QVERIFY(w->LblName->isVisible() && w->Toolbar1->isVisible());
        w->close();
    }

    void realTimeRangeChecksAndReopens()
    {
        TestApp t;
        SharedState &s = t.app->state();
        s.CelsiusDisplay = true;
        commands::openLiveChart(*t.app);
        auto *chart = qobject_cast<RealTime24 *>(t.app->liveChart.data());
        QVERIFY(QTest::qWaitForWindowExposed(chart));
        chart->Toolbar1_ButtonClick(QStringLiteral("Limit"));
        auto *d = qobject_cast<RealTimeRange *>(t.app->liveRange.data());
        QVERIFY(d);
        QCOMPARE(d->windowTitle(), QStringLiteral("Escala - Tempo real"));
        shot(d, QStringLiteral("realtimerange"));
        QCOMPARE(d->TxtCounts->text(), QString::number(qRound(s.liveGeometry.PlotWidth)));
        QVERIFY(d->COpt->isChecked());
        QCOMPARE(d->TxtMax->text(), QStringLiteral("60"));
        QCOMPARE(d->TxtMin->text(), QStringLiteral("-20"));
        QCOMPARE(d->TxtMaxR->text(), QStringLiteral("100"));
        QCOMPARE(d->TxtMinR->text(), QStringLiteral("0"));
        d->FOpt_Click();
        QCOMPARE(d->TxtMax->text(), QStringLiteral("140"));
        QCOMPARE(d->TxtMin->text(), QStringLiteral("-4"));

        // Key filter: digits, "-", "." and Backspace; a decimal comma is a point.
        typeInto(d->TxtCounts, QStringLiteral("a1-2x,5"));
        QCOMPARE(d->TxtCounts->text(), QStringLiteral("1-2.5"));
        QTest::keyClick(d->TxtCounts, Qt::Key_Backspace);
        QCOMPARE(d->TxtCounts->text(), QStringLiteral("1-2."));

        auto ok = [&](const QString &max, const QString &min, const QString &maxR, const QString &minR,
                      const QString &counts) {
            d->TxtMax->setText(max);
            d->TxtMin->setText(min);
            d->TxtMaxR->setText(maxR);
            d->TxtMinR->setText(minR);
            d->TxtCounts->setText(counts);
            t.prompts->shown.clear();
            d->CmdOK_Click();
            return t.prompts->messages().value(0);
        };
        const QString celsius = QStringLiteral("-20 <= Celsius <= 60, tente novamente!");
        const QString fahrenheit = QStringLiteral("-4 <= Fahrenheit <= 140, tente novamente!");
        const QString humidity = QStringLiteral("0 <= UR% <= 100, tente novamente!");
        const QString counts = QStringLiteral("10 <= Counts <= 864000, tente novamente!");
        d->COpt_Click();
        QCOMPARE(ok("60.1", "0", "100", "0", "100"), celsius);
        QCOMPARE(ok("50", "-20.1", "100", "0", "100"), celsius);
        QCOMPARE(ok("20", "20", "100", "0", "100"), celsius);
        QCOMPARE(t.prompts->shown.value(0).title, QStringLiteral("Termo-higrômetro"));
        QCOMPARE(t.prompts->shown.value(0).icon, Prompts::Icon::Critical);
        // A refusal of the humidity keeps the temperature already stored.
        QCOMPARE(ok("40", "0", "100", "100", "100"), humidity);
        QCOMPARE(s.liveScale.TempMaxC, 40.0);
        QCOMPARE(s.liveScale.TempMaxF, 104.0);
        QCOMPARE(ok("40", "0", "100.5", "0", "100"), humidity);
        QCOMPARE(ok("40", "0", "90", "-1", "100"), humidity);
        QCOMPARE(ok("40", "0", "90", "10", "9"), counts);
        QCOMPARE(s.liveScale.RhMax, 90.0);
        QCOMPARE(ok("40", "0", "90", "10", "864001"), counts);
        QCOMPARE(t.app->liveChart.data(), chart);
        QVERIFY(d->isVisible());

        d->FOpt_Click();
        QCOMPARE(ok("212", "32", "100", "0", "100"), fahrenheit);
        QCOMPARE(ok("100", "-4.5", "100", "0", "100"), fahrenheit);

        // Accepted: °F 100 / 50 give 37.8 / 10 °C; the chart is reopened.
        s.liveGeometry.PlotWidth = 360;
        QCOMPARE(ok("100", "50", "90", "10", "100"), QString());
        QCOMPARE(s.liveScale.TempMaxC, 37.8);
        QCOMPARE(s.liveScale.TempMinC, 10.0);
        QCOMPARE(s.liveScale.TempMaxF, 100.0);
        QCOMPARE(s.liveSweep.StepX, 3.6);
        QTRY_VERIFY_WITH_TIMEOUT(t.app->liveRange.isNull(), 10000);
        auto *again = qobject_cast<RealTime24 *>(t.app->liveChart.data());
        QVERIFY(again && again != chart);
        QVERIFY(s.ChartOpen);
        QVERIFY(again->Timer1->isActive());
        QCOMPARE(again->Timer1->interval(), t.app->pollingInterval());

        // The converted °C pair shows one decimal in this dialog.
        showRealTimeRange(*t.app);
        d = qobject_cast<RealTimeRange *>(t.app->liveRange.data());
        d->COpt_Click();
        QCOMPARE(d->TxtMax->text(), QStringLiteral("37.8"));
        QCOMPARE(d->TxtMin->text(), QStringLiteral("10.0"));
        // °F 140 / -4 and Counts 10 are the accepted limits.
        d->FOpt_Click();
        QCOMPARE(ok("140", "-4", "100", "0", "10"), QString());
        QCOMPARE(s.liveScale.TempMaxC, 60.0);
        QCOMPARE(s.liveScale.TempMinC, -20.0);
        QTRY_VERIFY_WITH_TIMEOUT(t.app->liveRange.isNull(), 10000);
        commands::closeLiveChart(*t.app);
    }

    void plotRangeChecksAndReopens()
    {
        TestApp t;
        SharedState &s = t.app->state();
        s.FileRecordCount = 50;
        s.PlotFrom = 1;
        s.PlotTo = 50;
        s.PlotCount = 50;
        s.FileUnitCelsius = false;
        ListPlot1 *chart = showFileChart(*t.app);
        QVERIFY(QTest::qWaitForWindowExposed(chart));
        chart->Toolbar1_ButtonClick(QStringLiteral("Limit"));
        auto *d = qobject_cast<PlotRange *>(t.app->plotRange.data());
        QVERIFY(d);
        QVERIFY(QTest::qWaitForWindowExposed(d));
        shot(d, QStringLiteral("plotrange"));
        QCOMPARE(d->windowTitle(), QStringLiteral("Escala do Gráfico"));
        QVERIFY(d->FOpt->isChecked());
        QCOMPARE(d->TxtMax->text(), QStringLiteral("140"));
        QCOMPARE(d->TxtFrom->text(), QStringLiteral("1"));
        QCOMPARE(d->TxtTo->text(), QStringLiteral("50"));

        typeInto(d->TxtMaxR, QStringLiteral("-5.5a"));
        QCOMPARE(d->TxtMaxR->text(), QStringLiteral("5.5"));
        typeInto(d->TxtMaxR, QStringLiteral("45,5"));
        QCOMPARE(d->TxtMaxR->text(), QStringLiteral("45.5"));
        typeInto(d->TxtFrom, QStringLiteral("1.2x"));
        QCOMPARE(d->TxtFrom->text(), QStringLiteral("12"));
        typeInto(d->TxtMax, QStringLiteral("-5.5a"));
        QCOMPARE(d->TxtMax->text(), QStringLiteral("-5.5"));

        auto ok = [&](const QString &max, const QString &min, const QString &from, const QString &to) {
            d->TxtMax->setText(max);
            d->TxtMin->setText(min);
            d->TxtMaxR->setText(QStringLiteral("100"));
            d->TxtMinR->setText(QStringLiteral("0"));
            d->TxtFrom->setText(from);
            d->TxtTo->setText(to);
            t.prompts->shown.clear();
            d->CmdOK_Click();
            return t.prompts->messages().value(0);
        };
        const QString records = QStringLiteral("1 <= From <= 50, tente novamente!");
        QCOMPARE(ok("212", "32", "1", "50"), QStringLiteral("-4 <= Fahrenheit <= 140, tente novamente!"));
        QCOMPARE(ok("100", "32", "5", "5"), records);
        QCOMPARE(ok("100", "32", "0", "5"), records);
        QCOMPARE(ok("100", "32", "1", "51"), records);
        QCOMPARE(ok("100", "32", "", "10"), records);
        // The temperature of the refused clicks is stored already.
        QCOMPARE(s.fileScale.TempMaxC, 37.8);
        QCOMPARE(s.fileScale.TempMinC, 0.0);
        QCOMPARE(s.PlotTo, 50);

        QCOMPARE(ok("100", "32", "11", "30"), QString());
        QCOMPARE(s.PlotFrom, 11);
        QCOMPARE(s.PlotTo, 30);
        QCOMPARE(s.PlotCount, 20);
        QTRY_VERIFY_WITH_TIMEOUT(t.app->plotRange.isNull(), 10000);
        auto *again = qobject_cast<ListPlot1 *>(t.app->fileChart.data());
        QVERIFY(again && again != chart);
        QVERIFY(QTest::qWaitForWindowExposed(again));
        QCOMPARE(s.fileSweep.StepX, s.fileGeometry.PlotWidth / 20);

        // Shown again with °C: the converted pair carries no trailing zero.
        showPlotRange(*t.app);
        d = qobject_cast<PlotRange *>(t.app->plotRange.data());
        d->COpt_Click();
        QCOMPARE(d->TxtMax->text(), QStringLiteral("37.8"));
        QCOMPARE(d->TxtMin->text(), QStringLiteral("0"));
        QCOMPARE(ok("60", "-20", "1", "50"), QString());
        QCOMPARE(s.fileScale.TempMaxF, 140.0);
        QCOMPARE(s.fileScale.TempMinF, -4.0);
        QTRY_VERIFY_WITH_TIMEOUT(t.app->plotRange.isNull(), 10000);
        t.app->fileChart->close();
    }

    void plotFileGridDrawsTheRangeWithTimersStopped()
    {
        TestApp t;
        SharedState &s = t.app->state();
        QTimer poll, sample;
        t.app->setTimers(&poll, &sample);
        TableGrid grid = tenRecords();
        bool stoppedWhileReading = true;
        grid.onRead = [&] { stoppedWhileReading = stoppedWhileReading && !poll.isActive() && !sample.isActive(); };
        s.FileUnitCelsius = true;
        s.FileRecordCount = 10;
        s.PlotFrom = 1;
        s.PlotTo = 10;
        s.PlotCount = 10;
        ListPlot1 *chart = showFileChart(*t.app);
        QVERIFY(QTest::qWaitForWindowExposed(chart));
        QCOMPARE(chart->windowTitle(), QStringLiteral("Gráfico - Plotar"));
        chart->Form_Resize();
        QVERIFY(s.FilePlotPending);
        QVERIFY(chart->Timer1->isActive());
        QCOMPARE(chart->Timer1->interval(), 500);
        chart->Timer1->stop();
        QCOMPARE(s.GridColorIndex, 7);

        QStringList captions;
        struct CaptionSpy : QObject {
            QStringList *captions;
            bool eventFilter(QObject *o, QEvent *e) override
            {
                if (e->type() == QEvent::WindowTitleChange)
                    captions->append(static_cast<QWidget *>(o)->windowTitle());
                return false;
            }
        } spy;
        spy.captions = &captions;
        chart->installEventFilter(&spy);
        poll.start(60000);
        sample.start(60000);
        PlotFileGrid(*chart, &grid);
        chart->removeEventFilter(&spy);
        QVERIFY(stoppedWhileReading);
        QVERIFY(poll.isActive() && sample.isActive());
        QVERIFY(captions.contains(QStringLiteral("1 gravações completas")));
        QCOMPARE(chart->windowTitle(), QStringLiteral("Gráfico - Plotar"));
        shot(chart, QStringLiteral("file-ten-records"));

        // The window's picture is the off-window rendering of the same range.
        FileChartPicture picture;
        picture.size = chart->image().size();
        picture.range = {1, 10, 10};
        const QVector<PlotRecord> records = readPlotRecords(
            grid.rowCount(), [&](int r, int c) { return grid.cell(r, c); }, 1, 10);
        QCOMPARE(chart->image(), renderFileChart(picture, records));

        // Polling stopped by an instrument exchange stays stopped.
        poll.stop();
        PlotFileGrid(*chart, &grid);
        QVERIFY(!poll.isActive() && sample.isActive());
        chart->close();
        t.app->setTimers(nullptr, nullptr);
    }

    void emptyFileOpensTheFrame()
    {
        TestApp t;
        SharedState &s = t.app->state();
        const QString path = t.path(QStringLiteral("empty.dlf"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("*\r\n*\r\n*\r\nN\xb0\tData\tHora\t\xb0"
                "C\tOrvalho(\xb0"
                "C)\t\xdamido(\xb0"
                "C)\tUR%\r\n");
        f.close();
        t.prompts->answerFile(path);
        commands::openDataFile(*t.app);
        QVERIFY(commands::fileListGrid(*t.app));
        commands::openFileChart(*t.app);
        QCOMPARE(s.FileRecordCount, 0);
        QCOMPARE(s.PlotCount, 0);
        auto *chart = qobject_cast<ListPlot1 *>(t.app->fileChart.data());
        QVERIFY(QTest::qWaitForWindowExposed(chart));
        QTRY_COMPARE_WITH_TIMEOUT(s.fileSweep.StepX, 0.0, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!s.FilePlotPending, 10000);
        QCOMPARE(seriesPixels(chart->image(), chart->surface(), s.fileGeometry), 0);
        QCOMPARE(chart->image().pixel(chart->surface().toPixelX(118), 150), kBlack);
        chart->close();
        t.app->fileList->close();
    }

    void plotsTheFileListAfterHalfASecond()
    {
        TestApp t;
        SharedState &s = t.app->state();
        loadTenRecordFile(t);
        QVERIFY(!s.FileUnitCelsius);
        commands::openFileChart(*t.app);
        QCOMPARE(s.FileRecordCount, 10);
        QCOMPARE(s.PlotFrom, 1);
        QCOMPARE(s.PlotTo, 10);
        auto *chart = qobject_cast<ListPlot1 *>(t.app->fileChart.data());
        QVERIFY(QTest::qWaitForWindowExposed(chart));
        QTRY_COMPARE_WITH_TIMEOUT(chart->TxtName->text(), QStringLiteral("Sala 3"), 10000);
        QCOMPARE(chart->TxtSector->text(), QString());
        QCOMPARE(chart->TxtCompany->text(), QStringLiteral("ACME"));
        QTRY_VERIFY_WITH_TIMEOUT(!s.FilePlotPending, 10000);
        QVERIFY(!chart->Timer1->isActive());
        QVERIFY(seriesPixels(chart->image(), chart->surface(), s.fileGeometry) > 0);
        shot(chart, QStringLiteral("file-from-list"));

        // "Plot" again: a fresh window with the default scale.
        s.fileScale.TempMaxF = 100;
        commands::openFileChart(*t.app);
        QVERIFY(t.app->fileChart.data() != chart);
        QCOMPARE(s.fileScale.TempMaxF, 140.0);
        QTRY_VERIFY_WITH_TIMEOUT(!s.FilePlotPending, 10000);
        t.app->fileChart->close();
        t.app->fileList->close();
    }

    // The mouse reads records off the file chart and moves its range as the
    // scale dialog would set it; the overlay stays out of the picture.
    void fileChartReadoutZoomAndPan()
    {
        TestApp t;
        SharedState &s = t.app->state();
        loadTenRecordFile(t);
        commands::openFileChart(*t.app);
        auto *chart = qobject_cast<ListPlot1 *>(t.app->fileChart.data());
        QVERIFY(QTest::qWaitForWindowExposed(chart));
        QTRY_VERIFY_WITH_TIMEOUT(!s.FilePlotPending, 10000);
        QWidget *canvas = chart->canvas();
        const ChartGeometry &g = s.fileGeometry;
        const double mid = g.PlotBottom - g.PlotHeight / 2;
        auto recordAt = [&](int i) { return g.PlotLeft + (i - s.PlotFrom) * s.fileSweep.StepX; };

        const QImage picture = chart->image();
        const QImage printed = chart->printImage();
        mouse(canvas, QEvent::MouseMove, at(chart, recordAt(4) + s.fileSweep.StepX * 0.3, mid));
        QCOMPARE(chart->hoverText(), QStringLiteral("Registro 4\n08/12/2026 10:04:00\nTemperatura: 64.5 °F\n"
                                                    "UR: 50.0 %\nÚmido: 54.0 °F\nOrvalho: 44.0 °F"));
        // On screen the line and the box; in the picture, the print and a saved image, neither.
        QVERIFY(canvas->grab().toImage() != printed);
        QCOMPARE(chart->image(), picture);
        QCOMPARE(chart->printImage(), printed);
        shot(chart, QStringLiteral("file-hover"));
        const QString png = t.path(QStringLiteral("grafico"));
        t.prompts->answerFile(png);
        chart->button("SaveImage")->trigger();
        QCOMPARE(t.prompts->shown.last().kind, QStringLiteral("save"));
        // Saved: the chart drawn again from the records at a size worth
        // keeping, the hover line and box left out, under its title.
        const QImage saved(png + QStringLiteral(".png"));
        QCOMPARE(saved.width(), kSavedChartWidth);
        QCOMPARE(saved, chart->savedPicture().convertToFormat(saved.format()));
        QVERIFY(saved.height() > savedChartPicture(FileChartPicture()).size.height()); // the title line
        const QString pdf = t.path(QStringLiteral("grafico.PDF"));
        t.prompts->answerFile(pdf);
        chart->Toolbar1_ButtonClick(QStringLiteral("SaveImage"));
        QVERIFY(readAll(pdf).startsWith("%PDF"));
        // A folder that does not exist: said so, nothing written.
        t.prompts->answerFile(t.path(QStringLiteral("nada/grafico.png")));
        chart->Toolbar1_ButtonClick(QStringLiteral("SaveImage"));
        QVERIFY(t.prompts->messages().value(0).startsWith(QStringLiteral("Não foi possível salvar a imagem")));
        // Below the plot, on the text block: no readout.
        mouse(canvas, QEvent::MouseMove, at(chart, recordAt(4), g.PlotBottom + 40));
        QCOMPARE(chart->hoverText(), QString());

        // A notch of the wheel over record 9 zooms in around it.
        wheel(canvas, at(chart, recordAt(9), mid), 120);
        QCOMPARE(s.PlotCount, 8);
        QCOMPARE(s.PlotTo, 10);
        QCOMPARE(s.fileSweep.StepX, g.PlotWidth / 8);
        QTRY_VERIFY_WITH_TIMEOUT(!s.FilePlotPending, 10000);
        // What is shown is what the scale dialog's range draws.
        FileChartPicture same;
        same.size = chart->image().size();
        same.celsius = false;
        same.range = {s.PlotFrom, s.PlotTo, s.PlotCount};
        const GridSource *grid = commands::fileListGrid(*t.app);
        auto records = [&] {
            return readPlotRecords(
                grid->rowCount(), [&](int r, int c) { return grid->cell(r, c); }, s.PlotFrom, s.PlotTo);
        };
        QCOMPARE(chart->image(), renderFileChart(same, records()));
        chart->Toolbar1_ButtonClick(QStringLiteral("Limit"));
        auto *range = qobject_cast<PlotRange *>(t.app->plotRange.data());
        QVERIFY(range);
        QCOMPARE(range->TxtFrom->text(), QString::number(s.PlotFrom));
        QCOMPARE(range->TxtTo->text(), QStringLiteral("10"));

        // Dragging two steps to the right brings two earlier records in.
        const int from = s.PlotFrom;
        const QPoint start = at(chart, recordAt(5), mid);
        mouse(canvas, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        mouse(canvas, QEvent::MouseMove, start + QPoint(chart->surface().toPixelX(2 * s.fileSweep.StepX), 0),
              Qt::NoButton, Qt::LeftButton);
        mouse(canvas, QEvent::MouseButtonRelease, start, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(s.PlotFrom, std::max(1, from - 2));
        QCOMPARE(s.PlotCount, 8);
        QCOMPARE(range->TxtFrom->text(), QString::number(s.PlotFrom));
        QTRY_VERIFY_WITH_TIMEOUT(!s.FilePlotPending, 10000);
        same.range = {s.PlotFrom, s.PlotTo, s.PlotCount};
        QCOMPARE(chart->image(), renderFileChart(same, records()));
        // Zooming out never goes past the file; a double click shows all of it.
        for (int i = 0; i < 3; ++i)
            wheel(canvas, at(chart, recordAt(5), mid), -120);
        QCOMPARE(s.PlotCount, 10);
        wheel(canvas, at(chart, recordAt(5), mid), 240);
        QVERIFY(s.PlotCount < 10);
        mouse(canvas, QEvent::MouseButtonDblClick, at(chart, recordAt(5), mid), Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(s.PlotFrom, 1);
        QCOMPARE(s.PlotTo, 10);
        QTRY_VERIFY_WITH_TIMEOUT(!s.FilePlotPending, 10000);
        QCOMPARE(chart->image(), picture);
        range->close();
        chart->close();
        t.app->fileList->close();
    }

    void liveChartReadsThePointUnderTheMouse()
    {
        TestApp t;
        SharedState &s = t.app->state();
        RealTime24 *w = openStoppedLiveChart(*t.app);
        QVERIFY(w);
        s.liveSweep.StepX = 6;
        w->Form_Resize();
        const ChartGeometry &g = s.liveGeometry;
        const double mid = g.PlotBottom - g.PlotHeight / 2;
        for (int i = 1; i <= 20; ++i) {
            t.clock->t = t.clock->t.addSecs(1);
            s.reading.TempC = 20 + i;
            s.reading.Rh = 40 + i;
            s.reading.WetC = 15.25;
            s.reading.DewC = 10.75;
            w->Timer1_Timer();
        }
        QWidget *canvas = w->canvas();
        // With a text, the print shows the whole area as the screen does.
        w->TxtName->setText(QStringLiteral("Estufa"));
        mouse(canvas, QEvent::MouseMove, at(w, g.PlotLeft + 6 * 6 + 1, mid));
        QCOMPARE(w->hoverText(), QStringLiteral("Ponto 7\n08/12/2026 10:00:07\nTemperatura: 27.0 °C\n"
                                                "UR: 47.0 %\nÚmido: 15.2 °C\nOrvalho: 10.7 °C"));
        shot(w, QStringLiteral("live-hover"));
        // Beyond the last point drawn: the line alone.
        mouse(canvas, QEvent::MouseMove, at(w, g.PlotLeft + 6 * 30, mid));
        QCOMPARE(w->hoverText(), QString());
        QVERIFY(canvas->grab().toImage() != w->printImage());
        // The next ticks draw under the resting mouse: it reads them.
        for (int i = 0; i < 11; ++i)
            w->Timer1_Timer();
        QVERIFY(w->hoverText().startsWith(QStringLiteral("Ponto 31\n")));
        // A new frame has no points; leaving the area takes the overlay away.
        w->Form_Resize();
        QCOMPARE(w->hoverText(), QString());
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(canvas, &leave);
        w->TxtName->clearFocus(); // no caret on either side
        QCOMPARE(canvas->grab().toImage(), w->printImage());
        w->close();
    }

    // Another list's rows are charted in that list's unit; once the list
    // has gone its chart is empty rather than showing the file list's rows.
    void chartOfAnotherListOutlivesIt()
    {
        TestApp t;
        SharedState &s = t.app->state();
        loadTenRecordFile(t); // a °F file in the file list
        struct WidgetGrid : QWidget, TableGrid {
            using QWidget::QWidget;
        };
        auto *list = new QWidget;
        auto *grid = new WidgetGrid(list);
        grid->rows = tenRecords().rows;
        commands::openListChart(*t.app, list, grid, true);
        QCOMPARE(s.FileRecordCount, 10);
        auto *chart = qobject_cast<ListPlot1 *>(t.app->fileChart.data());
        QVERIFY(QTest::qWaitForWindowExposed(chart));
        QTRY_VERIFY_WITH_TIMEOUT(!s.FilePlotPending, 10000);
        FileChartPicture picture;
        picture.size = chart->image().size();
        picture.range = {1, 10, 10};
        const QVector<PlotRecord> records = readPlotRecords(
            grid->rowCount(), [&](int r, int c) { return grid->cell(r, c); }, 1, 10);
        QCOMPARE(chart->image(), renderFileChart(picture, records));

        delete list;
        chart->Form_Resize();
        QTRY_VERIFY_WITH_TIMEOUT(!s.FilePlotPending, 10000);
        QCOMPARE(chart->image(), renderFileChart(picture, {}));
        mouse(chart->canvas(), QEvent::MouseMove, at(chart, s.fileGeometry.PlotLeft, s.fileGeometry.PlotBottom - 20));
        QCOMPARE(chart->hoverText(), QString());
        chart->close();
        t.app->fileList->close();
    }

    void resizeOrCloseDuringThePlot()
    {
        TestApp t;
        SharedState &s = t.app->state();
        QTimer poll, sample;
        t.app->setTimers(&poll, &sample);
        poll.start(60000);
        sample.start(60000);
        loadTenRecordFile(t);
        commands::openFileChart(*t.app);
        auto *chart = qobject_cast<ListPlot1 *>(t.app->fileChart.data());
        QVERIFY(QTest::qWaitForWindowExposed(chart));
        QTRY_VERIFY_WITH_TIMEOUT(!s.FilePlotPending, 10000);

        // A resize while the plot lets events run: the plot stops, the new
        // frame gets its own plot half a second later.
        chart->Form_Resize();
        chart->Timer1->stop();
        const QSize bigger = chart->size() + QSize(60, 40);
        QTimer::singleShot(0, chart, [&] { chart->resize(bigger); });
        chart->Timer1_Timer();
        QTRY_COMPARE_WITH_TIMEOUT(chart->canvas()->width(), bigger.width(), 10000);
        QVERIFY(s.FilePlotPending);
        QTRY_VERIFY_WITH_TIMEOUT(!s.FilePlotPending, 10000);
        QVERIFY(seriesPixels(chart->image(), chart->surface(), s.fileGeometry) > 0);
        QCOMPARE(chart->windowTitle(), QStringLiteral("Gráfico - Plotar"));

        // Closed while plotting: the window goes once the plot has returned.
        chart->Form_Resize();
        chart->Timer1->stop();
        QPointer<ListPlot1> guard(chart);
        QTimer::singleShot(0, chart, [&] { chart->close(); });
        chart->Timer1_Timer();
        QVERIFY(guard);
        QTRY_VERIFY_WITH_TIMEOUT(guard.isNull(), 10000);
        QVERIFY(poll.isActive() && sample.isActive());
        t.app->fileList->close();
        t.app->setTimers(nullptr, nullptr);
    }
};

QTEST_MAIN(TestChartWindows)
#include "tst_chart_windows.moc"
