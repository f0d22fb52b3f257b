#pragma once

// What the panel benchmarks share: an App with scripted prompts and the
// system clock, a main window on the emulated instrument as on the wire, and
// the process's CPU time.
#include "core/state/SharedState.h"
#include "emulator/EmulatedLink.h"
#include "platform/EventPause.h"
#include "platform/Prompts.h"
#include "ui/common/App.h"
#include "ui/panel/Panel.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <memory>

namespace panelbench {

inline double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

inline void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Lets events run for `seconds`; the share of one core the process used
// meanwhile, and the wall time in *elapsed.
inline double cpuShareOver(int seconds, double *elapsed)
{
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    runFor(seconds * 1000);
    *elapsed = wall.elapsed() / 1000.0;
    return (cpuSeconds() - cpu0) / *elapsed;
}

inline std::unique_ptr<App> makeApp()
{
    App::Services services;
    services.prompts = std::make_unique<ScriptedPrompts>();
    services.clock = std::make_unique<SystemClock>();
    services.pause = std::make_unique<EventPause>();
    auto app = std::make_unique<App>(std::move(services));
    Panel::setExitHandler([](int) {});
    // The instrument as on the wire: a frame every 250 ms, every byte at 9600 baud.
    EmulatorOptions options;
    options.bytePacing = true;
    app->setLink(std::make_unique<EmulatedLink>(options));
    sharedState().ComPort = 1;
    sharedState().PortName = QStringLiteral("COM1");
    return app;
}

// Loads and shows `panel`, then waits for live values; false (said on
// stderr) when none come within 20 s.
inline bool startPanel(Panel &panel)
{
    if (!panel.Form_Load())
        return false;
    panel.show();
    QElapsedTimer startup;
    startup.start();
    while (panel.linkDown() && startup.elapsed() < 20000)
        runFor(50);
    if (panel.linkDown()) {
        std::fprintf(stderr, "no live values from the emulated instrument\n");
        return false;
    }
    return true;
}

} // namespace panelbench
