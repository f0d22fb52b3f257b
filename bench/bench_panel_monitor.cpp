// The panel publishing to a broker that cannot be reached: CPU and memory of
// the whole process (the emulated instrument runs in it too) while it polls,
// samples every second and keeps trying the broker. Ten minutes by default;
// TH_BENCH_PANEL_MONITOR_SECONDS shortens it.
#include "core/state/SharedState.h"
#include "emulator/EmulatedLink.h"
#include "net/MqttSink.h"
#include "platform/EventPause.h"
#include "platform/PlatformChatter.h"
#include "platform/Prompts.h"
#include "ui/common/App.h"
#include "ui/monitor/PanelMonitor.h"
#include "ui/panel/Panel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
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

// Resident memory of this process, in kB.
long residentKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    // A /proc file has no size: read it whole, not up to atEnd().
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
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
    const int seconds = qEnvironmentVariableIsSet("TH_BENCH_PANEL_MONITOR_SECONDS")
                            ? qMax(10, qEnvironmentVariableIntValue("TH_BENCH_PANEL_MONITOR_SECONDS"))
                            : 600;
    QTemporaryDir dir;
    PanelSettings::setFile(dir.filePath(QStringLiteral("painel.ini")));
    App::Services services;
    services.prompts = std::make_unique<ScriptedPrompts>();
    services.clock = std::make_unique<SystemClock>();
    services.pause = std::make_unique<EventPause>();
    App app(std::move(services));
    app.setAutoDumpFolder(dir.filePath(QStringLiteral("dumps")));
    Panel::setExitHandler([](int) {});

    // The instrument as on the wire: a frame every 250 ms, every byte at 9600 baud.
    EmulatorOptions options;
    options.bytePacing = true;
    app.setLink(std::make_unique<EmulatedLink>(options));
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
    sharedState().PcSampleSeconds = 1;

    // A documentation address (TEST-NET-1): nothing answers there, so every
    // attempt waits for its time limit or fails at once, as a lab's broker
    // behind a dead switch would.
    PanelMonitor &m = *panel.monitor();
    PublishOptions p;
    p.enabled = true;
    p.host = QStringLiteral("192.0.2.1");
    p.id = QStringLiteral("bench");
    Limits limits;
    limits[Quantity::Temperature].high = 0; // every sample outside: alarm events queue too
    m.setAlarmSettings(limits, 1, false);
    m.setPublishing(p, std::nullopt);

    runFor(10000); // settle: first attempts, caches, the first queued messages
    const long rss0 = residentKb();
    const quint64 samples0 = m.samples();
    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    runFor(seconds * 1000);
    const double cpu = cpuSeconds() - cpu0;
    const double elapsed = wall.elapsed() / 1000.0;
    const long rss1 = residentKb();
    std::printf("panel publishing, broker unreachable (%d s, emulated instrument in-process, a sample a second)\n",
                seconds);
    std::printf("  cpu: %.2f %% of one core (%.3f s in %.1f s)\n", 100.0 * cpu / elapsed, cpu, elapsed);
    std::printf("  resident memory: %ld kB -> %ld kB (%+ld kB)\n", rss0, rss1, rss1 - rss0);
    std::printf("  samples taken: %llu, frames decoded: %llu, messages queued: %d, dropped: %llu\n",
                (unsigned long long)(m.samples() - samples0), (unsigned long long)panel.framesDecoded(),
                m.mqtt() ? m.mqtt()->queued() : -1, (unsigned long long)(m.mqtt() ? m.mqtt()->dropped() : 0));
    std::printf("  status: %s\n", qPrintable(m.statusText().replace(QLatin1Char('\n'), QLatin1String(" | "))));
    panel.close();
    return 0;
}
