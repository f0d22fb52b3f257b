#pragma once

// Large data files for the benchmarks, written here and never committed: a
// recording file's lines, streamed to disk so that a million records need no
// more memory than one line.
#include "core/files/DataFile.h"

#include <QFile>
#include <QString>

#include <cmath>
#include <cstdio>

struct BenchFileShape {
    int records = kRecordsPerFile;
    qint64 startWallSeconds = 1780272000; // 2026-06-01 00:00, wall clock
    int intervalSeconds = 60;
    double offset = 0; // added to every temperature: one logger warmer than another
    double phase = 0;
};

// Days since 1970-01-01 to a civil date (the inverse of the files' wall seconds).
inline void civilFromDays(qint64 z, int &y, int &m, int &d)
{
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const qint64 doe = z - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(yoe + era * 400 + (m <= 2));
}

// A °C recording file: temperature about 5 °C in slow waves, now and then a
// value the instrument could not give. False when it cannot be written.
inline bool writeBenchFile(const QString &path, const BenchFileShape &shape)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray block = encodeDataText(crlfLines(headerLines({}, {}, {}) << headingLine(true)));
    char line[128];
    for (int i = 0; i < shape.records; ++i) {
        const qint64 t = shape.startWallSeconds + qint64(shape.intervalSeconds) * i;
        int y = 0, mo = 0, d = 0;
        civilFromDays(t / 86400, y, mo, d);
        const int s = int(t % 86400);
        const double temp = 5 + shape.offset + 3 * std::sin(i / 500.0 + shape.phase);
        const double rh = 60 + 15 * std::sin(i / 730.0 + shape.phase);
        const int n =
            i % 1499 == 0
                ? std::snprintf(line, sizeof line, "%d\t%02d/%02d/%04d\t%02d:%02d:%02d\tOL\t----.0\t----.0\t%.1f\r\n",
                                i + 1, d, mo, y, s / 3600, s / 60 % 60, s % 60, rh)
                : std::snprintf(line, sizeof line, "%d\t%02d/%02d/%04d\t%02d:%02d:%02d\t%.1f\t%.1f\t%.1f\t%.1f\r\n",
                                i + 1, d, mo, y, s / 3600, s / 60 % 60, s % 60, temp, temp - 4, temp - 2, rh);
        block.append(line, n);
        if (block.size() > (1 << 20)) {
            if (f.write(block) != block.size())
                return false;
            block.clear();
        }
    }
    return f.write(block) == block.size() && f.flush();
}
