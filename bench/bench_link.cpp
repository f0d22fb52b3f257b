// Logger download of a full memory (pointer 32767) with every byte paced at
// 9600 baud, against the wire time of its bytes; in-process and over a
// pseudo-terminal through QSerialPort.
#include "core/files/Logger.h"
#include "emulator/EmulatedLink.h"
#include "emulator/PtyHost.h"
#include "platform/EventPause.h"
#include "platform/SerialPortLink.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {
EmulatorOptions paced()
{
    EmulatorOptions o;
    o.bytePacing = true;
    o.tempC = 22.0;
    o.rh = 48.0;
    return o;
}

// Seconds from the "D" to the last byte of the dump; -1 when it failed.
double timeDump(SerialLink &link, int *bytes)
{
    EventPause pause;
    LinkContext ctx{link, pause, 30};
    auto status = requestLoggerStatus(ctx);
    if (!status)
        return -1;
    QElapsedTimer t;
    t.start();
    const auto dump = downloadDump(ctx, *status);
    const double s = t.nsecsElapsed() / 1e9;
    if (!dump || dump->size() != expectedDumpLength(status->pointer) || status->pointer != 32767)
        return -1;
    *bytes = int(dump->size());
    return s;
}

void report(const char *where, double seconds, int bytes)
{
    const double wire = bytes * 10.0 / 9600.0;
    std::printf("logger_full_dump_%s_bytes %d\n", where, bytes);
    std::printf("logger_full_dump_%s_wire_time_s %.3f\n", where, wire);
    std::printf("logger_full_dump_%s_s %.3f\n", where, seconds);
    std::printf("logger_full_dump_%s_ratio %.4f (limit 1.05)\n", where, seconds / wire);
    std::fflush(stdout);
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int status = 0;
    {
        EmulatedLink link(paced());
        link.model().fillMemory(0);
        link.OpenPort();
        int bytes = 0;
        const double s = timeDump(link, &bytes);
        if (s < 0) {
            std::printf("logger_full_dump_inprocess FAILED\n");
            status = 1;
        } else {
            report("inprocess", s, bytes);
            status |= s / (bytes * 10.0 / 9600.0) > 1.05;
        }
    }
    {
        PtyHost host(paced());
        QString error;
        if (!host.start(&error)) {
            std::printf("logger_full_dump_pty SKIPPED (%s)\n", qPrintable(error));
            return status;
        }
        host.model().fillMemory(host.driver().nowMs());
        SerialPortLink link(host.devicePath(), host.devicePath());
        if (!link.OpenPort(&error)) {
            std::printf("logger_full_dump_pty FAILED (%s)\n", qPrintable(error));
            return 1;
        }
        int bytes = 0;
        const double s = timeDump(link, &bytes);
        if (s < 0) {
            std::printf("logger_full_dump_pty FAILED\n");
            status = 1;
        } else {
            report("pty", s, bytes);
            status |= s / (bytes * 10.0 / 9600.0) > 1.05;
        }
    }
    return status;
}
