#pragma once

#include <array>

// Axis ranges of one chart window. The °C and °F pairs describe the same axis.
struct ChartScale {
    double TempMaxC = 60;
    double TempMinC = -20;
    double TempMaxF = 140;
    double TempMinF = -4;
    double RhMax = 100;
    double RhMin = 0;
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
