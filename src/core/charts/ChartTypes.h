#pragma once

#include <QString>
#include <QtGlobal>

#include <array>

// Axis ranges of one chart window. The °C and °F pairs describe the same axis.
struct ChartScale {
    double TempMaxC = 60;
    double TempMinC = -20;
    double TempMaxF = 140;
    double TempMinF = -4;
    double RhMax = 100;
    double RhMin = 0;
    // The °C pair was derived from °F entries (rounded to one decimal): the
    // live chart's scale dialog then shows it with exactly one decimal.
    bool CelsiusFromFahrenheit = false;
};

// Plot rectangle in chart units, recomputed on every resize.
struct ChartGeometry {
    double PlotLeft = 120;
    double PlotWidth = 0;
    double PlotBottom = 0;
    double PlotHeight = 0;
    double plotTop() const { return PlotBottom - PlotHeight; }
};

// Cursor of the left-to-right sweep.
struct SweepState {
    double StepX = 1;
    double CursorX = -1;
    double PrevX = 0; // 0: no previous point
    std::array<double, 4> PrevY{};
};

// The two chart windows draw the same picture with a few differences
// (label format, white plot fill, erase strip, series order).
enum class ChartKind { Live, File };

// 0xRRGGBB.
using ChartColor = quint32;

namespace chartcolor {
constexpr ChartColor Black = 0x000000;
constexpr ChartColor Blue = 0x0000FF;
constexpr ChartColor Red = 0xFF0000;
constexpr ChartColor Green = 0x00FF00;
constexpr ChartColor White = 0xFFFFFF;
} // namespace chartcolor

// Entry of the classic 16-colour palette (7 light grey, 15 white).
ChartColor paletteColor(int index);

// Pen styles of the drawing surface.
enum class DrawStyle { Solid = 0, Dotted = 2 };

// One value of a series: a number, or the overload texts "OL" (above the
// instrument's range) and "-OL" (below it).
struct SeriesValue {
    enum class Kind { Number, Over, Under };
    Kind kind = Kind::Number;
    double value = 0;

    static SeriesValue number(double v) { return {Kind::Number, v}; }
    static SeriesValue over() { return {Kind::Over, 0}; }
    static SeriesValue under() { return {Kind::Under, 0}; }
    // A data file's value cell: "OL", "-OL", else its leading number ("." as
    // separator; 0 when the text does not start with a number, as "----.0").
    static SeriesValue fromCell(const QString &text);
};

// The four series in series order: temperature, humidity, wet bulb, dew point.
enum Series { SeriesTemp = 0, SeriesRh = 1, SeriesWet = 2, SeriesDew = 3 };
using SeriesValues = std::array<SeriesValue, 4>;
