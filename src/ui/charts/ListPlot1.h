#pragma once

#include "ui/charts/ChartWindow.h"

#include <QPointer>

struct GridSource;

// Where the file chart's rows come from: the file list's grid of the loaded
// file's unit (the default), or a grid of another list window, in the unit
// that grid was in when its "Plot" was clicked.
struct PlotSource {
    bool fileList = true;
    // Otherwise: a grid of `list` (a GridSource); nothing to plot once the
    // list has gone.
    QPointer<QWidget> list;
    QPointer<QWidget> grid;
    bool celsius = true;
};

// The source of the file chart of `app` (kept across the chart's reopening
// by PlotRange).
PlotSource &plotSource(App &app);
// Its grid (null once its window is gone), unit and name, sector and company.
const GridSource *plotGrid(App &app);
bool plotCelsius(App &app);
void plotTexts(App &app, QString &name, QString &sector, QString &company);

// "Gráfico - Plotar": the records of the loaded data file, plotted half a
// second after every frame redraw by PlotFileGrid.
class ListPlot1 : public ChartWindow {
    Q_OBJECT
public:
    explicit ListPlot1(App &app, QWidget *parent = nullptr);
    ~ListPlot1() override;

    // True while PlotFileGrid draws on this window.
    bool plotting() const { return plotting_; }
    // Counts frame redraws; a plot stops when the frame it drew on is gone.
    int frameGeneration() const { return generation_; }

    void hoverAt(QPointF pixels) override;
    void pressAt(QPointF pixels) override;
    void dragTo(QPointF pixels) override;
    void doubleClickAt(QPointF pixels) override;
    void wheelAt(QPointF pixels, int angle) override;
    // Drawn again from the records, larger, as `plot` draws it.
    QImage savedPicture() override;

    // The design size, which is also the minimum (twips).
    static constexpr double kMinWidthTwips = 6000;
    static constexpr double kMinHeightTwips = 5865;

public slots:
    void Form_Load();
    void Form_Resize();
    void Timer1_Timer() override;
    void Toolbar1_ButtonClick(const QString &key) override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    friend void PlotFileGrid(ListPlot1 &chart, const GridSource *grid);
    // The frame now and the plot as soon as events run.
    void redraw();
    // Plots records from..to, as PlotRange would set them.
    void showRecords(int from, int to);
    bool onPlot(QPointF units) const;

    bool plotting_ = false;
    int generation_ = 0;
    std::optional<QPointF> dragStart_;
    int dragFrom_ = 1;
    int dragTo_ = 0;
    double dragStep_ = 0;
};

// The plot routine: the records PlotFrom..PlotTo of `grid` (the file list's
// grid of the file's unit; null or short grids plot what they have), with
// the main window's polling and recording timers stopped meanwhile (and
// running again afterwards if they ran before) and the record number in the
// caption.
void PlotFileGrid(ListPlot1 &chart, const GridSource *grid);

// Shows a new file chart with the current scale and range.
ListPlot1 *showFileChart(App &app);
