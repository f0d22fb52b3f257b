#pragma once

#include "core/report/FullReport.h"

#include <QString>

class QPagedPaintDevice;

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
