#pragma once

#include "core/link/Protocol.h"
#include "core/state/SharedState.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

#include <functional>
#include <optional>

// Size of the instrument's logger memory and the addresses its pointer uses.
namespace loggermem {
constexpr int kEmptyPointer = 1023; // pointer of an empty memory
constexpr int kMaxPointer = 32767;  // last address of the 32 K memory
constexpr int kFullPointer = 32656; // from here on the memory counts as full
constexpr int kDumpOverhead = 1016; // "D" answer length = pointer - 1016
constexpr int kNewHeader = 10;
constexpr int kOldHeader = 8;
constexpr int kReadingBytes = 4;
} // namespace loggermem

struct LoggerStatus {
    int pointer = 0;
    int setCount = 0;
};

// Status request and its checks (discard, "A", 0.2 s, last 6 bytes valid),
// repeated until valid; nullopt on timeout/abort/port failure.
std::optional<LoggerStatus> requestLoggerStatus(LinkContext &ctx);

// Length of the "D" answer for a pointer; a pointer beyond the memory is
// taken as the last address, so the download never waits for more.
int expectedDumpLength(int pointer);

// 100 when the pointer is 32656 or more or there are 255 sets, else pointer / 32767 * 100.
double memoryUsedPercent(int pointer, int setCount);

// The dump: "D", 0.2 s, then collect until the expected length. A dump that
// does not start with "RRBT" (or an empty one) goes back to the status
// request, which may update *status. progress gets 0..100. When the bytes
// stop coming for idleSeconds the dump is taken as it stands (its missing sets
// are flagged as damaged by the parser). nullopt on timeout/abort/port failure.
std::optional<QByteArray> downloadDump(LinkContext &ctx, LoggerStatus &status,
                                       const std::function<void(int)> &progress = {}, double idleSeconds = 3.0);

// Splits a dump into its sets by the layout of the instrument type. Never
// reads beyond what arrived: a set whose header or readings are missing is
// kept with damaged = true and only its complete readings in the block; sets
// beyond the header's count are ignored.
LoggerMemory parseLoggerDump(const QByteArray &collected, const LoggerStatus &status, const QString &instrumentType);

// After a dump: discard, clear, wait until 7 bytes arrive or 2 s pass, discard.
void resyncAfterDump(LinkContext &ctx);

enum class LoggerDownloadResult { Ok, Empty, Failed };
// The whole download for callers without a window (steps 3 to 11): status,
// empty memory (then "A" once more and Empty), dump, parse, resync.
// onStatus runs once the status is valid and the memory is not empty.
LoggerDownloadResult downloadLoggerMemory(LinkContext &ctx, const QString &instrumentType, LoggerMemory &out,
                                          const std::function<void(int)> &progress = {},
                                          const std::function<void(const LoggerStatus &)> &onStatus = {});

// Number of readings of a set whose 4 bytes all arrived.
int completeReadings(const LoggerSet &set, const QString &instrumentType);

// Start of a set. NewType: bytes 1..6 BCD year, month, day, hour, minute,
// second. OldType: bytes 1..4 BCD month, day, hour, minute (seconds 0); the
// header has no year, so the year is the one of referenceDate, or the year
// before when that month lies after referenceDate's month.
// Invalid when the bytes are not a valid date-time.
QDateTime loggerSetStart(const LoggerSet &set, const QString &instrumentType,
                         const QDate &referenceDate = QDate::currentDate());

// One row per reading, as the logger data list's grids receive them:
// j TAB DD/MM/YYYY TAB hh:nn:ss TAB temp TAB dew TAB wet TAB rh.
struct LoggerRow {
    QString celsiusLine;
    QString fahrenheitLine;
};
QVector<LoggerRow> listLoggerSet(const LoggerSet &set, const QString &instrumentType,
                                 const QDate &referenceDate = QDate::currentDate());
