// CPU used by the main window while it polls the emulated instrument: the
// pauses must wait on the event loop, not spin.
#include "bench/PanelBench.h"
#include "platform/PlatformChatter.h"

#include <QApplication>

using namespace panelbench;

int main(int argc, char **argv)
{
    quietPlatformChatter();
    QApplication qapp(argc, argv);
    const int seconds =
        qEnvironmentVariableIsSet("TH_BENCH_SECONDS") ? qEnvironmentVariableIntValue("TH_BENCH_SECONDS") : 60;
    const std::unique_ptr<App> app = makeApp();
    Panel panel(*app);
    if (!startPanel(panel))
        return 1;

    const quint64 frames0 = panel.framesDecoded();
    double elapsed = 0;
    const double share = cpuShareOver(seconds, &elapsed);
    std::printf("panel polling cpu (%d s, emulated instrument in-process): %.2f %% of one core\n", seconds,
                100.0 * share);
    std::printf("panel polling cpu time: %.3f s in %.1f s\n", share * elapsed, elapsed);
    std::printf("panel frames decoded: %llu in %.1f s (%.2f per second)\n",
                (unsigned long long)(panel.framesDecoded() - frames0), elapsed,
                (panel.framesDecoded() - frames0) / elapsed);
    panel.close();
    return 0;
}
