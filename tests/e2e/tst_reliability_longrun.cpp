// A compressed long run: the main window polling the emulated instrument with
// the live list and live chart open and a recording going, its counters
// started just short of the 48 000 marks so that 2 500 samples cross
// a file split and an automatic list dump. Every record is in its file, in
// order, and the dump holds every row. (bench_longrun runs a whole day of
// samples and reports the memory.)
#include "support/LongRun.h"

#include <QTest>

class TstReliabilityLongrun : public QObject {
    Q_OBJECT
private slots:
    void acrossTheSplits()
    {
        LongRunOptions o;
        o.samples = 2500;
        o.recordStart = kRecordsPerFile - 1000; // the split comes after 1000 samples
        o.listStart = kRecordsPerFile - 1500;   // the dump after 1500
        o.checkpointEvery = 500;
        const LongRunResult r = longrun::run(o);
        QVERIFY2(r.problem.isEmpty(), qPrintable(r.problem));
        QCOMPARE(r.samples, 2500);
        QCOMPARE(r.records, 2500);
        QCOMPARE(r.files, 2);
        QCOMPARE(r.dumps, 1);
        QCOMPARE(r.dumpRows, 1500);
        QCOMPARE(r.listRows, 1000);
        qInfo("long run: %d samples in %.1f s, %d records in %d files, %d dump rows, VmRSS %ld -> %ld KiB", r.samples,
              r.seconds, r.records, r.files, r.dumpRows, r.rss.first().second, r.rss.last().second);
    }
};

QTEST_MAIN(TstReliabilityLongrun)
#include "tst_reliability_longrun.moc"
