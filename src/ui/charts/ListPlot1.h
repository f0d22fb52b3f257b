#pragma once

#include "ui/charts/ChartWindow.h"

struct GridSource;

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
    bool plotting_ = false;
    int generation_ = 0;
};

// The plot routine: the records PlotFrom..PlotTo of `grid` (the file list's
// grid of the file's unit; null or short grids plot what they have), with
// the main window's polling and recording timers stopped meanwhile (and
// running again afterwards if they ran before) and the record number in the
// caption.
void PlotFileGrid(ListPlot1 &chart, const GridSource *grid);

// Shows a new file chart with the current scale and range.
ListPlot1 *showFileChart(App &app);
