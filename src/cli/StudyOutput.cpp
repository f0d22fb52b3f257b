#include "cli/StudyOutput.h"

#include "core/files/TextFile.h"
#include "core/study/StudyReport.h"
#include "render/OverlayChart.h"
#include "render/StudyReportPainter.h"

#include <QDateTime>

bool writeStudyOutputs(const StudyOutputs &outputs, const QVector<study::Logger> &loggers, const study::Result &result,
                       QString *error, int *code)
{
    *code = cliexit::Failure;
    if (!outputs.chartPath.isEmpty()) {
        const QVector<OverlayChart> charts{overlayChartOf(loggers, result, Quantity::Temperature),
                                           overlayChartOf(loggers, result, Quantity::Humidity)};
        if (!writeOverlayCharts(outputs.chartPath, charts, error))
            return false;
    }
    if (!outputs.reportPath.isEmpty()) {
        studyreport::Input input;
        input.title = outputs.title;
        input.name = outputs.name;
        input.sector = outputs.sector;
        input.company = outputs.company;
        input.responsible = outputs.responsible;
        input.result = &result;
        input.files = studyreport::fileEntries(result);
        input.madeAt = QDateTime::currentDateTime();
        int pages = 0;
        QString why;
        QByteArray pdf = studyReportPdf(input, loggers, &pages, &why);
        if (pdf.isEmpty()) {
            *error = outputs.reportPath + QStringLiteral(": ") + why;
            return false;
        }
        if (outputs.sign.wanted) {
            QStringList files;
            for (const study::Logger &logger : loggers)
                files.append(logger.file);
            SignedPdf signedPdf = attachAndSign(pdf, files, outputs.sign);
            if (!signedPdf.pdf) {
                *error = signedPdf.error;
                *code = signedPdf.code;
                return false;
            }
            pdf = *signedPdf.pdf;
        }
        if (!writeFileAtomically(outputs.reportPath, pdf, error))
            return false;
    }
    return true;
}
