#pragma once

#include "core/charts/ChartReadout.h"
#include "ui/charts/ChartWindow.h"

// "Gráfico - Tempo real": the live readings drawn by a sweeping cursor, one
// point per tick of its own timer (the polling interval), wrapping at the
// right edge; the PC's time under the axis every 60 units.
class RealTime24 : public ChartWindow {
    Q_OBJECT
public:
    explicit RealTime24(App &app, QWidget *parent = nullptr);
    ~RealTime24() override;

    // The last time label written under the axis.
    QString lastTimeLabel() const { return lastLabel_; }

    void hoverAt(QPointF pixels) override;
    void leaveArea() override;

    // The design minimum size, in twips.
    static constexpr double kMinWidthTwips = 5355;
    static constexpr double kMinHeightTwips = 5865;

public slots:
    void Form_Load();
    void Form_Resize();
    void Timer1_Timer() override;
    void Toolbar1_ButtonClick(const QString &key) override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void Form_Unload() override;

private:
    QString lastLabel_;
    // What the picture shows, for reading values off it.
    LivePointLog points_;
    qint64 ticks_ = 0;
    std::optional<QPointF> mouse_;
    bool unloaded_ = false;
};

// Shows a new live chart with the current scale and step, its timer at the
// polling interval (the "Graph" command and the scale dialog open it so).
RealTime24 *showLiveChart(App &app);
