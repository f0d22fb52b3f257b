#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>

// A record's date "DD/MM/YYYY" and time "hh:mm:ss" (two digits each, as the
// files carry them), read digit by digit: a general date parser per row
// costs more than everything else done with the row. It accepts exactly
// what QDate/QTime::fromString accept with those formats.
struct RecordTime {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    bool valid = false;

    // Seconds from 1970-01-01 00:00 to this wall-clock time, in no zone:
    // differences between records without the cost of a time zone.
    qint64 wallSeconds() const;
    QDate date() const { return valid ? QDate(y, mo, d) : QDate(); }
    QTime time() const { return valid ? QTime(h, mi, s) : QTime(); }
    // "2026-06-30T23:40:00"; empty when not valid.
    QString isoText() const;
};

RecordTime parseRecordTime(QStringView date, QStringView time);
