// The list windows' three figures: opening a 48 000-record file into the
// file list, listing a set that fills the whole logger memory into the
// logger data list, and the memory a live list of 48 000 rows adds.
#include "core/files/DataFile.h"
#include "core/files/Logger.h"
#include "core/state/SharedState.h"
#include "emulator/InstrumentModel.h"
#include "platform/EventPause.h"
#include "platform/FolderMemory.h"
#include "platform/PlatformChatter.h"
#include "platform/PrintService.h"
#include "platform/Prompts.h"
#include "ui/common/App.h"
#include "ui/common/Commands.h"
#include "ui/lists/DataList.h"
#include "ui/lists/FileList.h"
#include "ui/lists/List.h"
#include "ui/lists/ListExport.h"
#include "ui/memory/Memory.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kRuns = 5;

class FixedClock : public Clock {
public:
    QDateTime now() const override { return QDateTime(QDate(2026, 12, 8), QTime(10, 0, 0)); }
};

std::unique_ptr<App> makeApp(ScriptedPrompts *&prompts, const QString &dir)
{
    App::Services s;
    auto p = std::make_unique<ScriptedPrompts>();
    prompts = p.get();
    s.prompts = std::move(p);
    s.printer = std::make_unique<PdfPrintService>(dir + QStringLiteral("/printed.pdf"));
    s.clock = std::make_unique<FixedClock>();
    s.pause = std::make_unique<EventPause>();
    auto app = std::make_unique<App>(std::move(s));
    app->setAutoDumpFolder(dir + QStringLiteral("/dumps"));
    folders::setSettingsFile(dir + QStringLiteral("/pastas.ini"));
    return app;
}

QString sample(int i, bool celsius)
{
    const int sec = i * 2;
    const double t = 22 + 8 * std::sin(i / 500.0);
    const double v = celsius ? t : t * 1.8 + 32;
    return QStringLiteral("08/12/2026\t%1:%2:%3\t%4\t%5\t%6\t%7")
        .arg((sec / 3600) % 24, 2, 10, QLatin1Char('0'))
        .arg((sec / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(sec % 60, 2, 10, QLatin1Char('0'))
        .arg(v, 0, 'f', 1)
        .arg(v - 8, 0, 'f', 1)
        .arg(v - 4, 0, 'f', 1)
        .arg(55 + 30 * std::cos(i / 700.0), 0, 'f', 1);
}

double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Resident memory of the process in bytes (Linux), 0 elsewhere.
qint64 residentBytes()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * 4096 : 0;
}

void closeAll()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        w->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}
} // namespace

int main(int argc, char **argv)
{
    quietPlatformChatter();
    QApplication qapp(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;
    ScriptedPrompts *prompts = nullptr;
    std::unique_ptr<App> app = makeApp(prompts, dir.path());
    SharedState &s = app->state();

    // 1. A 48 000-record recording file opened with "Open", up to the grid painted.
    {
        QString text = crlfLines(headerLines({}, {}, {}) << headingLine(true));
        for (int i = 1; i <= kRecordsPerFile; ++i)
            text += recordLine(i, sample(i, true)) + QStringLiteral("\r\n");
        const QString path = dir.filePath(QStringLiteral("big.dlf"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(encodeDataText(text)) < 0)
            return 1;
        f.close();
        QVector<double> times;
        int rows = 0;
        for (int run = 0; run < kRuns; ++run) {
            prompts->answerFile(path);
            QElapsedTimer t;
            t.start();
            commands::openDataFile(*app);
            auto *w = qobject_cast<FileList *>(app->fileList.data());
            w->grab(); // the window painted with its rows
            times << t.nsecsElapsed() / 1e6;
            rows = w->unitGrid()->rows() - 1;
            closeAll();
        }
        out << "open a " << rows << "-record file into the file list: " << QString::number(median(times), 'f', 1)
            << " ms (median of " << kRuns << ", limit 200 ms)\n";
        out.flush();

        // "Exportar CSV" of that list, in the spreadsheet style (the one with more to convert).
        prompts->answerFile(path);
        commands::openDataFile(*app);
        auto *w = qobject_cast<FileList *>(app->fileList.data());
        times.clear();
        for (int run = 0; run < kRuns; ++run) {
            prompts->answerFile(dir.filePath(QStringLiteral("big.csv")));
            QElapsedTimer t;
            t.start();
            if (!exportListCsv(*w, QLocale(QLocale::Portuguese, QLocale::Brazil)))
                return 1;
            times << t.nsecsElapsed() / 1e6;
        }
        out << "export the " << rows << "-record file list to CSV: " << QString::number(median(times), 'f', 1)
            << " ms (median of " << kRuns << ")\n";
        out.flush();
        closeAll();
    }

    // 2. A set filling the whole logger memory, clicked in the Memory window.
    {
        InstrumentModel model;
        model.fillMemory(0);
        const LoggerStatus status{model.pointer(), model.setCount()};
        s.InstrumentType = QStringLiteral("NewType");
        s.logger = parseLoggerDump(model.dumpBytes(), status, s.InstrumentType);
        // The largest set (the model may keep a byte-sized one before it).
        int largest = 0;
        for (int i = 1; i < s.logger.sets.size(); ++i) {
            if (s.logger.sets[i].size > s.logger.sets[largest].size)
                largest = i;
        }
        QVector<double> times;
        int rows = 0;
        for (int run = 0; run < kRuns; ++run) {
            auto *m = new Memory(*app);
            app->memory = m;
            for (int i = 0; i < s.logger.sets.size(); ++i)
                m->addSetRow(i + 1, s.logger.sets[i].interval, s.logger.sets[i].size);
            m->GridSet->setRow(largest + 1);
            QElapsedTimer t;
            t.start();
            m->GridSet_Click();
            auto *d = qobject_cast<DataList *>(app->dataList.data());
            d->grab();
            times << t.nsecsElapsed() / 1e6;
            rows = d->GridC->rows() - 1;
            closeAll();
        }
        out << "list a full logger memory set (" << rows
            << " readings) into DataList: " << QString::number(median(times), 'f', 1) << " ms (median of " << kRuns
            << ", limit 200 ms)\n";
        out.flush();
    }

    // 3. A live list holding 48 000 rows in both units.
    {
        s.CelsiusDisplay = true;
        s.ListOpen = false;
        closeAll();
        const QVector<QString> c = [] {
            QVector<QString> v;
            for (int i = 1; i <= kRecordsPerFile; ++i)
                v << sample(i, true);
            return v;
        }();
        const QVector<QString> f = [] {
            QVector<QString> v;
            for (int i = 1; i <= kRecordsPerFile; ++i)
                v << sample(i, false);
            return v;
        }();
        commands::openLiveList(*app);
        auto *w = qobject_cast<List *>(app->liveList.data());
        w->grab();
        const qint64 before = residentBytes();
        // The 48 000th sample would dump and empty the list: the last row goes in directly.
        // One sample a second in the panel: the events each row posts are
        // handled long before the next one comes.
        for (int i = 0; i < kRecordsPerFile - 1; ++i) {
            commands::appendLiveRow(*app, c[i], f[i]);
            if (i % 16 == 0)
                QApplication::processEvents();
        }
        w->GridC->addItem(QStringLiteral("48000\t") + c.last());
        w->GridF->addItem(QStringLiteral("48000\t") + f.last());
        // Scroll through the whole list once, painting every screenful.
        QElapsedTimer t;
        t.start();
        int frames = 0;
        for (int top = 1; top < w->GridC->rows(); top += 400, ++frames) {
            w->GridC->setTopRow(top);
            w->GridC->viewport()->grab();
        }
        const double frameMs = t.nsecsElapsed() / 1e6 / frames;
        const qint64 after = residentBytes();
        out << "live list of " << w->GridC->rows() - 1 << " rows in both units: +"
            << QString::number((after - before) / 1048576.0, 'f', 1) << " MB resident (limit 40 MB); "
            << QString::number(frameMs, 'f', 2) << " ms per scrolled screenful\n";
        out.flush();
        closeAll();
    }
    return 0;
}
