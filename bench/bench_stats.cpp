// Figures of the statistics: a full recording file's 48 000 rows, already in
// memory, with limits on every quantity, against the 5 ms they may take; then
// `stats` of a file of 1 000 000 records (about 45 MB) as a user runs it,
// against 1 s and 150 MB of peak resident memory.
#include "BenchFiles.h"

#include "core/files/DataFile.h"
#include "core/stats/Limits.h"
#include "core/stats/Stats.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

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

    // The tool beside this program, on a file written for the purpose.
    constexpr int kBig = 1000000;
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("um-milhao.dlf"));
    BenchFileShape shape;
    shape.records = kBig;
    if (!writeBenchFile(big, shape)) {
        std::printf("cannot write %s\n", qPrintable(big));
        return 1;
    }
    const QString cli =
        QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).dir().filePath("termohigrometro-cli");
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(cli, {QStringLiteral("stats"), big, QStringLiteral("--limit"), QStringLiteral("temp=2:8"),
                  QStringLiteral("--limit"), QStringLiteral("rh=:70"), QStringLiteral("--json")});
    if (!p.waitForFinished(300000) || p.exitCode() != 0) {
        std::printf("%s did not run: %s\n", qPrintable(cli), p.readAllStandardError().constData());
        return 1;
    }
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    // The largest resident set of the children waited for: this one alone.
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const double peakMb = double(usage.ru_maxrss) / 1024.0;
    const QJsonObject o = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    const int records = o.value(QStringLiteral("records")).toInt();
    std::printf("stats of a %d-record file (%.1f MB): %.2f s (limit 1 s), peak resident %.0f MB (limit 150 MB)\n",
                records, double(QFileInfo(big).size()) / 1e6, seconds, peakMb);
    std::printf("  MKT %.2f °C, temperature %d valid\n", o.value(QStringLiteral("mkt")).toDouble(),
                o.value(QStringLiteral("temp")).toObject().value(QStringLiteral("valid")).toInt());
    return records == kBig && seconds <= 1 && peakMb <= 150 ? 0 : 1;
}
