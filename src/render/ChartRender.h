#pragma once

#include "core/charts/ChartDrawing.h"
#include "core/charts/ChartTypes.h"

#include <QImage>
#include <QSize>

class QPaintDevice;
#include <QString>

// A file chart drawn without a window: the frame and the plot of a range of
// records exactly as the file chart window draws them, on an image of the
// window's drawing area, with the name, sector and company block below the
// plot as the window prints it (left out when all three texts are empty).
struct FileChartPicture {
    QSize size{392, 364}; // pixels of the drawing area (the design size)
    ChartScale scale;
    bool celsius = true;
    FilePlotRange range;
    QString name, sector, company;
    GridOrder order = GridOrder::Linear;
    // Resolution of the picture: the chart keeps its layout and its text
    // sizes in points, with more pixels for print.
    double dpi = 96;
};

QImage renderFileChart(const FileChartPicture &picture, const QVector<PlotRecord> &records);

// Prints `image` on `device` at its size on the screen (`dpi`), scaled down
// to fit the page when it is larger.
void paintChartPage(QPaintDevice &device, const QImage &image, double dpi);

// A chart picture kept in a file is read on a large screen or a whole page:
// at least this many pixels wide.
constexpr int kSavedChartWidth = 1600;
// `picture` enlarged to kSavedChartWidth pixels in the proportions of a
// landscape page: the design's height in chart units, more width for the plot.
FileChartPicture savedChartPicture(FileChartPicture picture);
// `chart` under a title line (what it shows: the file or set, the records,
// the period), the text sized for `dpi`.
QImage withTitle(const QImage &chart, const QString &title, double dpi);
// "NAME — registros 1 a 50 — 06/12/26 09:00:00 a 06/12/26 10:00:00": the
// title line of a chart of records `from`..`to`, from `first` to `last`.
QString chartTitle(const QString &source, int from, int to, const QString &first, const QString &last);
// The whole page of `device` (a landscape PDF page), the image as large as
// the page holds it, centred.
void paintChartFullPage(QPaintDevice &device, const QImage &image);
// The PDF of one landscape A4 page filled with `image`; empty on failure.
QByteArray chartPdf(const QImage &image, const QString &title, const QString &creator);
