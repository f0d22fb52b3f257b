#pragma once

#include "render/OverlayChart.h"

#include <QPixmap>
#include <QPointF>
#include <QString>
#include <QWidget>

#include <optional>

// The overlay chart of the study on screen: drawn with the report's painter,
// with a readout of every logger's value at the moment under the mouse, the
// wheel zooming the time axis around the mouse, a drag moving it and a
// double click showing the whole period again.
class StudyChart : public QWidget {
    Q_OBJECT
public:
    explicit StudyChart(QWidget *parent = nullptr);

    // A new chart shows its whole period; `celsius` and `quantity` name the values' unit.
    void setChart(const OverlayChart &chart, Quantity quantity, bool celsius);
    void clear();
    bool isEmpty() const { return chart_.series.isEmpty(); }

    // The part of the period in sight (wall-clock seconds).
    qint64 viewFrom() const { return from_; }
    qint64 viewTo() const { return to_; }
    void showAll();
    // Zooms by `factor` (below 1 shows less time) keeping the moment under `x` in place.
    void zoomAt(double x, double factor);
    // Where the last drawing put the plot and its scales.
    const OverlayGeometry &plotGeometry() const { return geometry_; }
    // The readout's text for the mouse at `pos`: the moment, then each
    // logger's label and value at its record nearest to it. Empty off the plot.
    QString readoutAt(QPointF pos) const;

    QSize sizeHint() const override { return {900, 360}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    qint64 secondsAt(double x) const;

    OverlayChart chart_;
    Quantity quantity_ = Quantity::Temperature;
    bool celsius_ = true;
    qint64 from_ = 0, to_ = 1;
    OverlayGeometry geometry_;
    // The chart as last drawn: the mouse's readout is painted over it, so
    // moving the mouse does not draw every logger's records again.
    QPixmap picture_;
    bool stale_ = true;
    std::optional<QPointF> mouse_;
    std::optional<QPointF> dragStart_;
    qint64 dragFrom_ = 0, dragTo_ = 0;
};
