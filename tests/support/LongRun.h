#pragma once

// A long recording run of the main window, compressed in time: the emulated
// instrument streams frames at a fast period and Timer2 fires as fast as
// events allow while the clock moves one second per sample, with the live
// list and the live chart open. Used by the long-run test (a short run that
// crosses a file split and a list dump by starting its counters near them)
// and by the long-run benchmark (a day and more of one-second samples).

#include "Reliability.h"
#include "TestApp.h"

#include "emulator/EmulatedLink.h"
#include "ui/lists/List.h"
#include "ui/panel/Panel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTest>

#include <functional>

#ifdef __GLIBC__
#include <malloc.h>
#endif

struct LongRunResult {
    QString problem; // empty when every check passed
    int samples = 0;
    int ticks = 0; // Timer2 ticks (a tick while the link is down takes no sample)
    int records = 0;
    int files = 0;
    int dumps = 0;
    int dumpRows = 0;
    int listRows = 0; // rows left in the live list at the end
    double seconds = 0;
    QVector<QPair<int, long>> rss; // (samples taken, VmRSS KiB)
};

struct LongRunOptions {
    int samples = 86400;
    int recordStart = 0; // RecordCount when the run begins (0: a real run)
    int listStart = 0;   // ListRowCount when the list opens (0: a real run)
    int checkpointEvery = 8000;
    int frameMs = 20;
};

namespace longrun {

// Resident memory once the allocator has given back what it holds unused, so
// that the figure follows what the program keeps, not the peaks it had.
inline long keptKiB()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
    return residentKiB();
}

// Every record file of a run started as `path`, in order: numbers consecutive
// from recordStart + 1, at most 48 000 to a file, times strictly increasing.
inline QString checkRecordFiles(const QString &path, const LongRunOptions &o, int samples, LongRunResult &r)
{
    int next = o.recordStart + 1;
    const int last = o.recordStart + samples;
    QDateTime previous;
    for (int k = 0; next <= last; ++k) {
        const QString file = k == 0 ? path : splitFileName(path, k);
        // Records up to the next multiple of 48 000 go to this file.
        const int capacity = ((next - 1) / kRecordsPerFile + 1) * kRecordsPerFile;
        const int expected = qMin(last, capacity) - next + 1;
        const RecordingCheck c = checkRecordingFile(file, true, expected, next);
        if (!c.ok)
            return QStringLiteral("%1: %2").arg(file, c.problem);
        if (c.records.size() != expected)
            return QStringLiteral("%1 holds %2 records, %3 expected").arg(file).arg(c.records.size()).arg(expected);
        for (const QString &line : c.records) {
            const QStringList f = line.split(QLatin1Char('\t'));
            const QDateTime t =
                QDateTime::fromString(f[1] + QLatin1Char(' ') + f[2], QStringLiteral("dd/MM/yyyy hh:mm:ss"));
            if (!t.isValid() || (previous.isValid() && t <= previous))
                return QStringLiteral("%1: record out of order: %2").arg(file, line);
            previous = t;
        }
        next += expected;
        r.records += expected;
        ++r.files;
    }
    return {};
}

// The live list's automatic dumps: each a complete grid dump of the rows up
// to its multiple of 48 000, numbered on from the previous one.
inline QString checkDumps(const QString &folder, const LongRunOptions &o, LongRunResult &r, int *nextRow)
{
    const QStringList names = QDir(folder).entryList({QStringLiteral("*.dlf")}, QDir::Files, QDir::Name);
    int next = o.listStart + 1;
    for (const QString &name : names) {
        QFile f(QDir(folder).filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            return QStringLiteral("cannot read dump %1").arg(name);
        const QByteArray bytes = f.readAll();
        QStringList lines;
        const QString problem = splitCrlfLines(bytes, &lines);
        if (!problem.isEmpty())
            return QStringLiteral("dump %1: %2").arg(name, problem);
        const DataFileContents c = parseDataFile(bytes);
        const int expected = (next - 1) / kRecordsPerFile * kRecordsPerFile + kRecordsPerFile - next + 1;
        if (!c.celsius || c.records.size() != expected)
            return QStringLiteral("dump %1 holds %2 rows, %3 expected").arg(name).arg(c.records.size()).arg(expected);
        for (const QStringList &row : c.records) {
            if (row[0] != QString::number(next))
                return QStringLiteral("dump %1: row %2 where %3 was expected").arg(name, row[0]).arg(next);
            ++next;
        }
        ++r.dumps;
        r.dumpRows += int(c.records.size());
    }
    *nextRow = next;
    return {};
}

inline LongRunResult failed(const QString &why)
{
    LongRunResult r;
    r.problem = why;
    return r;
}

inline LongRunResult run(const LongRunOptions &o,
                         const std::function<void(int samples, long rssKiB)> &onCheckpoint = {})
{
    LongRunResult r;
    TestApp t;
    App &app = *t.app;
    SharedState &s = app.state();
    EmulatorOptions eo;
    eo.frameMs = o.frameMs;
    // The handshake keeps the last 6 bytes of its 0.2 s read: with fast
    // frames the stream must resume after that.
    eo.resumeMs = 400;
    app.setLink(std::make_unique<EmulatedLink>(eo));
    Panel::setExitHandler([](int) {});
    QString problem;
    {
        Panel panel(app);
        if (!panel.Form_Load())
            return failed(QStringLiteral("the main window did not load"));
        panel.show();
        if (!QTest::qWaitFor([&] { return panel.framesDecoded() > 0 && !panel.linkDown(); }, 60000))
            return failed(QStringLiteral("no reading from the instrument"));

        s.PcSampleSeconds = 1;
        const QString file = t.path(QStringLiteral("longo.dlf"));
        t.prompts->answerFile(file);
        panel.click(QStringLiteral("Save"));
        panel.click(QStringLiteral("List"));
        panel.click(QStringLiteral("Graph"));
        if (!s.PcRecording || !app.liveList || !app.liveChart)
            return failed(QStringLiteral("recording, live list or live chart did not start"));
        s.RecordCount = o.recordStart;
        s.ListRowCount = o.listStart;

        QElapsedTimer elapsed;
        elapsed.start();
        int nextCheckpoint = o.checkpointEvery;
        const auto done = [&] { return s.RecordCount - o.recordStart >= o.samples || !problem.isEmpty(); };
        QObject::connect(panel.Timer2, &QTimer::timeout, &panel, [&] {
            ++r.ticks;
            t.clock->t = t.clock->t.addSecs(1);
            const int taken = s.RecordCount - o.recordStart;
            if (!s.ListOpen || !s.ChartOpen || !s.PcRecording)
                problem =
                    QStringLiteral("after %1 samples the live list, the live chart or the recording closed").arg(taken);
            if (taken >= nextCheckpoint) {
                nextCheckpoint += o.checkpointEvery;
                const long kib = keptKiB();
                r.rss.append({taken, kib});
                if (onCheckpoint)
                    onCheckpoint(taken, kib);
            }
            if (done())
                panel.Timer2->stop();
        });
        r.rss.append({0, keptKiB()});
        panel.Timer2->setInterval(0);
        if (!QTest::qWaitFor(done, 3600 * 1000))
            problem = QStringLiteral("the run did not finish within an hour");
        panel.Timer2->stop();
        r.seconds = elapsed.elapsed() / 1000.0;
        r.samples = s.RecordCount - o.recordStart;
        r.rss.append({r.samples, keptKiB()});
        if (auto *list = qobject_cast<List *>(app.liveList.data()))
            r.listRows = list->GridC->rows() - 1;
        panel.click(QStringLiteral("Save")); // the run stops, its file closed

        if (problem.isEmpty())
            problem = checkRecordFiles(file, o, r.samples, r);
        int nextRow = 0;
        if (problem.isEmpty())
            problem = checkDumps(app.autoDumpFolder(), o, r, &nextRow);
        if (problem.isEmpty()) {
            if (auto *list = qobject_cast<List *>(app.liveList.data())) {
                // The rows after the last dump are still in the list, numbered on.
                for (int row = 1; row <= r.listRows && problem.isEmpty(); ++row) {
                    if (list->GridC->textMatrix(row, 0) != QString::number(nextRow + row - 1))
                        problem =
                            QStringLiteral("live list row %1 is %2").arg(row).arg(list->GridC->textMatrix(row, 0));
                }
                if (nextRow + r.listRows - 1 != o.listStart + r.samples)
                    problem = QStringLiteral("the live list and its dumps hold %1 rows of %2 samples")
                                  .arg(nextRow + r.listRows - 1 - o.listStart)
                                  .arg(r.samples);
            }
        }
        deleteTopLevelWindows(&panel);
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    Panel::setExitHandler({});
    r.problem = problem;
    return r;
}

} // namespace longrun
