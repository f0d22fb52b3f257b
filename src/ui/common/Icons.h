#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QStringList>

// Toolbar pictures drawn at run time, so they stay sharp at any scale and
// need no image files. Keys:
//   "Save" (floppy), "Open" (open folder), "List" (table), "Graph" (line chart),
//   "Sample" (stopwatch), "CF" (°C/°F), "RecStop" (instrument with a red
//   record dot), "Manual" (one record: "1" with a dot), "PowerOff" (power
//   symbol with a clock hand), "Memory" (logger chip with a download arrow),
//   "SetTime" (clock face), "Offset" (±), "AddText" (name card),
//   "Stop" (floppy with a stop square: a PC run is recording),
//   "RecStopActive" (instrument with a stop square: it is logging),
//   "Print" (printer), "Plot" (chart with a pen), "Limit" (scale bounds),
//   "Alarm" (bell between two bounds), "Monitoring" (antenna with waves),
//   "Report" (a page with a heading, a chart and lines), "Export" (spreadsheet
//   cells with an arrow leaving them), "Study" (a floor plan with three
//   loggers in it), "Extras" (four tiles over a menu mark: more tools).
// An unknown key gives a neutral question-mark picture.
QIcon toolbarIcon(const QString &key);

// One picture of `key`, `size` device-independent pixels square.
QPixmap toolbarPixmap(const QString &key, int size, qreal devicePixelRatio = 1.0);

// Every key above, in the order listed.
QStringList toolbarIconKeys();

// The main toolbar's image list (1-based, 15 pictures): 1..12 the buttons
// "Save".."Offset" in toolbar order, 13 the stop variant of 1, 14 the stop
// variant of 7, 15 "AddText".
QIcon toolbarPicture(int index);
QString toolbarPictureKey(int index);
