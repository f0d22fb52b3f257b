#include "core/files/Logger.h"

#include "core/link/LinkGuard.h"
#include "core/reading/Decode.h"

#include <QElapsedTimer>

namespace {
bool isOldType(const QString &type)
{
    return type == QLatin1String("OldType");
}
int headerSize(const QString &type)
{
    return isOldType(type) ? loggermem::kOldHeader : loggermem::kNewHeader;
}
int byteAt(const QByteArray &b, int i)
{
    return quint8(b[i]);
}

std::optional<LoggerStatus> statusWith(LinkContext &ctx, LinkGuard &guard)
{
    QByteArray frame;
    if (!handshakeWith(ctx, guard, &frame))
        return std::nullopt;
    const auto f = parseStatusFrame(frame);
    return LoggerStatus{f->pointer, f->setCount};
}

int fromBcd(int b)
{
    return ((b >> 4) > 9 || (b & 15) > 9) ? -1 : (b >> 4) * 10 + (b & 15);
}
} // namespace

std::optional<LoggerStatus> requestLoggerStatus(LinkContext &ctx)
{
    LinkGuard guard(ctx);
    return statusWith(ctx, guard);
}

int expectedDumpLength(int pointer)
{
    return qBound(loggermem::kEmptyPointer, pointer, loggermem::kMaxPointer) - loggermem::kDumpOverhead;
}

double memoryUsedPercent(int pointer, int setCount)
{
    if (pointer >= loggermem::kFullPointer || setCount >= 255)
        return 100.0;
    return pointer / double(loggermem::kMaxPointer) * 100.0;
}

std::optional<QByteArray> downloadDump(LinkContext &ctx, LoggerStatus &status, const std::function<void(int)> &progress,
                                       double idleSeconds)
{
    SerialLink &link = ctx.link;
    // The limit bounds silence, not the whole dump: a full memory takes about
    // 35 s on the wire, and every arriving chunk shows the instrument is there.
    LinkGuard guard(ctx);
    while (guard.ok()) {
        const int expected = expectedDumpLength(status.pointer);
        QByteArray collected;
        link.DiscardInput();
        link.Send("D");
        guard.wait(linkpause::kLong);
        int shown = -1;
        bool restart = false;
        QElapsedTimer idle;
        idle.start();
        for (;;) {
            const QByteArray chunk = link.ReadAnswer();
            if (!chunk.isEmpty()) {
                collected += chunk;
                idle.restart();
                guard.restart();
            }
            if (collected.isEmpty() || (collected.size() >= 4 && !collected.startsWith("RRBT"))) {
                restart = true;
                break;
            }
            const int received = int(qMin<qsizetype>(collected.size(), expected));
            const int percent = int(100LL * received / expected);
            if (progress && percent != shown) {
                shown = percent;
                progress(percent);
            }
            if (received >= expected)
                break;
            if (!guard.ok())
                return std::nullopt;
            if (idle.elapsed() >= qint64(idleSeconds * 1000)) {
                // The instrument stopped in the middle: keep what came, unless
                // not even the start arrived.
                restart = collected.size() < 4;
                break;
            }
            ctx.pause.waitForBytes(link, 1, qMin(idleSeconds, guard.remaining()));
        }
        if (!restart) {
            // Bytes after the expected length are the stream resuming, not the dump.
            collected.truncate(expected);
            return collected;
        }
        const auto again = statusWith(ctx, guard);
        if (!again)
            return std::nullopt;
        status = *again;
    }
    return std::nullopt;
}

LoggerMemory parseLoggerDump(const QByteArray &collected, const LoggerStatus &status, const QString &instrumentType)
{
    LoggerMemory m;
    m.pointer = status.pointer;
    m.setCount = status.setCount;
    m.collected = collected;
    m.usedPercent = memoryUsedPercent(status.pointer, status.setCount);

    const int expected = expectedDumpLength(status.pointer);
    // "RRBT" first and three closing bytes last; a short dump has no closing bytes to drop.
    QByteArray body = collected.size() >= expected ? collected.mid(4, expected - 7) : collected.mid(4);
    const int header = headerSize(instrumentType);
    const bool old = isOldType(instrumentType);
    int p = 0;
    for (int i = 0; i < status.setCount; ++i) {
        LoggerSet s;
        if (p + header > body.size()) {
            s.block = body.mid(p);
            s.damaged = true;
            p = int(body.size());
            m.sets.append(s);
            continue;
        }
        const QByteArray h = body.mid(p, header);
        if (old) {
            s.interval = byteAt(h, 4) * 60 + byteAt(h, 5);
            s.size = byteAt(h, 6) * 256 + byteAt(h, 7);
        } else {
            s.interval = byteAt(h, 6) * 256 + byteAt(h, 7);
            s.size = byteAt(h, 8) * 256 + byteAt(h, 9);
        }
        const int length = header + loggermem::kReadingBytes * s.size;
        s.block = body.mid(p, length);
        s.damaged = s.block.size() < length;
        p += int(s.block.size());
        m.sets.append(s);
    }
    return m;
}

void resyncAfterDump(LinkContext &ctx)
{
    ctx.link.DiscardInput();
    ctx.link.ClearInput();
    ctx.pause.waitForBytes(ctx.link, 7, 2.0);
    ctx.link.DiscardInput();
}

LoggerDownloadResult downloadLoggerMemory(LinkContext &ctx, const QString &instrumentType, LoggerMemory &out,
                                          const std::function<void(int)> &progress,
                                          const std::function<void(const LoggerStatus &)> &onStatus)
{
    auto status = requestLoggerStatus(ctx);
    if (!status)
        return LoggerDownloadResult::Failed;
    if (status->pointer == loggermem::kEmptyPointer) {
        ctx.link.Send("A");
        return LoggerDownloadResult::Empty;
    }
    if (onStatus)
        onStatus(*status);
    const auto dump = downloadDump(ctx, *status, progress);
    if (!dump)
        return LoggerDownloadResult::Failed;
    out = parseLoggerDump(*dump, *status, instrumentType);
    resyncAfterDump(ctx);
    return LoggerDownloadResult::Ok;
}

int completeReadings(const LoggerSet &set, const QString &instrumentType)
{
    const int room = (int(set.block.size()) - headerSize(instrumentType)) / loggermem::kReadingBytes;
    return qBound(0, room, qMax(0, set.size));
}

QDateTime loggerSetStart(const LoggerSet &set, const QString &instrumentType, const QDate &referenceDate)
{
    // Instrument time has no zone and no daylight saving: reckon in UTC so
    // that readings step evenly through any local clock change.
    const int header = headerSize(instrumentType);
    if (set.block.size() < header)
        return {};
    int v[6] = {0, 0, 0, 0, 0, 0};
    const int fields = isOldType(instrumentType) ? 4 : 6;
    for (int i = 0; i < fields; ++i) {
        v[i] = fromBcd(byteAt(set.block, i));
        if (v[i] < 0)
            return {};
    }
    QDate date;
    QTime time;
    if (isOldType(instrumentType)) {
        const QDate ref = referenceDate.isValid() ? referenceDate : QDate(2000, 1, 1);
        const int year = v[0] > ref.month() ? ref.year() - 1 : ref.year();
        date = QDate(year, v[0], v[1]);
        time = QTime(v[2], v[3], 0);
    } else {
        date = QDate(2000 + v[0], v[1], v[2]);
        time = QTime(v[3], v[4], v[5]);
    }
    if (!date.isValid() || !time.isValid())
        return {};
    return QDateTime(date, time, Qt::UTC);
}

QVector<LoggerRow> listLoggerSet(const LoggerSet &set, const QString &instrumentType, const QDate &referenceDate)
{
    QVector<LoggerRow> rows;
    const QDateTime start = loggerSetStart(set, instrumentType, referenceDate);
    const int header = headerSize(instrumentType);
    const int n = completeReadings(set, instrumentType);
    rows.reserve(n);
    const QChar tab(u'\t');
    for (int j = 1; j <= n; ++j) {
        QString date = QStringLiteral("--/--/----");
        QString time = QStringLiteral("--:--:--");
        if (start.isValid()) {
            const QDateTime t = start.addSecs(qint64(j - 1) * set.interval);
            date = t.toString(QStringLiteral("dd/MM/yyyy"));
            time = t.toString(QStringLiteral("hh:mm:ss"));
        }
        const int off = header + loggermem::kReadingBytes * (j - 1);
        Reading r;
        decodeRecord(r, quint8(set.block[off]), quint8(set.block[off + 1]), quint8(set.block[off + 2]),
                     quint8(set.block[off + 3]));
        const QString lead = QString::number(j) + tab + date + tab + time + tab;
        rows.append({lead + QStringList{r.TempCDot, r.DewCDot, r.WetCDot, r.RhDot}.join(tab),
                     lead + QStringList{r.TempFDot, r.DewFDot, r.WetFDot, r.RhDot}.join(tab)});
    }
    return rows;
}
