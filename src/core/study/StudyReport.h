#pragma once

#include "core/report/FullReport.h"
#include "core/study/Study.h"

#include <QDateTime>
#include <QString>
#include <QVector>

// The report of a mapping study as pages of placed items, laid out like the
// full report (same styles, running head and foot): cover with the place for
// the signatures, summary and conclusion, the table of the loggers, hot and
// cold spots, the overlay charts, the excursions in order, and an appendix
// with every file's name, records, interval and SHA-256.
namespace studyreport {

// One data file in the appendix.
struct FileEntry {
    QString name; // the file's name
    int records = 0;
    qint64 intervalSeconds = 0;
    QString sha256; // lowercase hex of the file's bytes; empty when it could not be read
    // Whether the file carries a valid signature, checked with the user's key.
    QString signatureStatus = QStringLiteral("—");
};

struct Input {
    QString title; // empty: the default title
    QString name, sector, company, responsible;
    const study::Result *result = nullptr; // must be ok
    QVector<FileEntry> files;              // in the order of the loggers
    QDateTime madeAt;
};

// The pages with charts carry these tags.
enum ChartTag { TemperatureChart = 1, HumidityChart = 2 };

QString defaultTitle();

// The appendix's entries of an analysed study (hashes read from the files).
QVector<FileEntry> fileEntries(const study::Result &result);

// The summary's conclusion: every logger within the limits, or which were
// not and for how long (one line each, "\n" between them).
QString conclusion(const study::Result &result);

QVector<fullreport::Page> layout(const Input &input, QSizeF paperMm, const fullreport::Measure &measure);

} // namespace studyreport
