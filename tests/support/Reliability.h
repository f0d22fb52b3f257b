#pragma once

// Checks shared by the reliability tests: what a recording file left behind
// by a run (finished, killed or failing) must look like, and the process's
// resident memory.

#include "CliRun.h" // beside this file: benchmarks include it by a relative path too
#include "core/files/DataFile.h"

#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

struct RecordingCheck {
    bool ok = false;
    QString problem;
    QStringList records; // the record lines, without their line ends
};

// A value field: a dot text with one decimal, ----.0 (no dew point or wet
// bulb at 0 % humidity) or the overload texts.
inline bool isValueField(const QString &f)
{
    static const QRegularExpression value(QStringLiteral("^(-?\\d+\\.\\d|----\\.0|-?OL)$"));
    return value.match(f).hasMatch();
}

// One record line of a recording file: number, date, time, four values.
inline QString recordLineProblem(const QString &line, int number)
{
    static const QRegularExpression date(QStringLiteral("^\\d\\d/\\d\\d/\\d{4}$"));
    static const QRegularExpression time(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"));
    const QStringList f = line.split(QLatin1Char('\t'));
    if (f.size() != kDataFields)
        return QStringLiteral("record %1 has %2 fields: %3").arg(number).arg(f.size()).arg(line);
    if (f[0] != QString::number(number))
        return QStringLiteral("record %1 is numbered %2").arg(number).arg(f[0]);
    if (!date.match(f[1]).hasMatch() || !time.match(f[2]).hasMatch())
        return QStringLiteral("record %1 has a bad date or time: %2").arg(number).arg(line);
    for (int c = 3; c < kDataFields; ++c) {
        if (!isValueField(f[c]))
            return QStringLiteral("record %1 has a bad value: %2").arg(number).arg(line);
    }
    return {};
}

// Splits file bytes into CR LF lines; empty problem when every line,
// the last one included, ends in CR LF and none holds a stray CR or LF.
inline QString splitCrlfLines(const QByteArray &bytes, QStringList *lines)
{
    if (bytes.isEmpty())
        return {};
    if (!bytes.endsWith("\r\n"))
        return QStringLiteral("the last line is incomplete: %1").arg(QString::fromLatin1(bytes.right(60).toHex(' ')));
    const QString text = decodeDataText(bytes.left(bytes.size() - 2));
    *lines = text.split(QStringLiteral("\r\n"));
    for (const QString &l : *lines) {
        if (l.contains(QLatin1Char('\r')) || l.contains(QLatin1Char('\n')))
            return QStringLiteral("a line holds a stray line end: %1").arg(l);
    }
    return {};
}

// A recording file numbered from `firstNumber`: complete lines, the three "*"
// lines and the heading line of the run's unit, then records numbered on
// without a gap, at least `reported` of them. A missing or empty file is
// accepted only when nothing was reported (the run died before its start
// was on the disk).
inline RecordingCheck checkRecordingFile(const QString &path, bool celsius, int reported, int firstNumber = 1)
{
    RecordingCheck c;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        c.ok = reported == 0;
        c.problem = QStringLiteral("no file, %1 records reported").arg(reported);
        return c;
    }
    const QByteArray bytes = f.readAll();
    if (bytes.isEmpty()) {
        c.ok = reported == 0;
        c.problem = QStringLiteral("empty file, %1 records reported").arg(reported);
        return c;
    }
    QStringList lines;
    c.problem = splitCrlfLines(bytes, &lines);
    if (!c.problem.isEmpty())
        return c;
    if (lines.size() < 4 || lines[0] != QLatin1String("*") || lines[1] != QLatin1String("*") ||
        lines[2] != QLatin1String("*") || lines[3] != headingLine(celsius)) {
        c.problem = QStringLiteral("bad start: %1").arg(lines.mid(0, 4).join(QLatin1String(" | ")));
        return c;
    }
    c.records = lines.mid(4);
    for (int k = 0; k < c.records.size(); ++k) {
        c.problem = recordLineProblem(c.records[k], firstNumber + k);
        if (!c.problem.isEmpty())
            return c;
    }
    if (c.records.size() < reported) {
        c.problem = QStringLiteral("%1 records in the file, %2 reported").arg(c.records.size()).arg(reported);
        return c;
    }
    c.ok = true;
    return c;
}

// Resident memory of this process in KiB (VmRSS of /proc/self/status), 0 where unknown.
inline long residentKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}
