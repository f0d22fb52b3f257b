// A mapping study of 20 loggers with a full recording file each (48 000
// records): reading, the analysis, the overlay charts and the report PDF,
// against 300 ms for the analysis once the files are read, 1 s for the
// charts, and 30 s and 500 MB (peak resident) for the report.
#include "BenchFiles.h"

#include "core/files/DataRecords.h"
#include "core/study/Study.h"
#include "core/study/StudyReport.h"
#include "render/OverlayChart.h"
#include "render/StudyReportPainter.h"

#include <QBuffer>
#include <QDateTime>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>

namespace {
constexpr int kLoggers = 20;

double peakResidentMb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}

double msSince(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) / 1e6;
}
} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    QVector<study::Logger> loggers;
    for (int i = 0; i < kLoggers; ++i) {
        BenchFileShape shape;
        shape.offset = 0.15 * i;
        shape.phase = 0.3 * i;
        // Each logger started a few minutes after the one before it.
        shape.startWallSeconds += 120 * i;
        study::Logger l;
        l.file = dir.filePath(QStringLiteral("posicao-%1.dlf").arg(i + 1, 2, 10, QLatin1Char('0')));
        l.label = QStringLiteral("P%1").arg(i + 1);
        if (!writeBenchFile(l.file, shape)) {
            std::printf("cannot write %s\n", qPrintable(l.file));
            return 1;
        }
        loggers.append(l);
    }

    QElapsedTimer timer;
    timer.start();
    for (study::Logger &l : loggers) {
        DataRecordFile file;
        QString error;
        if (!readDataRecords(l.file, file, &error)) {
            std::printf("%s\n", qPrintable(error));
            return 1;
        }
        l.celsius = file.celsius;
        l.records = std::move(file.records);
    }
    const double readMs = msSince(timer);

    study::Options options;
    parseLimit(QStringLiteral("temp=2:8"), options.limits, nullptr);
    parseLimit(QStringLiteral("rh=:70"), options.limits, nullptr);
    study::Result result;
    double analysisMs = 1e300;
    for (int round = 0; round < 5; ++round) {
        timer.restart();
        result = study::analyze(loggers, options);
        analysisMs = std::min(analysisMs, msSince(timer));
    }
    if (!result.ok) {
        std::printf("analysis failed: %s\n", qPrintable(result.error));
        return 1;
    }

    timer.restart();
    const QImage chart = renderOverlayCharts(
        {overlayChartOf(loggers, result, Quantity::Temperature), overlayChartOf(loggers, result, Quantity::Humidity)});
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    chart.save(&buffer, "PNG");
    const double chartMs = msSince(timer);

    timer.restart();
    studyreport::Input input;
    input.result = &result;
    input.name = QStringLiteral("Armazém 1");
    input.files = studyreport::fileEntries(result);
    input.madeAt = QDateTime::currentDateTime();
    int pages = 0;
    QString error;
    const QByteArray pdf = studyReportPdf(input, loggers, &pages, &error);
    const double reportS = msSince(timer) / 1000;
    const double peak = peakResidentMb();
    if (pdf.isEmpty()) {
        std::printf("report failed: %s\n", qPrintable(error));
        return 1;
    }

    std::printf("Study of %d loggers x %d records: read %.0f ms\n", kLoggers, kRecordsPerFile, readMs);
    std::printf("  analysis %.1f ms best of 5 (limit 300 ms)\n", analysisMs);
    std::printf("  overlay charts %dx%d PNG %.0f ms (limit 1000 ms)\n", chart.width(), chart.height(), chartMs);
    std::printf("  report %d pages, %.1f MB PDF: %.2f s (limit 30 s), peak resident %.0f MB (limit 500 MB)\n", pages,
                double(pdf.size()) / (1024.0 * 1024.0), reportS, peak);
    std::printf("  hot spot %s, cold spot %s, %d excursions\n", qPrintable(result.loggers[result.hot->logger].label),
                qPrintable(result.loggers[result.cold->logger].label), int(result.excursionsInOrder().size()));
    return analysisMs <= 300 && chartMs <= 1000 && reportS <= 30 && peak <= 500 ? 0 : 1;
}
