// CPU used by the main window while it polls the emulated instrument: the
// pauses must wait on the event loop, not spin.
#include "core/state/SharedState.h"
#include "emulator/EmulatedLink.h"
#include "platform/EventPause.h"
#include "platform/PlatformChatter.h"
#include "platform/Prompts.h"
#include "ui/common/App.h"
#include "ui/panel/Panel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char **argv)
{
    quietPlatformChatter();
    QApplication qapp(argc, argv);
    const int seconds =
        qEnvironmentVariableIsSet("TH_BENCH_SECONDS") ? qEnvironmentVariableIntValue("TH_BENCH_SECONDS") : 60;
    App::Services services;
    services.prompts = std::make_unique<ScriptedPrompts>();
    services.clock = std::make_unique<SystemClock>();
    services.pause = std::make_unique<EventPause>();
    App app(std::move(services));
    Panel::setExitHandler([](int) {});

    // The instrument as on the wire: a frame every 250 ms, every byte at 9600 baud.
    EmulatorOptions options;
    options.bytePacing = true;
    auto link = std::make_unique<EmulatedLink>(options);
    app.setLink(std::move(link));
    sharedState().ComPort = 1;
    sharedState().PortName = QStringLiteral("COM1");

    Panel panel(app);
    if (!panel.Form_Load())
        return 1;
    panel.show();
    QElapsedTimer startup;
    startup.start();
    while (panel.linkDown() && startup.elapsed() < 20000)
        runFor(50);
    if (panel.linkDown()) {
        std::fprintf(stderr, "no live values from the emulated instrument\n");
        return 1;
    }

    const quint64 frames0 = panel.framesDecoded();
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    runFor(seconds * 1000);
    const double cpu = cpuSeconds() - cpu0;
    const double elapsed = wall.elapsed() / 1000.0;
    std::printf("panel polling cpu (%d s, emulated instrument in-process): %.2f %% of one core\n", seconds,
                100.0 * cpu / elapsed);
    std::printf("panel polling cpu time: %.3f s in %.1f s\n", cpu, elapsed);
    std::printf("panel frames decoded: %llu in %.1f s (%.2f per second)\n",
                (unsigned long long)(panel.framesDecoded() - frames0), elapsed,
                (panel.framesDecoded() - frames0) / elapsed);
    panel.close();
    return 0;
}
