// libFuzzer target: the logger dump parser and the download that feeds it
// take any bytes. A dump may lie about its length and its set count, stop
// half-way, or start with anything; the parser never reads past what
// arrived, and the listing of every set gives whole rows.
//
// Input: byte 0 chooses the path and the instrument type. Parse path: bytes
// 1..3 are the status (pointer high, low, set count), the rest the dump.
// Download path: the rest is a script for the line (FuzzLine.h).
#include "FuzzLine.h"

#include "core/files/Logger.h"

#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void checkMemory(const LoggerMemory &m, const LoggerStatus &status, const QString &type)
{
    check(m.sets.size() == status.setCount);
    check(m.usedPercent >= 0 && m.usedPercent <= 100);
    const int header = type == QLatin1String("OldType") ? loggermem::kOldHeader : loggermem::kNewHeader;
    qsizetype total = 0;
    for (const LoggerSet &s : m.sets) {
        total += s.block.size();
        const int complete = completeReadings(s, type);
        check(complete >= 0 && complete <= qMax(0, s.size));
        if (!s.damaged)
            check(s.block.size() == header + 4LL * s.size && complete == s.size);
        const QVector<LoggerRow> rows = listLoggerSet(s, type, QDate(2026, 12, 8));
        check(rows.size() == complete);
        const QDateTime start = loggerSetStart(s, type, QDate(2026, 12, 8));
        for (int j = 0; j < rows.size(); ++j) {
            for (const QString &line : {rows[j].celsiusLine, rows[j].fahrenheitLine}) {
                const QStringList f = line.split(QLatin1Char('\t'));
                check(f.size() == 7 && f[0] == QString::number(j + 1));
                check(f[1].size() == 10 && f[2].size() == 8);
                for (int c = 3; c < 7; ++c)
                    check(!f[c].isEmpty());
            }
            if (start.isValid())
                check(!rows[j].celsiusLine.contains(QLatin1String("--/--")));
        }
    }
    // The sets together never hold more than the dump's body.
    check(total <= qMax<qsizetype>(0, m.collected.size() - 4));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 4)
        return 0;
    const QString type = (data[0] & 1) ? QStringLiteral("OldType") : QStringLiteral("NewType");
    if (!(data[0] & 2)) {
        LoggerStatus status{data[1] * 256 + data[2], data[3]};
        if (status.pointer < loggermem::kEmptyPointer)
            status.pointer += loggermem::kEmptyPointer;
        const QByteArray collected(reinterpret_cast<const char *>(data + 4), qsizetype(size - 4));
        const LoggerMemory m = parseLoggerDump(collected, status, type);
        checkMemory(m, status, type);
        return 0;
    }

    FuzzLink link;
    FuzzPause pause(link, data + 1, size - 1);
    LinkContext ctx{link, pause};
    LoggerMemory m;
    LoggerStatus seen;
    int last = -1;
    const LoggerDownloadResult r = downloadLoggerMemory(
        ctx, type, m,
        [&](int percent) {
            check(percent >= 0 && percent <= 100);
            last = percent;
        },
        [&](const LoggerStatus &s) { seen = s; });
    if (r == LoggerDownloadResult::Ok) {
        // The dump kept is the one asked for: it starts with RRBT and is not
        // longer than the pointer of the last status request says.
        check(m.collected.startsWith("RRBT"));
        check(m.collected.size() <= expectedDumpLength(m.pointer));
        check(last >= 0);
        checkMemory(m, LoggerStatus{m.pointer, m.setCount}, type);
    }
    // Only the protocol's letters go out.
    for (char c : link.sent)
        check(c == 'A' || c == 'D');
    check(seen.pointer == 0 || seen.pointer >= loggermem::kEmptyPointer);
    return 0;
}
