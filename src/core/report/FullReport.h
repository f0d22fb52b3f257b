#pragma once

#include "core/files/DataRecords.h"
#include "core/stats/Limits.h"
#include "core/stats/Stats.h"

#include <QDateTime>
#include <QLineF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <optional>

// The full report of a range of readings as pages of placed items: a header
// block, the statistics table, a place for the chart and the readings in
// column blocks, with the page number and the time it was made on every page.
// Every position is in millimetres from the top-left corner of the paper; the
// drawing layer paints the items as they are, on a printer or a PDF.
namespace fullreport {

enum class Face { Sans, SansBold, Mono, MonoBold };

struct TextStyle {
    Face face = Face::Sans;
    double points = 9;
};

enum class Align { Left, Right, Center };

// A text drawn on one line, vertically centred in `box` and aligned in it.
struct Text {
    QRectF box;
    QString text;
    TextStyle style;
    Align align = Align::Left;
    unsigned rgb = 0x000000;
};

struct Rule {
    QLineF line;
    double width = 0.2; // mm
    unsigned rgb = 0x000000;
};

struct Fill {
    QRectF box;
    unsigned rgb = 0xE8E8E8;
};

struct Page {
    QVector<Fill> fills; // painted first
    QVector<Rule> rules;
    QVector<Text> texts;
    QRectF chart;     // empty: no chart on this page
    int chartTag = 0; // which chart, for a report with more than one kind
};

struct Input {
    QString name, sector, company;
    QString sourceLabel = QStringLiteral("Arquivo"); // "Arquivo", or "Lista" for a list without a file
    QString source;                                  // the file name or the list's caption
    bool celsius = true;
    QVector<QStringList> rows; // record rows as a data file holds them
    // Or, for a data file read with readDataRecords(..., RecordTexts::Lines):
    // its records as numbers and each record's line, split only as it is
    // printed, so that a large file fits in memory.
    QVector<DataRecord> records;
    QVector<QString> lines;
    std::optional<int> intervalSeconds; // the sampling interval, when known
    Limits limits;
    double mktKelvin = kDefaultMktKelvin;
    QDateTime madeAt;
    // The file's integrity as checked when the report is made (SHA-256,
    // signature status, key id): label and value, after the header's fields.
    QVector<std::pair<QString, QString>> integrity;
};

// The integrity fields of the report of the data file at `path`.
QVector<std::pair<QString, QString>> integrityFields(const QString &path);

struct Document {
    QSizeF paper; // mm
    QVector<Page> pages;
    RowStats stats;
    // The records on the pages, in the order they are printed (a check that
    // none is left out or printed twice).
    int printedRecords = 0;
};

// Width of `text` in millimetres in `style`: the drawing layer measures
// with the fonts it paints with.
using Measure = std::function<double(const QString &text, const TextStyle &style)>;

QString title();

// The report's rows, from `rows` or else from `lines`.
qsizetype rowCount(const Input &input);
QStringList rowAt(const Input &input, qsizetype index);

// The pages of the report on paper of `paperMm` (A4: 210 x 297).
Document layout(const Input &input, QSizeF paperMm, const Measure &measure);

// Colours of the chart's four curves, for the legend beside it.
struct LegendEntry {
    QString label;
    unsigned rgb;
};
QVector<LegendEntry> chartLegend(bool celsius);

} // namespace fullreport
