// Figures of the statistics: a full recording file's 48 000 rows, already in
// memory, with limits on every quantity, against the 5 ms they may take.
#include "core/files/DataFile.h"
#include "core/stats/Limits.h"
#include "core/stats/Stats.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {
QVector<QStringList> recordingRows(int count)
{
    QVector<QStringList> rows;
    rows.reserve(count);
    const QDateTime start(QDate(2026, 6, 1), QTime(0, 0));
    for (int i = 0; i < count; ++i) {
        const QDateTime at = start.addSecs(60LL * i);
        const double t = 5 + 3 * std::sin(i / 500.0);
        const double rh = 60 + 15 * std::sin(i / 730.0);
        // Now and then a value the instrument could not give.
        const bool none = i % 997 == 0;
        rows.append({QString::number(i + 1), at.toString(QStringLiteral("dd/MM/yyyy")),
                     at.toString(QStringLiteral("hh:mm:ss")),
                     i % 1499 == 0 ? QStringLiteral("OL") : QString::number(t, 'f', 1),
                     none ? QStringLiteral("----.0") : QString::number(t - 4, 'f', 1),
                     none ? QStringLiteral("----.0") : QString::number(t - 2, 'f', 1), QString::number(rh, 'f', 1)});
    }
    return rows;
}
} // namespace

int main()
{
    const QVector<QStringList> rows = recordingRows(kRecordsPerFile);
    Limits limits;
    for (const char *l : {"temp=2:8", "rh=:70", "dew=0:", "wet=1:6"})
        parseLimit(QString::fromLatin1(l), limits, nullptr);

    double best = 1e300, first = 0;
    RowStats s;
    for (int round = 0; round < 10; ++round) {
        QElapsedTimer t;
        t.start();
        s = computeRowStats(rows, true, limits);
        const double ms = double(t.nsecsElapsed()) / 1e6;
        if (round == 0)
            first = ms;
        best = std::min(best, ms);
    }
    std::printf("Statistics of %d records (4 quantities, limits on each, MKT): %.2f ms best of 10, %.2f ms first "
                "(limit 5 ms)\n",
                s.records, best, first);
    std::printf("  MKT %.2f °C, temperature %d valid, humidity %.1f %% within, %lld s outside\n", *s.mkt,
                s[Quantity::Temperature]->valid, s[Quantity::Humidity]->withinPercent,
                static_cast<long long>(s[Quantity::Humidity]->outsideSeconds));
    return 0;
}
