#include "core/link/Protocol.h"

#include "core/link/LinkGuard.h"
#include "core/reading/Format.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>

namespace {
constexpr char kStx = 2;
constexpr char kEtx = 3;
// How long ReadLiveFrame takes to report that no frame came: five attempts of one second.
constexpr qint64 kNoFrameMs = 5000;
// A quiet line: no byte for about four byte times at 9600 baud.
constexpr double kQuietSeconds = 0.004;
constexpr int kQuietTries = 10;

void sendPaused(LinkContext &ctx, LinkGuard &guard, const QByteArray &bytes)
{
    ctx.link.Send(bytes);
    guard.wait(linkpause::kShort);
}

// Clamps before rounding so that huge, infinite or NaN answers cannot overflow.
int clampRounded(double value, int low, int high)
{
    if (std::isnan(value) || value < low)
        return low;
    if (value > high)
        return high;
    return int(std::clamp<long long>(roundHalfEven(value), low, high));
}
} // namespace

std::optional<StatusFrame> parseStatusFrame(const QByteArray &answer)
{
    if (answer.size() < 6)
        return std::nullopt;
    const QByteArray f = answer.right(6);
    const int pointer = quint8(f[1]) * 256 + quint8(f[2]);
    if (f[0] != kStx || f[4] != kEtx || f[5] != 'K' || pointer < 1023)
        return std::nullopt;
    return StatusFrame{pointer, quint8(f[3])};
}

bool handshakeWith(LinkContext &ctx, LinkGuard &guard, QByteArray *statusFrame)
{
    while (guard.ok()) {
        ctx.link.DiscardInput();
        ctx.link.Send("A");
        guard.wait(linkpause::kLong);
        const QByteArray answer = ctx.link.ReadAnswer();
        if (parseStatusFrame(answer)) {
            if (statusFrame)
                *statusFrame = answer.right(6);
            return true;
        }
    }
    return false;
}

bool LinkHandshake(LinkContext &ctx, QByteArray *statusFrame)
{
    LinkGuard guard(ctx);
    return handshakeWith(ctx, guard, statusFrame);
}

std::optional<QByteArray> ReadLiveFrame(LinkContext &ctx, const std::function<void()> &onSevenBytes)
{
    LinkGuard guard(ctx);
    SerialLink &link = ctx.link;
    QElapsedTimer garbage; // since the first answer that was not a frame
    for (;;) {
        int retries = 0;
        for (;;) {
            if (!guard.ok())
                return std::nullopt;
            ctx.pause.Wait(linkpause::kShort);
            link.DiscardInput();
            link.ClearInput();
            // A frame caught in the middle goes on arriving after the drop,
            // and its tail with the next frame's head can pass the STX/ETX
            // check when the readings hold the bytes 2 and 3. Start only once
            // the line has been quiet for a few byte times.
            for (int quiet = 0; quiet < kQuietTries && guard.ok(); ++quiet) {
                ctx.pause.Wait(kQuietSeconds);
                if (link.PendingCount() == 0)
                    break;
                link.DiscardInput();
                link.ClearInput();
            }
            // The 1-second limit runs on a monotonic clock, so an attempt that
            // starts just before midnight still ends after one second.
            ctx.pause.waitForBytes(link, 7, qMin(1.0, guard.remaining()));
            if (!guard.ok())
                return std::nullopt;
            if (link.PendingCount() < 7 && retries <= 3) {
                ++retries;
                continue;
            }
            if (retries > 3) {
                link.DiscardInput();
                return std::nullopt; // no frame: ctx.failure stays None
            }
            break;
        }
        if (onSevenBytes)
            onSevenBytes();
        const QByteArray answer = link.ReadAnswer();
        if (answer.size() >= 7 && answer[0] == kStx && answer[6] == kEtx)
            return answer.left(7);
        // Bytes keep coming but never a frame (noise in every gap, a wrong
        // device): after as long as the silent attempts take, this is no
        // frame too, so the caller shows the lost link instead of waiting for ever.
        if (!garbage.isValid())
            garbage.start();
        else if (garbage.elapsed() >= kNoFrameMs) {
            link.DiscardInput();
            return std::nullopt;
        }
    }
}

QString identifyInstrument(LinkContext &ctx)
{
    LinkGuard guard(ctx);
    if (!guard.ok())
        return {};
    ctx.link.DiscardInput();
    ctx.link.Send("V");
    guard.wait(linkpause::kShort);
    const QByteArray answer = ctx.link.ReadAnswer();
    if (answer.size() < 6)
        return {};
    if (answer.left(6) == "EEEEEE")
        return QStringLiteral("OldType");
    if (answer.startsWith("RRBT"))
        return QStringLiteral("NewType");
    return {};
}

bool prepareWith(LinkContext &ctx, LinkGuard &guard)
{
    ctx.link.DiscardInput();
    if (!handshakeWith(ctx, guard, nullptr))
        return false;
    guard.wait(linkpause::kShort);
    ctx.link.DiscardInput();
    return true;
}

bool prepareLink(LinkContext &ctx)
{
    LinkGuard guard(ctx);
    return prepareWith(ctx, guard);
}

namespace {
// prepareLink, the letters, then the answer; repeated until it holds `length` bytes.
std::optional<QByteArray> readRepeated(LinkContext &ctx, const char *letter, int length)
{
    LinkGuard guard(ctx);
    while (guard.ok()) {
        if (!prepareWith(ctx, guard))
            return std::nullopt;
        sendPaused(ctx, guard, letter);
        sendPaused(ctx, guard, "R");
        const QByteArray answer = ctx.link.ReadAnswer();
        if (answer.size() >= length)
            return answer;
    }
    return std::nullopt;
}

// Discard, handshake, discard, wait, then the sends with the short pause between them.
bool writeSequence(LinkContext &ctx, LinkGuard &guard, const QList<QByteArray> &sends, bool discardAfterHandshake)
{
    ctx.link.DiscardInput();
    if (!handshakeWith(ctx, guard, nullptr))
        return false;
    if (discardAfterHandshake)
        ctx.link.DiscardInput();
    guard.wait(linkpause::kShort);
    for (qsizetype i = 0; i < sends.size(); ++i) {
        ctx.link.Send(sends[i]);
        if (i + 1 < sends.size())
            guard.wait(linkpause::kShort);
    }
    return !ctx.link.hasFailed();
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(quint8(v)));
    return b;
}
} // namespace

std::optional<int> readSamplingInterval(LinkContext &ctx)
{
    const auto answer = readRepeated(ctx, "I", 2);
    if (!answer)
        return std::nullopt;
    return quint8(answer->at(0)) * 256 + quint8(answer->at(1));
}

bool writeSamplingInterval(LinkContext &ctx, int seconds)
{
    const int v = qBound(1, seconds, 65535);
    LinkGuard guard(ctx);
    return writeSequence(ctx, guard, {"I", "W", bytes({v / 256, v % 256})}, true);
}

std::optional<int> readPowerOffMinutes(LinkContext &ctx)
{
    LinkGuard guard(ctx);
    if (!prepareWith(ctx, guard))
        return std::nullopt;
    sendPaused(ctx, guard, "P");
    sendPaused(ctx, guard, "R");
    const QByteArray answer = ctx.link.ReadAnswer();
    // Only a byte that arrived is a value.
    if (answer.isEmpty())
        return std::nullopt;
    return int(quint8(answer[0]));
}

bool writePowerOff(LinkContext &ctx, int minutes)
{
    const int m = qBound(1, minutes, 255);
    LinkGuard guard(ctx);
    if (!writeSequence(ctx, guard, {"P", "W", bytes({m})}, true))
        return false;
    return writeSequence(ctx, guard, {"P", "A", bytes({255})}, false);
}

bool switchPowerOffOff(LinkContext &ctx)
{
    LinkGuard guard(ctx);
    return writeSequence(ctx, guard, {"P", "A", bytes({0})}, false);
}

std::optional<Offsets> Offsets::fromTenths(int rhTenths, int tempTenths)
{
    if (qAbs(rhTenths) > 255 || qAbs(tempTenths) > 255)
        return std::nullopt;
    Offsets o;
    o.flags = quint8((rhTenths < 0 ? 1 : 0) | (tempTenths < 0 ? 2 : 0));
    o.rhTenths = quint8(qAbs(rhTenths));
    o.tempTenths = quint8(qAbs(tempTenths));
    return o;
}

std::optional<Offsets> readOffsets(LinkContext &ctx)
{
    const auto answer = readRepeated(ctx, "B", 3);
    if (!answer)
        return std::nullopt;
    Offsets o;
    o.flags = quint8(answer->at(0));
    o.rhTenths = quint8(answer->at(1));
    o.tempTenths = quint8(answer->at(2));
    return o;
}

bool writeOffsets(LinkContext &ctx, const Offsets &offsets)
{
    LinkGuard guard(ctx);
    return writeSequence(ctx, guard, {"B", "W", bytes({offsets.flags, offsets.rhTenths, offsets.tempTenths})}, true);
}

QString offsetText(int signedTenths)
{
    const QString s = QString::number(signedTenths);
    if (s.size() == 1)
        return QStringLiteral("0.") + s;
    return s.left(s.size() - 1) + QLatin1Char('.') + s.right(1);
}

std::optional<Offsets> offsetsFromValues(double rh, double temp)
{
    if (std::isnan(rh) || std::isnan(temp))
        return std::nullopt;
    quint8 flags = 0;
    if (rh < 0) {
        flags |= 1;
        rh = -rh;
    }
    if (temp < 0) {
        flags |= 2;
        temp = -temp;
    }
    if (temp > 25.5 || rh > 25.5)
        return std::nullopt;
    Offsets o;
    o.flags = flags;
    o.rhTenths = quint8(std::clamp<long long>(roundHalfEven(rh * 10), 0, 255));
    o.tempTenths = quint8(std::clamp<long long>(roundHalfEven(temp * 10), 0, 255));
    return o;
}

std::optional<QByteArray> readInstrumentClock(LinkContext &ctx)
{
    LinkGuard guard(ctx);
    if (!prepareWith(ctx, guard))
        return std::nullopt;
    sendPaused(ctx, guard, "T");
    sendPaused(ctx, guard, "R");
    const QByteArray answer = ctx.link.ReadAnswer();
    if (answer.size() < 6)
        return std::nullopt;
    return answer.left(6);
}

QByteArray clockBytes(const QDateTime &t)
{
    // The two decimal digits of each field read as a hexadecimal number: BCD.
    const QString text = t.toString(QStringLiteral("yy/MM/dd HH:mm:ss"));
    QByteArray out;
    for (int pos : {0, 3, 6, 9, 12, 15})
        out.append(char(text.mid(pos, 2).toInt(nullptr, 16)));
    return out;
}

QString clockText(const QByteArray &six)
{
    auto hex = [&](int i) {
        return i < six.size() ? QStringLiteral("%1").arg(quint8(six[i]), 2, 16, QLatin1Char('0')).toUpper()
                              : QStringLiteral("--");
    };
    return hex(0) + '/' + hex(1) + '/' + hex(2) + ' ' + hex(3) + ':' + hex(4) + ':' + hex(5);
}

QDateTime clockDateTime(const QByteArray &six)
{
    if (six.size() < 6)
        return {};
    int v[6];
    for (int i = 0; i < 6; ++i) {
        const quint8 b = quint8(six[i]);
        if ((b >> 4) > 9 || (b & 15) > 9)
            return {};
        v[i] = (b >> 4) * 10 + (b & 15);
    }
    const QDate d(2000 + v[0], v[1], v[2]);
    const QTime t(v[3], v[4], v[5]);
    if (!d.isValid() || !t.isValid())
        return {};
    return QDateTime(d, t);
}

bool writeInstrumentClock(LinkContext &ctx, const QDateTime &t)
{
    LinkGuard guard(ctx);
    ctx.link.DiscardInput();
    if (!handshakeWith(ctx, guard, nullptr))
        return false;
    guard.wait(linkpause::kShort);
    ctx.link.DiscardInput();
    sendPaused(ctx, guard, "T");
    sendPaused(ctx, guard, "W");
    ctx.link.Send(clockBytes(t));
    return !ctx.link.hasFailed();
}

bool startLogging(LinkContext &ctx, bool instrumentRecording)
{
    LinkGuard guard(ctx);
    if (!prepareWith(ctx, guard))
        return false;
    if (!instrumentRecording)
        ctx.link.Send("R");
    return !ctx.link.hasFailed();
}

bool manualRecord(LinkContext &ctx)
{
    LinkGuard guard(ctx);
    if (!prepareWith(ctx, guard))
        return false;
    ctx.link.Send("S");
    return !ctx.link.hasFailed();
}

bool clearLoggerMemory(LinkContext &ctx)
{
    LinkGuard guard(ctx);
    ctx.link.DiscardInput();
    // The status request of the download and its checks.
    if (!handshakeWith(ctx, guard, nullptr))
        return false;
    guard.wait(linkpause::kLong);
    ctx.link.Send("C");
    guard.wait(linkpause::kLong);
    return !ctx.link.hasFailed();
}

int clampSamplingSeconds(double value)
{
    return clampRounded(value, 1, 65535);
}
int clampPcSampleSeconds(double value)
{
    return clampRounded(value, 1, 86400);
}
int clampPowerOffMinutes(double value)
{
    return clampRounded(value, 1, 255);
}
