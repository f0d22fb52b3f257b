#pragma once

#include "core/charts/ChartTypes.h"

#include <QString>

// The drawing surface of a chart window in chart units (origin top-left, y
// downward; a horizontal unit is 11.894 twips, a vertical one 15 twips). The
// pen width, pen style, text colour and text position are properties of the
// surface that persist between calls, as on the window they model.
class ChartSurface {
public:
    virtual ~ChartSurface() = default;

    virtual double scaleWidth() const = 0;
    virtual double scaleHeight() const = 0;

    // Fills everything with white; the text position goes back to (0, 0).
    virtual void clear() = 0;
    // A line in the current pen width and style.
    virtual void line(double x1, double y1, double x2, double y2, ChartColor color) = 0;
    // A filled box with corners (x1, y1) and (x2, y2).
    virtual void fillBox(double x1, double y1, double x2, double y2, ChartColor color) = 0;
    // Prints `text` with its top-left corner at (CurrentX, CurrentY) in ForeColor.
    virtual void printText(const QString &text) = 0;
    virtual double textWidth(const QString &text) const = 0;
    virtual double textHeight(const QString &text) const = 0;

    int DrawWidth = 1; // pixels
    DrawStyle drawStyle = DrawStyle::Solid;
    ChartColor ForeColor = chartcolor::Black;
    double CurrentX = 0;
    double CurrentY = 0;
};
