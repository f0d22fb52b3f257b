#pragma once

#include "core/charts/ChartTypes.h"

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

// Reading values off a chart: the record or point nearest the mouse, the
// box of texts shown beside it, and the file chart's record range moved by
// the wheel and by dragging. Positions are in chart units.

// A first and last record, 1-based and inclusive.
struct RecordRange {
    int from = 1;
    int to = 0;
    int count() const { return to - from + 1; }
    bool operator==(const RecordRange &) const = default;
};

// The record of the file chart drawn nearest to `x`: records from..to lie
// at PlotLeft + (i - from) * stepX. Nothing when the range is empty or `x`
// is more than one step outside the plot.
std::optional<int> nearestRecord(const ChartGeometry &g, double stepX, RecordRange range, double x);

// Where record `record` is drawn.
double recordX(const ChartGeometry &g, double stepX, RecordRange range, int record);

// Zooms `range` by `factor` (below 1 shows fewer records) around the record
// position `anchor`, which keeps its place on the plot. The result stays
// within 1..total and holds at least two records, as the scale dialog
// requires; with fewer than two records in all nothing changes.
RecordRange zoomRecords(RecordRange range, int total, double anchor, double factor);

// Moves `range` by `shift` records (negative: towards the first), stopping
// at the ends; its length is kept.
RecordRange panRecords(RecordRange range, int total, int shift);

// The records a drag of `dx` chart units moves the plot by, for points
// `stepX` apart (dragging to the right brings earlier records in).
int dragShift(double dx, double stepX);

// The wheel's zoom factor for `angle` eighths of a degree (120 a notch):
// each notch away from the user shows four fifths of the records.
double wheelZoomFactor(int angle);

// The box beside the mouse: what one record or live point holds.
struct Readout {
    QString label;                                    // "Registro 12", "Ponto 37"
    QString date;                                     // "DD/MM/YYYY"
    QString time;                                     // "hh:mm:ss"
    QString temperature, humidity, wetBulb, dewPoint; // dot texts
    bool celsius = true;
};

// Its lines: label, date and time, then temperature, humidity, wet bulb and
// dew point with their units.
QString readoutText(const Readout &r);

// One point of the live chart as it was drawn.
struct LivePoint {
    double x = 0; // chart units
    qint64 number = 0;
    QDateTime when;
    double tempC = 0, rh = 0, wetC = 0, dewC = 0;
};

// The points the live chart's picture still shows, one per pixel column:
// a new point replaces the one drawn in its column, and the strip the sweep
// erases just ahead of the cursor takes the points in it away.
class LivePointLog {
public:
    // A blank plot (after every frame redraw); `unitsPerColumn` is the
    // width of one pixel in chart units.
    void reset(const ChartGeometry &g, double unitsPerColumn);
    // The point drawn at p.x, after the erase strip from p.x + 2 to
    // p.x + 2 + stepX.
    void add(const LivePoint &p, double stepX);
    // The point drawn nearest to `x`, within `tolerance` units.
    std::optional<LivePoint> nearest(double x, double tolerance) const;

private:
    long column(double x) const;

    double left_ = 0;
    double unit_ = 1;
    std::vector<std::optional<LivePoint>> columns_;
};

// The live point's box texts (values written with one decimal, cut).
Readout liveReadout(const LivePoint &p);
