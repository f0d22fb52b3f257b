#include "app/Screenshots.h"
#include "core/link/Pause.h"

#include "emulator/EmulatedLink.h"
#include "platform/LinkFactory.h"
#include "ui/common/App.h"
#include "ui/panel/Panel.h"
#include "ui/panel/Port.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

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

void settle()
{
    waitFor([] { return false; }, 300);
}

bool save(QWidget *w, const QString &path)
{
    const bool ok = w->grab().save(path, "PNG");
    std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}

} // namespace

int renderScreenshots(const QString &folder)
{
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
        return 1;
    }
    const QDir dir(folder);
    QTemporaryDir work;
    sharedState() = SharedState{};

    // No dialog may wait for a user here: the file of the recording run is
    // answered in advance.
    App::Services services = App::realServices();
    auto prompts = std::make_unique<ScriptedPrompts>();
    prompts->answerFile(work.filePath(QStringLiteral("ensaio.dlf")));
    services.prompts = std::move(prompts);
    App app(std::move(services));
    Panel::setExitHandler([](int) {});

    int failures = 0;
    Port port(app);
    port.show();
    settle();
    failures += !save(&port, dir.filePath(QStringLiteral("porta.png")));

    port.Ports->setCurrentText(QString::fromLatin1(kSimulatorPortName));
    port.CmdOK_Click();
    Panel *panel = port.panel();
    auto *emulated = panel ? qobject_cast<EmulatedLink *>(panel->COM()) : nullptr;
    if (!panel || !emulated) {
        std::fprintf(stderr, "the emulated instrument did not start\n");
        return 1;
    }
    emulated->model().setValues(23.45, 55.3);
    SharedState &s = app.state();
    const bool live =
        waitFor([&] { return !panel->linkDown() && panel->LblTemperature->text() == QStringLiteral("23.4"); }, 20000);
    if (!live) {
        std::fprintf(stderr, "no live values from the emulated instrument\n");
        return 1;
    }
    // A recording run on the PC, so the counter and the file name show.
    s.PcSampleSeconds = 1;
    panel->click(QStringLiteral("Save"));
    waitFor([&] { return s.RecordCount >= 3; }, 15000);
    settle();
    failures += !save(panel, dir.filePath(QStringLiteral("painel.png")));
    panel->click(QStringLiteral("Save"));

    // The instrument falls silent: the panel blinks "Sem Comunicação".
    emulated->setSilent(true);
    const bool lost =
        waitFor([&] { return panel->LblCOM->text() == Panel::kNoCommunication && panel->LblCOM->isVisible(); }, 20000);
    if (!lost) {
        std::fprintf(stderr, "the panel did not notice the silent instrument\n");
        ++failures;
    } else {
        failures += !save(panel, dir.filePath(QStringLiteral("painel-sem-comunicacao.png")));
    }
    panel->close();
    delete panel;
    return failures == 0 ? 0 : 1;
}
