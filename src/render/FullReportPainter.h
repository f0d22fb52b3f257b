#pragma once

#include "core/report/FullReport.h"

#include <QString>

#include <functional>

class QPagedPaintDevice;
class QPainter;

// Paints the full report on any paged device: a QPdfWriter for the tool, the
// printer of the panel's print preview. The pages are laid out for the
// device's paper; the chart is the file chart's own drawing of every record.
struct FullReportOutcome {
    bool ok = false;
    int pages = 0;
    int printedRecords = 0;
    QString error;
};

FullReportOutcome paintFullReport(QPagedPaintDevice &device, const fullreport::Input &input);

// The painting of any report laid out as fullreport pages: `layout` places
// the items on paper of the given size (mm) with the device's fonts;
// `paintChart` draws the chart of a page into its place (device pixels).
using ReportLayout = std::function<QVector<fullreport::Page>(QSizeF paperMm, const fullreport::Measure &measure)>;
using ReportChart = std::function<void(QPainter &painter, const fullreport::Page &page, const QRectF &place)>;
FullReportOutcome paintReportPages(QPagedPaintDevice &device, const ReportLayout &layout,
                                   const ReportChart &paintChart);
