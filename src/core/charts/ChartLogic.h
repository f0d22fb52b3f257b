#pragma once

#include "core/charts/ChartTypes.h"

#include <QLocale>
#include <QString>

// Plot rectangle of a drawing area of scaleWidth x scaleHeight chart units.
ChartGeometry ComputeGeometry(double scaleWidth, double scaleHeight);

// How a label's number is first written: Plain is the dot form with a leading
// blank for non-negative values and no zero before the separator (" 12.5",
// "-.5"); Locale is the locale's own form ("0,5", "-2,75" in Portuguese).
enum class AxisTextForm { Plain, Locale };

// Axis label: "." and exactly one decimal, cut and not rounded.
QString FormatAxisValue(double value, AxisTextForm form = AxisTextForm::Plain, const QLocale &locale = QLocale::c());

// The value's decimal text with 15 significant digits, no exponent, no
// grouping, no trailing zeros, "." as separator and a leading zero ("0.5").
QString plainDecimalText(double value);

// Height of a series value on an axis whose top is `max` and bottom `min`:
// above the top (or "OL") 5 units over the plot top, below the bottom (or
// "-OL") 3 units under the plot bottom.
double ValueToY(const SeriesValue &v, double max, double min, const ChartGeometry &g);

enum class TimeMark { None, Minor, Major };

// The live chart marks its time axis by the cursor rounded to a whole unit:
// a labelled dotted line every 60 units, a minor mark every 30 between them.
TimeMark liveTimeMark(double cursorX);

// The file chart marks record n of N: labelled dotted lines at the first
// record and every fifth of the range, minor marks at every tenth.
TimeMark fileTimeMark(qint64 n, qint64 count);

// Number of points across the live chart for the scale dialog (halves to even).
double countsFromStep(double plotWidth, double stepX);
