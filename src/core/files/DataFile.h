#pragma once

#include "core/files/TextFile.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <utility>

struct Reading;

// Data files (.dlf): Windows-1252 text, CR LF after every line, TAB-separated
// fields. Three header lines (name, sector, company, or "*"), the heading
// line, then one record line per reading.

constexpr int kRecordsPerFile = 48000; // a recording file and a live list hold at most this many records
constexpr int kDataFields = 7;

// "N°", "Data", "Hora", "°C"/"°F", "Orvalho(°C)"/..., "Úmido(°C)"/..., "UR%".
QStringList dataFileHeadings(bool celsius);
// The heading line of a recording file: the seven headings TAB-joined, no trailing TAB.
QString headingLine(bool celsius);
// Lines 1 to 3: the three texts when at least one is not empty, else "*" three times.
QStringList headerLines(const QString &name, const QString &sector, const QString &company);
// The recording-file record line: number, TAB, the sample line of the unit.
QString recordLine(int number, const QString &unitLine);
// The sample line of one unit: date "DD/MM/YYYY", time "hh:nn:ss" and the four
// dot texts (temperature, dew point, wet bulb, humidity), TAB-separated.
QString sampleLine(const QDateTime &when, const Reading &r, bool celsius);
// One grid row as a grid dump writes it: every cell followed by a TAB.
QString gridDumpLine(const QStringList &cells);
// The name of continuation file `splitNo` of a run started as `path`: "-N"
// goes before the first "." of the file's name (or at its end), never into a
// folder name.
QString splitFileName(const QString &path, int splitNo);

// Lines joined with CR LF after each one, the last one included.
QString crlfLines(const QStringList &lines);
// Text <-> file bytes (Windows-1252, "?" for characters it cannot hold).
QByteArray encodeDataText(const QString &lines);
QString decodeDataText(const QByteArray &bytes);

// Whole file of a recording run's start: three "*" lines and the heading line.
QByteArray recordingFileStart(bool celsius);
// Whole grid dump: header lines from the three texts, then every grid row
// (row 0 the headings) with its trailing TAB.
QByteArray gridDumpBytes(const QString &name, const QString &sector, const QString &company,
                         const QVector<QStringList> &rows);
// Writes a grid dump atomically (the old file stays intact on failure).
// `progress` (optional) is called after each row is formatted, with the row index.
bool writeGridDump(const QString &path, const QString &name, const QString &sector, const QString &company,
                   const QVector<QStringList> &rows, QString *error, const std::function<void(int row)> &progress = {});

// A record line's fields as the reader takes them: exactly kDataFields, those
// after the seventh (the empty one after a grid dump's trailing TAB among
// them) dropped, missing ones empty.
QStringList splitRecordLine(QStringView line);

struct DataFileContents {
    QString name, sector, company;
    bool hasName = false, hasSector = false, hasCompany = false; // false: "*" line or no such line
    bool hasUnit = false;                                        // false: fewer than four lines
    bool celsius = false;                                        // heading line contains "°C"
    QVector<QStringList> records;                                // exactly kDataFields fields each
};

// Line-by-line reader over a whole file's bytes, for callers that act on
// each result at once (progress per record). Line ends: CR LF, LF or CR; a
// last line without an end is still a line.
class DataFileReader {
public:
    enum class Item { End, Name, Sector, Company, Unit, Record, Ignored };

    explicit DataFileReader(const QByteArray &bytes);

    bool atEnd() const { return m_pos >= m_text.size(); }
    // Reads the next line and says what it was. Ignored: a "*" header line.
    Item next();
    int lineNumber() const { return m_line; }              // 1-based number of the line just read
    const QString &text() const { return m_header; }       // Name, Sector, Company
    bool celsius() const { return m_celsius; }             // Unit
    const QStringList &record() const { return m_record; } // Record: exactly kDataFields fields
    QStringList takeRecord() { return std::exchange(m_record, {}); }
    // Progress through the decoded text (one character per byte).
    qsizetype position() const { return m_pos; }
    qsizetype size() const { return m_text.size(); }

private:
    QString m_text; // the whole file, decoded once
    qsizetype m_pos = 0;
    int m_line = 0;
    QString m_header;
    bool m_celsius = false;
    QStringList m_record;
};

DataFileContents parseDataFile(const QByteArray &bytes);
// False with "path: reason" in *error when the file cannot be read.
bool readDataFile(const QString &path, DataFileContents &out, QString *error);
