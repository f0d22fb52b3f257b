// Figures of the core: the wet-bulb search against the 0.01 K stepping it
// replaces, and the speed of reading a full recording file into rows.
#include "core/files/DataFile.h"
#include "core/reading/Decode.h"
#include "core/reading/Format.h"
#include "core/reading/Psychro.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <cstdio>
#include <functional>

namespace {
// Best of several rounds, in nanoseconds per call.
double bestNs(int rounds, int calls, const std::function<void()> &f)
{
    double best = 1e300;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < calls; ++i)
            f();
        best = std::min(best, double(t.nsecsElapsed()) / calls);
    }
    return best;
}

volatile double g_sink;

void benchWetBulb()
{
    setDisplayLocale(QLocale::c());
    Reading r;
    DecodeTemperature(r, 0x2A, 0xF8); // 60.00 °C
    DecodeHumidity(r, 0x00, 0x64);    // 1.00 %
    const double e = 0.01 * r.Rh * psychro::saturationPressure(r.TempC + psychro::kKelvin);
    const double fast = bestNs(5, 2000, [&] {
        ComputeDewWet(r, r.TempCText, r.RhText);
        g_sink = r.WetC;
    });
    // The reference is timed on its search alone, so the ratio is a floor.
    psychro::WetBulb slowResult;
    const double slow = bestNs(5, 20, [&] {
        slowResult = psychro::wetBulbStepping(r.TempC, e);
        g_sink = slowResult.wetC;
    });
    std::printf("ComputeDewWet at 60 °C, 1 %%: %.1f us per reading; 0.01 K stepping (%lld passes): %.1f us; %.0fx "
                "faster\n",
                fast / 1000, slowResult.passes, slow / 1000, slow / fast);
}

void benchDataFile()
{
    QByteArray bytes = recordingFileStart(true);
    const QDateTime start(QDate(2026, 12, 8), QTime(0, 0, 0));
    Reading r;
    setDisplayLocale(QLocale::c());
    for (int i = 1; i <= kRecordsPerFile; ++i) {
        const int tw = 5000 + (i * 37) % 6000, hw = 1 + (i * 101) % 9999;
        decodeRecord(r, quint8(hw >> 8), quint8(hw & 0xFF), quint8(tw >> 8), quint8(tw & 0xFF));
        bytes += encodeDataText(recordLine(i, sampleLine(start.addSecs(2 * i), r, true)) + QLatin1String("\r\n"));
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ensaio.dlf"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        std::printf("data file: cannot write %s\n", qPrintable(path));
        return;
    }
    f.close();
    // Only the reading is timed; freeing the rows of a round is not.
    qsizetype records = 0;
    auto timedRead = [&] {
        DataFileContents c;
        QString error;
        QElapsedTimer t;
        t.start();
        readDataFile(path, c, &error);
        const double ns = double(t.nsecsElapsed());
        records = c.records.size();
        return ns;
    };
    const double cold = timedRead();
    double warm = 1e300;
    for (int i = 0; i < 7; ++i)
        warm = std::min(warm, timedRead());
    const double mb = bytes.size() / 1e6;
    std::printf("Reading a %lld-record data file (%.2f MB) into rows: %.0f MB/s (%.1f ms, best of 7 reads)\n",
                (long long)records, mb, mb / (warm / 1e9), warm / 1e6);
    std::printf("The same, first read into memory the process never touched: %.0f MB/s (%.1f ms)\n", mb / (cold / 1e9),
                cold / 1e6);
}
} // namespace

int main()
{
#ifdef __GLIBC__
    // Keep freed memory in the process between rounds, as a running panel's
    // heap does: otherwise every round pays the kernel's first-touch cost of
    // some 20 MB of rows again, and that is what would be measured.
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
#endif
    benchWetBulb();
    benchDataFile();
    return 0;
}
