#include "render/StudyReportPainter.h"
#include "render/PdfInMemory.h"

#include "render/OverlayChart.h"

#include <QBuffer>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

FullReportOutcome paintStudyReport(QPagedPaintDevice &device, const studyreport::Input &input,
                                   const QVector<study::Logger> &loggers)
{
    const study::Result &result = *input.result;
    const double pt = device.logicalDpiX() / 72.0;
    return paintReportPages(
        device,
        [&](QSizeF paper, const fullreport::Measure &measure) { return studyreport::layout(input, paper, measure); },
        [&](QPainter &painter, const fullreport::Page &page, const QRectF &place) {
            const Quantity q = page.chartTag == studyreport::HumidityChart ? Quantity::Humidity : Quantity::Temperature;
            paintOverlayChart(painter, place, overlayChartOf(loggers, result, q), pt * 0.8);
        });
}

QByteArray studyReportPdf(const studyreport::Input &input, const QVector<study::Logger> &loggers, int *pages,
                          QString *error)
{
    PdfInMemory pdf(input.title.isEmpty() ? studyreport::defaultTitle() : input.title, 600);
    pdf.writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    const FullReportOutcome outcome = paintStudyReport(pdf.writer, input, loggers);
    if (!outcome.ok) {
        *error = outcome.error;
        return {};
    }
    if (pages)
        *pages = outcome.pages;
    return pdf.bytes();
}
