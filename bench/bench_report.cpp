// The full report of a full recording file (48 000 records) to an A4 PDF, as
// `report --full` makes it: read the file, lay out the pages, draw the chart
// and the readings, write the PDF. Wall time and peak resident memory,
// against the 10 s and 300 MB it may take.
#include "core/files/DataFile.h"
#include "core/files/TextFile.h"
#include "core/report/FullReport.h"
#include "render/FullReportPainter.h"

#include <QBuffer>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPageSize>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

namespace {
QByteArray recordingFile(int count)
{
    QStringList lines = headerLines({}, {}, {});
    lines << headingLine(true);
    const QDateTime start(QDate(2026, 6, 1), QTime(0, 0));
    for (int i = 0; i < count; ++i) {
        const QDateTime at = start.addSecs(60LL * i);
        const double t = 5 + 3 * std::sin(i / 500.0);
        const double rh = 60 + 15 * std::sin(i / 730.0);
        lines << QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\t%7")
                     .arg(i + 1)
                     .arg(at.toString(QStringLiteral("dd/MM/yyyy")), at.toString(QStringLiteral("hh:mm:ss")),
                          QString::number(t, 'f', 1), QString::number(t - 4, 'f', 1), QString::number(t - 2, 'f', 1),
                          QString::number(rh, 'f', 1));
    }
    return encodeDataText(crlfLines(lines));
}

// Peak resident memory of this process so far, in MB (VmHWM).
double peakResidentMb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}
} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("ensaio.dlf"));
    const QString out = dir.filePath(QStringLiteral("ensaio.pdf"));
    {
        QFile f(in);
        if (!f.open(QIODevice::WriteOnly) || f.write(recordingFile(kRecordsPerFile)) < 0)
            return 1;
    }
    const double before = peakResidentMb();

    QElapsedTimer timer;
    timer.start();
    DataFileContents file;
    QString error;
    if (!readDataFile(in, file, &error)) {
        std::printf("cannot read the file: %s\n", qPrintable(error));
        return 1;
    }
    fullreport::Input input;
    input.source = QStringLiteral("ensaio.dlf");
    input.celsius = file.celsius;
    input.rows = file.records;
    parseLimit(QStringLiteral("temp=2:8"), input.limits, nullptr);
    parseLimit(QStringLiteral("rh=:70"), input.limits, nullptr);
    input.madeAt = QDateTime::currentDateTime();
    QByteArray bytes;
    FullReportOutcome outcome;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(600);
        outcome = paintFullReport(writer, input);
    }
    if (!outcome.ok || !writeFileAtomically(out, bytes, &error)) {
        std::printf("cannot write the report: %s %s\n", qPrintable(outcome.error), qPrintable(error));
        return 1;
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const double peak = peakResidentMb();

    std::printf("Full report of %d records to PDF: %.2f s (limit 10 s), peak resident %.0f MB (limit 300 MB; %.0f MB "
                "before)\n",
                int(file.records.size()), seconds, peak, before);
    std::printf("  %d pages, %d records printed, %.1f MB of PDF\n", outcome.pages, outcome.printedRecords,
                double(bytes.size()) / (1024.0 * 1024.0));
    return outcome.printedRecords == kRecordsPerFile && seconds <= 10 && peak <= 300 ? 0 : 1;
}
