#pragma once

#include "core/stats/Limits.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVector>

#include <array>
#include <cmath>
#include <limits>

// A data file's record as numbers: what the statistics, the studies and the
// charts work on. Seven strings per record cost about 700 bytes; this costs
// 48, so a million records fit in memory beside everything else.
constexpr qint64 kNoWallTime = std::numeric_limits<qint64>::min();

struct DataRecord {
    qint64 seconds = kNoWallTime; // wall-clock seconds of the date and time (RecordTime), kNoWallTime when unreadable
    // By Quantity (temperature, humidity, dew point, wet bulb); NaN where the
    // field is not a number ("OL", "-OL", "----.0", empty).
    std::array<double, kQuantities> value{qQNaN(), qQNaN(), qQNaN(), qQNaN()};
    int number = -1; // the record's own number (first field); -1 when it is not one

    bool hasTime() const { return seconds != kNoWallTime; }
    bool has(Quantity q) const { return !std::isnan(value[size_t(q)]); }
    double operator[](Quantity q) const { return value[size_t(q)]; }
};

// The record of a row as a data file or a list grid holds it (missing fields read as empty).
DataRecord dataRecordOf(const QStringList &row);
QVector<DataRecord> dataRecordsOf(const QVector<QStringList> &rows);

// Wall-clock seconds <-> the local date and time they stand for.
QDateTime wallDateTime(qint64 seconds);
qint64 wallSecondsOf(const QDateTime &t);

struct DataRecordFile {
    QString name, sector, company;
    bool hasUnit = false; // false: fewer than four lines
    bool celsius = false; // heading line contains "°C"
    QVector<DataRecord> records;
    // With RecordTexts::Lines, each record's line as text (TAB-separated
    // fields, splitRecordLine gives them), for a report that prints them.
    QVector<QString> lines;
};

enum class RecordTexts { None, Lines };

// The same records as parseDataFile/readDataFile, read straight into
// numbers: every line after the heading is one record. The file is read in
// blocks, so neither its bytes nor its text are held whole.
DataRecordFile parseDataRecords(QByteArrayView bytes, RecordTexts texts = RecordTexts::None);
// False with "path: reason" in *error when the file cannot be read.
bool readDataRecords(const QString &path, DataRecordFile &out, QString *error, RecordTexts texts = RecordTexts::None);
