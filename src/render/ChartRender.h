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
