#pragma once

#include "core/study/Study.h"

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QVector>

#include <optional>

class QPainter;

// The overlay chart of a mapping study: every logger's curve of one quantity
// against the real date and time, one colour and one legend entry per logger,
// the limits as lines and the band between the lowest and the highest logger
// shaded. Drawn on any painter: a picture, a PDF page, a report page.
struct OverlayChart {
    QString title; // "Temperatura (°C)"
    QVector<study::Series> series;
    std::optional<double> low, high; // the limits, drawn as lines
    qint64 from = 0, to = 0;         // wall-clock seconds of the period
};

// The chart of one quantity of an analysed study (limits of that quantity).
OverlayChart overlayChartOf(const QVector<study::Logger> &loggers, const study::Result &result, Quantity q);

// The same chart over part of its period, [from, to]: only the points in it
// (the chart draws nothing outside its period), so the value scale fits
// what is in sight. The period is kept within the chart's own.
OverlayChart overlaySpan(const OverlayChart &chart, qint64 from, qint64 to);

// Where the chart put things, so that a reader of the picture can find them.
struct OverlayGeometry {
    QRectF plot;
    double low = 0, high = 1; // the value scale, bottom to top
    qint64 from = 0, to = 1;  // the time scale, left to right
    QVector<QRectF> legend;   // each logger's legend entry: its line and its label
    QPointF at(qint64 seconds, double value) const;
};

// Colours that stay apart from each other for up to 30 loggers (then they repeat).
QColor overlayColor(int index);
// The shade of the band between the lowest and the highest logger.
QColor overlayEnvelopeColor();
QColor overlayLimitColor();

// Draws the chart in `area`; `pt` is the size of a typographic point in the
// painter's units (the text and the lines scale with it).
OverlayGeometry paintOverlayChart(QPainter &painter, const QRectF &area, const OverlayChart &chart, double pt);

// The charts one above the other on a white picture of `width` pixels.
QImage renderOverlayCharts(const QVector<OverlayChart> &charts, int width = 1800);

// Writes the charts as a PNG picture or as a PDF with one landscape A4 page
// per chart (by the path's suffix). False with the reason in *error.
bool writeOverlayCharts(const QString &path, const QVector<OverlayChart> &charts, QString *error);
