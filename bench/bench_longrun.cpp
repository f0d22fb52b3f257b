// A day and more of one-second PC samples in minutes: the main window polling
// the emulated instrument every 20 ms, the live list and the live chart open,
// a recording going, Timer2 firing as fast as events allow while the clock
// moves one second per sample. Prints the memory (VmRSS, after the allocator
// has returned what it holds unused) as the run goes and
// its growth between two moments when the live list holds the same number of
// rows (the list itself legitimately holds up to 48 000 rows), and checks every
// record across the 48 000-record file splits and every row of the list's
// automatic dumps.
#include "../tests/support/LongRun.h"
#include "platform/PlatformChatter.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    quietPlatformChatter();
    QApplication qapp(argc, argv);
    LongRunOptions o;
    o.samples = argc > 1 ? QByteArray(argv[1]).toInt() : 104000; // 28.9 hours
    o.checkpointEvery = 8000;
    const LongRunResult r = longrun::run(o, [](int samples, long kib) {
        std::printf("longrun vmrss_kib_at_%d_samples %ld\n", samples, kib);
        std::fflush(stdout);
    });
    std::printf("longrun samples %d (%.1f hours of one-second samples) in %.1f s\n", r.samples, r.samples / 3600.0,
                r.seconds);
    std::printf("longrun records_checked %d in %d files\n", r.records, r.files);
    std::printf("longrun list_dumps %d dump_rows_checked %d rows_left_in_list %d\n", r.dumps, r.dumpRows, r.listRows);
    // Moments with the same number of rows in the live list (8 000 after the
    // start, after the first dump and after the second): what the run keeps
    // beyond the list itself.
    QVector<long> same;
    for (const auto &p : r.rss) {
        if (p.first % kRecordsPerFile == 8000)
            same << p.second;
    }
    if (same.size() >= 2)
        std::printf("longrun vmrss_growth_kib_same_list_fill %ld (first %ld, last %ld, %lld moments 48 000 samples "
                    "apart)\n",
                    same.last() - same.first(), same.first(), same.last(), qlonglong(same.size()));
    std::printf("longrun vmrss_kib start %ld end %ld\n", r.rss.first().second, r.rss.last().second);
    if (!r.problem.isEmpty()) {
        std::printf("longrun FAILED: %s\n", qPrintable(r.problem));
        return 1;
    }
    return 0;
}
