#pragma once

#include "core/charts/ChartSurface.h"
#include "core/charts/ChartTypes.h"

#include <QLocale>
#include <QString>
#include <QTime>
#include <QVector>

#include <functional>

// Top and bottom of one axis.
struct AxisRange {
    double max = 0;
    double min = 0;
};

// The frame drawn on every resize: axes, ticks, the three label columns,
// (live chart) the white plot fill, the sweep reset, headings and legend.
// `celsiusLocale` writes the live chart's °C column.
void DrawChartFrame(ChartSurface &s, const ChartGeometry &g, const ChartScale &scale, ChartKind kind, SweepState &sweep,
                    const QLocale &celsiusLocale = QLocale::c());

// The grid the sweep keeps on top of older data: the solid middle line and
// seven dotted lines.
void DrawSweepGrid(ChartSurface &s, const ChartGeometry &g, ChartColor gridColor);

// One point of all four series at PlotLeft + CursorX (the caller has advanced
// the cursor). `drawGrid` false skips the grid redraw, for callers that know
// a later step redraws it over the same pixels.
void PlotSweepStep(ChartSurface &s, const ChartGeometry &g, SweepState &sweep, ChartKind kind,
                   const SeriesValues &values, AxisRange temperature, AxisRange humidity, ChartColor gridColor,
                   bool drawGrid = true);

// One tick of the live chart: advance and wrap the cursor, the sweep step
// with the current readings (°C), and the time axis. `now` labels the
// major marks; `lastLabel` keeps the last label written.
void LiveTick(ChartSurface &s, const ChartGeometry &g, SweepState &sweep, const ChartScale &scale,
              const SeriesValues &values, ChartColor gridColor, const QTime &now, QString &lastLabel);

// One record of a data file as the file chart reads it.
struct PlotRecord {
    SeriesValues values;
    QString time; // the "Hora" cell; read only for the records that carry a time label
};

// Reads rows `from`..`to` (1-based; row 0 is the heading row) through a cell
// accessor: column 2 time, 3 temperature, 4 dew point, 5 wet bulb, 6 humidity.
// Rows past `rowCount` are left out.
QVector<PlotRecord> readPlotRecords(int rowCount, const std::function<QString(int row, int column)> &cell, int from,
                                    int to);

// How the file chart keeps its grid on top of older data. EveryRecord redraws
// it at each record, as the sweep step does; Linear draws it before the first
// and before the last record only. Both give the same pixels: the grid is
// the same set of pixels every time, so only its last drawing, before the
// last record, decides a grid pixel, and all other drawing keeps its order.
enum class GridOrder { EveryRecord, Linear };

struct FilePlotRange {
    int from = 1;  // PlotFrom
    int to = 0;    // PlotTo
    int count = 0; // PlotCount
};

// The file chart's plot of records[k] as record from + k, up to `to`.
// `progress(i)` runs before record i is drawn; returning false stops the
// plot. Returns the number of records drawn.
int PlotFileRecords(ChartSurface &s, const ChartGeometry &g, SweepState &sweep, const ChartScale &scale, bool celsius,
                    const QVector<PlotRecord> &records, FilePlotRange range, ChartColor gridColor,
                    GridOrder order = GridOrder::Linear, const std::function<bool(int i)> &progress = {});

// StepX of the file chart; 0 for an empty range, which has no points.
double fileStepX(const ChartGeometry &g, int plotCount);
