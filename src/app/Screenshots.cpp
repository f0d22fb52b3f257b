#include "app/Screenshots.h"
#include "core/link/Pause.h"

#include "emulator/EmulatedLink.h"
#include "platform/FolderMemory.h"
#include "platform/LinkFactory.h"
#include "ui/charts/PlotRange.h"
#include "ui/charts/RealTimeRange.h"
#include "ui/common/App.h"
#include "ui/common/Commands.h"
#include "ui/dialogs/SamplingChoice.h"
#include "ui/dialogs/Setup.h"
#include "ui/lists/DataList.h"
#include "ui/lists/Grid.h"
#include "ui/memory/Memory.h"
#include "ui/monitor/PanelSettings.h"
#include "ui/panel/Panel.h"
#include "ui/panel/Port.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtMath>

#include <cstdio>
#include <functional>

namespace {

const char *const kPictures[] = {"porta",  "painel",         "list",     "realtime24", "realtimerange",
                                 "memory", "datalist",       "filelist", "listplot1",  "plotrange",
                                 "setup",  "samplingchoice", "offset",   "addtext",    "painel-sem-comunicacao"};

bool waitFor(const std::function<bool()> &condition, int limitMs)
{
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > limitMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(40, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void settle(int ms = 300)
{
    waitFor([] { return false; }, ms);
}

class Shots {
public:
    explicit Shots(const QString &folder) : dir_(folder) {}

    // `settleFirst` lets pending repaints finish; a blinking label is taken
    // the moment it shows instead.
    void save(QWidget *w, const QString &name, bool settleFirst = true)
    {
        if (!w) {
            std::fprintf(stderr, "no window for %s\n", qPrintable(name));
            ++failures;
            return;
        }
        if (settleFirst)
            settle();
        const QString path = dir_.filePath(name + QStringLiteral(".png"));
        const bool ok = w->grab().save(path, "PNG");
        std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
        failures += !ok;
    }
    void fail(const char *what)
    {
        std::fprintf(stderr, "%s\n", what);
        ++failures;
    }

    int failures = 0;

private:
    QDir dir_;
};

// A day's swing of temperature and humidity, for the logger sets.
QVector<QPair<double, double>> daySwing(int count, double baseC, double baseRh)
{
    QVector<QPair<double, double>> v;
    for (int i = 0; i < count; ++i) {
        const double phase = 2 * M_PI * i / count;
        v.append({baseC + 4.0 * qSin(phase), baseRh - 12.0 * qSin(phase + 0.4)});
    }
    return v;
}

template <typename W> W *topLevel()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *found = qobject_cast<W *>(w); found && found->isVisible())
            return found;
    }
    return nullptr;
}

} // namespace

int renderScreenshots(const QString &folder)
{
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
        return 1;
    }
    // A picture left from an earlier run must not pass for this run's.
    for (const char *name : kPictures)
        QFile::remove(QDir(folder).filePath(QLatin1String(name) + QStringLiteral(".png")));
    QTemporaryDir work;
    sharedState() = SharedState{};
    // The pictures show the defaults, whatever the user has set, and the
    // scripted answers' folders are not the user's to remember.
    PanelSettings::setFile(work.filePath(QStringLiteral("painel.ini")));
    folders::setSettingsFile(work.filePath(QStringLiteral("pastas.ini")));

    // No dialog may wait for a user here: every file dialog is answered in
    // advance, in the order the steps below ask.
    const QString recording = work.filePath(QStringLiteral("ensaio.dlf"));
    const QString loggerFile = work.filePath(QStringLiteral("logger.dlf"));
    App::Services services = App::realServices();
    auto prompts = std::make_unique<ScriptedPrompts>();
    ScriptedPrompts *scripted = prompts.get();
    prompts->answerFile(recording);
    services.prompts = std::move(prompts);
    App app(std::move(services));
    // Rendering pictures leaves nothing in the user's documents folder.
    app.setAutoDumpFolder(work.filePath(QStringLiteral("dumps")));
    Panel::setExitHandler([](int) {});
    Shots shots(folder);

    Port port(app);
    port.show();
    settle();
    shots.save(&port, QStringLiteral("porta"));

    port.Ports->setCurrentText(QString::fromLatin1(kSimulatorPortName));
    port.CmdOK_Click();
    Panel *panel = port.panel();
    auto *emulated = panel ? qobject_cast<EmulatedLink *>(panel->COM()) : nullptr;
    if (!panel || !emulated) {
        std::fprintf(stderr, "the emulated instrument did not start\n");
        return 1;
    }
    // Three recording sets in the logger memory, ended before the clock's time.
    const QDateTime now = QDateTime::currentDateTime();
    emulated->model().addSet(now.addDays(-3).addSecs(-3600), 60, daySwing(240, 21.5, 58.0));
    emulated->model().addSet(now.addDays(-2), 300, daySwing(288, 24.0, 52.0));
    emulated->model().addSet(now.addDays(-1), 10, daySwing(120, 19.0, 66.0));
    emulated->model().setValues(23.45, 55.3);
    SharedState &s = app.state();
    const bool live =
        waitFor([&] { return !panel->linkDown() && panel->LblTemperature->text() == QStringLiteral("23.4"); }, 20000);
    if (!live) {
        std::fprintf(stderr, "no live values from the emulated instrument\n");
        return 1;
    }

    // The live list and chart fill while a recording run on the PC goes on.
    commands::openLiveList(app);
    commands::openLiveChart(app);
    emulated->model().setDrifting(true);
    s.PcSampleSeconds = 1;
    panel->click(QStringLiteral("Save"));
    waitFor([&] { return s.RecordCount >= 8; }, 30000);
    shots.save(panel, QStringLiteral("painel"));
    shots.save(app.liveList, QStringLiteral("list"));
    shots.save(app.liveChart, QStringLiteral("realtime24"));
    {
        RealTimeRange range(app, panel);
        range.show();
        shots.save(&range, QStringLiteral("realtimerange"));
    }
    panel->click(QStringLiteral("Save"));
    commands::closeLiveChart(app);
    commands::closeLiveList(app);
    settle();

    // The logger memory, one of its sets listed, saved and opened as a file.
    int listedRows = 0;
    commands::downloadMemory(app);
    auto *memory = qobject_cast<Memory *>(app.memory.data());
    if (!memory || !waitFor([] { return !Memory::downloading(); }, 60000)) {
        shots.fail("the logger memory did not download");
    } else {
        shots.save(memory, QStringLiteral("memory"));
        // The longest set makes the fullest list; the simulator's own sets
        // come first and are short.
        int row = 0;
        for (int i = 0; i < s.logger.sets.size(); ++i)
            if (row == 0 || s.logger.sets.at(i).size > s.logger.sets.at(row - 1).size)
                row = i + 1;
        listedRows = row > 0 ? s.logger.sets.at(row - 1).size : 0;
        memory->GridSet->setRow(row);
        memory->GridSet_Click();
        auto *dataList = qobject_cast<DataList *>(app.dataList.data());
        if (row == 0 || !dataList || !waitFor([&] { return dataList->GridC->rowCount() == listedRows + 1; }, 30000)) {
            shots.fail("the logger set was not listed");
        } else {
            shots.save(dataList, QStringLiteral("datalist"));
            scripted->answerFile(loggerFile);
            dataList->Toolbar1_ButtonClick(QStringLiteral("Save"));
            settle();
            dataList->close();
        }
        memory->close();
    }
    settle();
    if (!QFileInfo::exists(loggerFile)) {
        shots.fail("the logger set was not saved");
    } else {
        scripted->answerFile(loggerFile);
        commands::openDataFile(app);
        if (!waitFor(
                [&] {
                    return app.fileList && commands::fileListGrid(app) &&
                           commands::fileListGrid(app)->rowCount() == listedRows + 1;
                },
                30000)) {
            shots.fail("the data file was not listed");
        } else {
            shots.save(app.fileList, QStringLiteral("filelist"));
            commands::openFileChart(app);
            settle(3000);
            shots.save(app.fileChart, QStringLiteral("listplot1"));
            PlotRange range(app, panel);
            range.show();
            shots.save(&range, QStringLiteral("plotrange"));
            range.close();
            if (app.fileChart)
                app.fileChart->close();
            app.fileList->close();
        }
    }
    settle();

    // The instrument settings windows.
    {
        Setup setup(app, panel);
        setup.show();
        settle(1500);
        shots.save(&setup, QStringLiteral("setup"));
        setup.done(0);
    }
    {
        SamplingChoice choice(app, panel);
        choice.show();
        shots.save(&choice, QStringLiteral("samplingchoice"));
        choice.done(0);
    }
    app.startPolling();
    settle(1000);
    commands::offset(app);
    if (app.offset && waitFor([&] { return app.offset->isVisible(); }, 10000)) {
        shots.save(app.offset, QStringLiteral("offset"));
        app.offset->close();
    } else {
        shots.fail("the offset window did not open");
    }
    commands::addText(app);
    shots.save(app.addText, QStringLiteral("addtext"));
    if (app.addText)
        app.addText->close();
    settle();

    // The instrument falls silent: the panel blinks "Sem Comunicação".
    emulated->setSilent(true);
    const auto blinkingOn = [&] {
        return panel->LblCOM->text() == Panel::kNoCommunication && panel->LblCOM->isVisible();
    };
    if (!waitFor(blinkingOn, 20000)) {
        shots.fail("the panel did not notice the silent instrument");
    } else {
        settle(1500);
        waitFor(blinkingOn, 5000);
        shots.save(panel, QStringLiteral("painel-sem-comunicacao"), false);
    }
    panel->close();
    delete panel;
    // Every picture the README shows, whatever step above fell short.
    for (const char *name : kPictures) {
        if (!QFileInfo::exists(QDir(folder).filePath(QLatin1String(name) + QStringLiteral(".png")))) {
            std::fprintf(stderr, "missing %s.png\n", name);
            ++shots.failures;
        }
    }
    return shots.failures == 0 ? 0 : 1;
}
