// Logger memory: the download against the emulated instrument, the parsing of
// both set layouts (damaged dumps included), the listing of a set, and the
// PC recording file logic.
#include "core/files/DataFile.h"
#include "core/files/Logger.h"
#include "core/files/Recording.h"
#include "core/reading/Decode.h"
#include "emulator/EmulatedLink.h"
#include "platform/EventPause.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QDateTime kClock(QDate(2026, 3, 1), QTime(12, 0, 0));

EmulatorOptions options(bool newType = true)
{
    EmulatorOptions o;
    o.newType = newType;
    o.tempC = 25.0;
    o.rh = 50.0;
    o.clock = kClock;
    return o;
}

QVector<QPair<double, double>> readings(int n, double temp = 25.0, double rh = 50.0)
{
    return QVector<QPair<double, double>>(n, {temp, rh});
}

LoggerMemory parseModel(const InstrumentModel &m, const QString &type)
{
    return parseLoggerDump(m.dumpBytes(), {m.pointer(), m.setCount()}, type);
}

QStringList fields(const QString &line)
{
    return line.split(QLatin1Char('\t'));
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

class TestLogger : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { setDisplayLocale(QLocale::c()); }

    void memoryFigures()
    {
        QCOMPARE(memoryUsedPercent(32656, 1), 100.0);
        QVERIFY(memoryUsedPercent(32655, 1) < 100.0);
        QCOMPARE(memoryUsedPercent(2000, 255), 100.0);
        QVERIFY(qAbs(memoryUsedPercent(1023, 0) - 3.122) < 0.01);
        QCOMPARE(expectedDumpLength(1023), 7);
        QCOMPARE(expectedDumpLength(32767), 31751);
        QCOMPARE(expectedDumpLength(65535), 31751); // a pointer beyond the memory cannot make it wait for more
    }

    void listsNewTypeSetsAcrossMidnightAndMonthEnd()
    {
        InstrumentModel m(options());
        QVERIFY(m.addSet(QDateTime(QDate(2026, 1, 31), QTime(23, 58, 30)), 60, readings(3, 25.0, 50.0)));
        QVERIFY(m.addSet(QDateTime(QDate(2028, 2, 28), QTime(23, 59, 59)), 1, readings(2, -10.0, 0.0)));
        const LoggerMemory mem = parseModel(m, QStringLiteral("NewType"));
        QCOMPARE(mem.sets.size(), 2);
        QCOMPARE(mem.sets[0].interval, 60);
        QCOMPARE(mem.sets[0].size, 3);
        QVERIFY(!mem.sets[0].damaged && !mem.sets[1].damaged);

        const auto rows = listLoggerSet(mem.sets[0], QStringLiteral("NewType"));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(fields(rows[0].celsiusLine).mid(0, 4), QStringList({"1", "31/01/2026", "23:58:30", "25.0"}));
        QCOMPARE(fields(rows[1].celsiusLine).mid(1, 2), QStringList({"31/01/2026", "23:59:30"}));
        QCOMPARE(fields(rows[2].celsiusLine).mid(0, 3), QStringList({"3", "01/02/2026", "00:00:30"}));
        QCOMPARE(fields(rows[2].celsiusLine).size(), 7);
        QCOMPARE(fields(rows[2].celsiusLine)[6], QStringLiteral("50.0"));
        QCOMPARE(fields(rows[2].fahrenheitLine)[3], QStringLiteral("77.0"));

        const auto leap = listLoggerSet(mem.sets[1], QStringLiteral("NewType"));
        QCOMPARE(fields(leap[1].celsiusLine).mid(1, 2), QStringList({"29/02/2028", "00:00:00"}));
        QCOMPARE(fields(leap[1].celsiusLine)[3], QStringLiteral("-10.0"));
        QCOMPARE(fields(leap[1].celsiusLine)[4], QStringLiteral("----.0")); // 0 % humidity
        QCOMPARE(loggerSetStart(mem.sets[1], QStringLiteral("NewType")),
                 QDateTime(QDate(2028, 2, 28), QTime(23, 59, 59), Qt::UTC));
    }

    void oldTypeSetsUseTheirOwnLayout()
    {
        InstrumentModel m(options(false));
        QVERIFY(m.addSet(QDateTime(QDate(2025, 12, 31), QTime(23, 50, 0)), 150, readings(2, 30.0, 40.0)));
        QVERIFY(m.addSet(QDateTime(QDate(2026, 2, 10), QTime(8, 0, 0)), 5, readings(1, 20.0, 60.0)));
        const LoggerMemory mem = parseModel(m, QStringLiteral("OldType"));
        QCOMPARE(mem.sets.size(), 2);
        QCOMPARE(mem.sets[0].interval, 150); // 2 min 30 s
        QCOMPARE(mem.sets[0].size, 2);
        QCOMPARE(mem.sets[0].block.size(), 8 + 8);
        // No year in the header: a December set downloaded in March is last year's.
        const QDate march(2026, 3, 1);
        const auto rows = listLoggerSet(mem.sets[0], QStringLiteral("OldType"), march);
        QCOMPARE(fields(rows[0].celsiusLine).mid(0, 7),
                 QStringList({"1", "31/12/2025", "23:50:00", "30.0", fields(rows[0].celsiusLine)[4],
                              fields(rows[0].celsiusLine)[5], "40.0"}));
        QCOMPARE(fields(rows[1].celsiusLine).mid(1, 2), QStringList({"31/12/2025", "23:52:30"}));
        const auto second = listLoggerSet(mem.sets[1], QStringLiteral("OldType"), march);
        QCOMPARE(fields(second[0].celsiusLine).mid(1, 4),
                 QStringList({"10/02/2026", "08:00:00", "20.0", second[0].celsiusLine.split('\t')[4]}));
        QCOMPARE(fields(second[0].celsiusLine)[6], QStringLiteral("60.0"));
    }

    void damagedDumpsNeverReadOutOfBounds()
    {
        InstrumentModel m(options());
        for (int i = 0; i < 3; ++i)
            QVERIFY(m.addSet(kClock.addDays(i), 60, readings(10)));
        const QByteArray full = m.dumpBytes();
        const LoggerStatus status{m.pointer(), 3};

        // Cut in the middle of the second set's readings.
        const LoggerMemory cut = parseLoggerDump(full.left(4 + 50 + 10 + 17), status, QStringLiteral("NewType"));
        QCOMPARE(cut.sets.size(), 3);
        QVERIFY(!cut.sets[0].damaged);
        QVERIFY(cut.sets[1].damaged);
        QCOMPARE(completeReadings(cut.sets[1], QStringLiteral("NewType")), 4);
        QCOMPARE(listLoggerSet(cut.sets[1], QStringLiteral("NewType")).size(), 4);
        QVERIFY(cut.sets[2].damaged);
        QVERIFY(listLoggerSet(cut.sets[2], QStringLiteral("NewType")).isEmpty());

        // More sets claimed than present; a header claiming 65535 readings.
        const LoggerMemory extra = parseLoggerDump(full, {m.pointer(), 5}, QStringLiteral("NewType"));
        QCOMPARE(extra.sets.size(), 5);
        QVERIFY(extra.sets[3].damaged && extra.sets[4].damaged);
        QByteArray huge = full;
        huge[4 + 8] = char(0xff);
        huge[4 + 9] = char(0xff);
        const LoggerMemory big = parseLoggerDump(huge, status, QStringLiteral("NewType"));
        QVERIFY(big.sets[0].damaged);
        QCOMPARE(big.sets[0].size, 65535);
        QCOMPARE(listLoggerSet(big.sets[0], QStringLiteral("NewType")).size(), (full.size() - 7 - 10) / 4);

        // Any bytes, any status: rows or damage, never a crash.
        QRandomGenerator rng(7);
        for (int round = 0; round < 300; ++round) {
            QByteArray junk(int(rng.bounded(400)), Qt::Uninitialized);
            for (char &c : junk)
                c = char(rng.bounded(256));
            if (rng.bounded(2))
                junk.prepend("RRBT");
            const LoggerStatus s{int(rng.bounded(70000)), int(rng.bounded(256))};
            for (const QString &type : {QStringLiteral("NewType"), QStringLiteral("OldType")}) {
                const LoggerMemory mem = parseLoggerDump(junk, s, type);
                QCOMPARE(mem.sets.size(), s.setCount);
                for (const LoggerSet &set : mem.sets)
                    QVERIFY(listLoggerSet(set, type).size() <= set.size);
            }
        }
    }

    void downloadAgainstTheInstrument()
    {
        EmulatorOptions o = options();
        o.initialSets = 3;
        o.initialReadingsPerSet = 20;
        EmulatedLink link(o);
        QVERIFY(link.OpenPort());
        EventPause pause;
        LinkContext ctx{link, pause, 10};
        QVector<int> progress;
        LoggerMemory mem;
        QCOMPARE(downloadLoggerMemory(ctx, QStringLiteral("NewType"), mem, [&](int p) { progress << p; }),
                 LoggerDownloadResult::Ok);
        QCOMPARE(mem.sets.size(), 3);
        QCOMPARE(mem.pointer, link.model().pointer());
        QCOMPARE(mem.collected, link.model().dumpBytes());
        QCOMPARE(progress.last(), 100);
        QVERIFY(std::is_sorted(progress.begin(), progress.end()));
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(mem.sets[i].interval, link.model().sets()[i].interval);
            QCOMPARE(listLoggerSet(mem.sets[i], QStringLiteral("NewType")).size(), 20);
        }
        // The stream is back after the resynchronisation.
        QTRY_VERIFY_WITH_TIMEOUT(link.PendingCount() >= 7, 5000);
    }

    void downloadOfEmptyMemoryAndBadStart()
    {
        EventPause pause;
        {
            EmulatedLink link(options());
            QVERIFY(link.OpenPort());
            LinkContext ctx{link, pause, 10};
            LoggerMemory mem;
            QCOMPARE(downloadLoggerMemory(ctx, QStringLiteral("NewType"), mem), LoggerDownloadResult::Empty);
            QCOMPARE(link.model().receivedLog(), QByteArray("AA")); // "A" once more, no "D"
        }
        {
            EmulatorOptions o = options();
            o.initialSets = 1;
            o.badFirstDump = true;
            EmulatedLink link(o);
            QVERIFY(link.OpenPort());
            LinkContext ctx{link, pause, 10};
            LoggerMemory mem;
            QCOMPARE(downloadLoggerMemory(ctx, QStringLiteral("NewType"), mem), LoggerDownloadResult::Ok);
            QCOMPARE(link.model().receivedLog().count('D'), 2); // restarted from the status request
            QVERIFY(link.model().receivedLog().indexOf("DA") > 0);
            QCOMPARE(mem.collected, link.model().dumpBytes());
        }
    }

    void truncatedOrSilentDumpEnds()
    {
        EventPause pause;
        {
            EmulatorOptions o = options();
            o.initialSets = 3;
            o.initialReadingsPerSet = 20; // 90 bytes a set
            o.truncatedAnswers = 1;       // the first status and the first dump come half
            o.silentAfterCommands = 3;    // "A" (half), "A", "D": then nothing, not even frames
            EmulatedLink link(o);
            QVERIFY(link.OpenPort());
            LinkContext ctx{link, pause, 10};
            auto status = requestLoggerStatus(ctx);
            QVERIFY(status);
            const auto dump = downloadDump(ctx, *status, {}, 0.5);
            QVERIFY(dump);
            QCOMPARE(dump->size(), expectedDumpLength(status->pointer) / 2);
            const LoggerMemory mem = parseLoggerDump(*dump, *status, QStringLiteral("NewType"));
            QVERIFY(!mem.sets[0].damaged);
            QVERIFY(mem.sets[1].damaged && mem.sets[2].damaged);
            QCOMPARE(completeReadings(mem.sets[1], QStringLiteral("NewType")), (138 - 4 - 90 - 10) / 4);
        }
        {
            EmulatorOptions o = options();
            o.initialSets = 1;
            o.silentAfterCommands = 1; // answers the status request, then nothing
            EmulatedLink link(o);
            QVERIFY(link.OpenPort());
            LinkContext ctx{link, pause, 1.0};
            LoggerMemory mem;
            QCOMPARE(downloadLoggerMemory(ctx, QStringLiteral("NewType"), mem), LoggerDownloadResult::Failed);
            QCOMPARE(ctx.failure, LinkFailure::Timeout);
        }
    }

    void sampleTicks()
    {
        SharedState s;
        s.PcSampleSeconds = 2;
        QVector<bool> due;
        for (int i = 0; i < 5; ++i)
            due << sampleTickDue(s);
        QCOMPARE(due, QVector<bool>({true, false, true, false, true}));
        s.PcSampleSeconds = 1;
        QVERIFY(sampleTickDue(s) && sampleTickDue(s));
        s.PcSampleSeconds = 60;
        s.SampleTick = 0; // a new interval samples at the next tick
        QVERIFY(sampleTickDue(s));
        QVERIFY(!sampleTickDue(s));
    }

    void recordingRunSplitsAndKeepsItsHeading()
    {
        QTemporaryDir dir;
        SharedState s;
        PcRecorder rec(s);
        const QString path = dir.filePath(QStringLiteral("ensaio.dlf"));
        Reading r;
        decodeRecord(r, 0x13, 0x88, 0x1d, 0x4c); // 50 %, 25 °C
        const SampleLines lines = buildSampleLines(r, QDateTime(QDate(2026, 3, 1), QTime(9, 5, 7)));
        QCOMPARE(lines.celsius, QStringLiteral("01/03/2026\t09:05:07\t25.0\t") + r.DewCDot + '\t' + r.WetCDot +
                                    QStringLiteral("\t50.0"));
        QCOMPARE(lines.time, QStringLiteral("09:05:07"));

        QVERIFY(rec.start(path, false));
        QVERIFY(s.PcRecording);
        QCOMPARE(rec.writeSample(lines, false), PcRecorder::Outcome::Written);
        QCOMPARE(rec.writeSample(lines, true), PcRecorder::Outcome::Written); // unit switched mid-run
        // Flushed: readable while the run goes on.
        QCOMPARE(readFile(path), recordingFileStart(false) +
                                     encodeDataText(crlfLines({"1\t" + lines.fahrenheit, "2\t" + lines.celsius})));

        s.RecordCount = 48000; // the next record opens ensaio-1.dlf
        QCOMPARE(rec.writeSample(lines, true), PcRecorder::Outcome::Written);
        QCOMPARE(s.SplitNo, 1);
        QCOMPARE(rec.currentFile(), dir.filePath(QStringLiteral("ensaio-1.dlf")));
        QCOMPARE(readFile(rec.currentFile()),
                 recordingFileStart(false) + encodeDataText(crlfLines({"48001\t" + lines.celsius})));

        rec.stop();
        QVERIFY(!s.PcRecording);
        QCOMPARE(s.RecordCount, 0);
    }

    void recordingFailuresAreReported()
    {
        SharedState s;
        PcRecorder rec(s);
        QString error;
        QVERIFY(!rec.start(QStringLiteral("/nonexistent-folder/x.dlf"), true, &error));
        QVERIFY(error.contains(QStringLiteral("x.dlf")));
        QVERIFY(!s.PcRecording);
#ifdef Q_OS_LINUX
        error.clear();
        QVERIFY(!rec.start(QStringLiteral("/dev/full"), true, &error)); // the disk is full
        QVERIFY(!error.isEmpty());
#endif
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("run")));
        const QString path = dir.filePath(QStringLiteral("run/a.dlf"));
        QVERIFY(rec.start(path, true));
        const SampleLines lines = buildSampleLines(Reading{}, kClock);
        s.RecordCount = 48000;
        QVERIFY(QDir(dir.filePath(QStringLiteral("run"))).removeRecursively()); // the folder goes away
        error.clear();
        QCOMPARE(rec.writeSample(lines, true, &error), PcRecorder::Outcome::Failed);
        QVERIFY(error.contains(QStringLiteral("a-1.dlf")));
        QCOMPARE(rec.writeSample(lines, true, &error), PcRecorder::Outcome::StillFailing);
        QCOMPARE(s.RecordCount, 48002);
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("run"))); // back: the run resumes in a fresh file
        QCOMPARE(rec.writeSample(lines, true), PcRecorder::Outcome::Written);
        QVERIFY(readFile(rec.currentFile()).startsWith(recordingFileStart(true)));
        QVERIFY(readFile(rec.currentFile()).contains("48003\t"));
    }
};

QTEST_GUILESS_MAIN(TestLogger)
#include "tst_logger.moc"
