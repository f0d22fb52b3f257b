#pragma once

#include <QByteArray>
#include <QChar>
#include <QLocale>
#include <QStringList>
#include <QVector>

#include <functional>

// Records of a data file (or the rows of a list, which are the same seven
// fields) as RFC 4180 CSV in UTF-8 with CR LF line ends: a heading row, then
// N°, Data e hora (ISO 8601 local time), Temperatura, Orvalho, Úmido (in the
// unit named in the heading) and UR (%). A value without a number
// ("----.0") becomes an empty cell; "OL", "-OL" and any other text stay.
struct CsvStyle {
    QChar separator = QLatin1Char(',');
    bool decimalComma = false;
    bool bom = false; // a UTF-8 byte order mark first, for Excel

    // "," and decimal point: what other programs read.
    static CsvStyle plain() { return {}; }
    // ";", decimal comma and a byte order mark: what a spreadsheet set to a
    // language with a decimal comma opens straight into columns.
    static CsvStyle spreadsheet() { return {QLatin1Char(';'), true, true}; }
    // The spreadsheet style where the locale writes numbers with a decimal comma.
    static CsvStyle forLocale(const QLocale &locale);
};

QByteArray csvBytes(const QVector<QStringList> &records, bool celsius, const CsvStyle &style);
// Any table in the same style: a heading row, then the rows. Cells that are
// numbers written with a point ("4.25", "-3") take the decimal comma when the
// style asks for it; every other text stays as it is.
QByteArray csvTableBytes(const QStringList &header, const QVector<QStringList> &rows, const CsvStyle &style);
// The same of `count` records that `record` gives one at a time (a large
// file's lines split as they are written).
QByteArray csvBytes(qsizetype count, const std::function<QStringList(qsizetype)> &record, bool celsius,
                    const CsvStyle &style);
