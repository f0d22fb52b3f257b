// The panel publishing to a broker that cannot be reached: CPU and memory of
// the whole process (the emulated instrument runs in it too) while it polls,
// samples every second and keeps trying the broker. Ten minutes by default;
// TH_BENCH_PANEL_MONITOR_SECONDS shortens it.
#include "bench/PanelBench.h"
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

using namespace panelbench;

namespace {

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
    const std::unique_ptr<App> app = makeApp();
    app->setAutoDumpFolder(dir.filePath(QStringLiteral("dumps")));
    Panel panel(*app);
    if (!startPanel(panel))
        return 1;
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
    double elapsed = 0;
    const double share = cpuShareOver(seconds, &elapsed);
    const long rss1 = residentKb();
    std::printf("panel publishing, broker unreachable (%d s, emulated instrument in-process, a sample a second)\n",
                seconds);
    std::printf("  cpu: %.2f %% of one core (%.3f s in %.1f s)\n", 100.0 * share, share * elapsed, elapsed);
    std::printf("  resident memory: %ld kB -> %ld kB (%+ld kB)\n", rss0, rss1, rss1 - rss0);
    std::printf("  samples taken: %llu, frames decoded: %llu, messages queued: %d, dropped: %llu\n",
                (unsigned long long)(m.samples() - samples0), (unsigned long long)panel.framesDecoded(),
                m.mqtt() ? m.mqtt()->queued() : -1, (unsigned long long)(m.mqtt() ? m.mqtt()->dropped() : 0));
    std::printf("  status: %s\n", qPrintable(m.statusText().replace(QLatin1Char('\n'), QLatin1String(" | "))));
    panel.close();
    return 0;
}
