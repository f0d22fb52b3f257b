#pragma once

#include "core/study/StudyReport.h"
#include "render/FullReportPainter.h"

class QPagedPaintDevice;

// Paints the study report on any paged device (a QPdfWriter for the tool, a
// printer for the panel), with the overlay charts drawn as vectors in their places.
FullReportOutcome paintStudyReport(QPagedPaintDevice &device, const studyreport::Input &input,
                                   const QVector<study::Logger> &loggers);

// The report as an A4 PDF in memory; empty with the reason in *error.
QByteArray studyReportPdf(const studyreport::Input &input, const QVector<study::Logger> &loggers, int *pages,
                          QString *error);
