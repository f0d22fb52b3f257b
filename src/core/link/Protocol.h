#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

class SerialLink;
class Pause;

// Why a sequence gave up (only when it returns false / nullopt).
enum class LinkFailure {
    None,
    Timeout,    // the instrument stayed silent past timeoutSeconds
    Aborted,    // the program is closing (Pause::aborted)
    PortFailed, // the device went away (SerialLink::hasFailed)
};

// What every command sequence needs: the port, the pause, and how long to
// insist. The panel repeats for ever as the instrument protocol says
// (timeoutSeconds < 0); the command-line tool and tests bound the whole call.
struct LinkContext {
    SerialLink &link;
    Pause &pause;
    double timeoutSeconds = -1;              // < 0: repeat for ever; >= 0: give up after that many seconds
    LinkFailure failure = LinkFailure::None; // set when a call gives up
};

// Pauses of the protocol, in seconds.
namespace linkpause {
constexpr double kShort = 0.02; // between sends, and before reading an answer
constexpr double kLong = 0.2;   // after "A", "D" and "C"
} // namespace linkpause

// The 6-byte status frame: STX, pointer high, pointer low, set count, ETX, "K".
struct StatusFrame {
    int pointer = 0;
    int setCount = 0;
};
// Checks the last 6 bytes of an answer to "A"; nullopt when it is not a valid
// status frame (fewer than 6 bytes, wrong STX/ETX/"K", pointer below 1023).
std::optional<StatusFrame> parseStatusFrame(const QByteArray &answer);

// Sends "A" until a valid status frame arrives. False only on timeout, abort
// or port failure (ctx.failure tells which). *statusFrame gets the 6 bytes.
bool LinkHandshake(LinkContext &ctx, QByteArray *statusFrame = nullptr);

// Takes the next 7-byte reading frame from the stream with the instrument's
// retry rules: four 1-second attempts without 7 bytes, and the fifth attempt
// reports no frame whatever it receives; a malformed frame starts over with a
// fresh retry count. onSevenBytes runs each time 7 bytes are about to be
// validated. nullopt: no frame (the caller runs its no-communication routine),
// or timeout/abort/port failure (ctx.failure says which; None for "no frame").
std::optional<QByteArray> ReadLiveFrame(LinkContext &ctx, const std::function<void()> &onSevenBytes = {});

// One identification attempt ("V"): "OldType", "NewType" or empty.
QString identifyInstrument(LinkContext &ctx);

// Discard input, handshake, wait 0.02 s, discard input.
bool prepareLink(LinkContext &ctx);

// ---- Command sequences (the exact sends, pauses and re-reads) ----

// "I","R" -> 2 bytes; repeated from prepareLink until 2 bytes arrive.
std::optional<int> readSamplingInterval(LinkContext &ctx);
// "I","W", value div 256, value mod 256 (value clamped to 1..65535).
bool writeSamplingInterval(LinkContext &ctx, int seconds);

// "P","R" -> first byte of the answer; one attempt; nullopt when nothing came.
std::optional<int> readPowerOffMinutes(LinkContext &ctx);
// "P","W",minutes (clamped 1..255), then "P","A",255.
bool writePowerOff(LinkContext &ctx, int minutes);
// "P","A",0.
bool switchPowerOffOff(LinkContext &ctx);

struct Offsets {
    quint8 flags = 0;      // bit 0: humidity negative; bit 1: temperature negative
    quint8 rhTenths = 0;   // magnitude
    quint8 tempTenths = 0; // magnitude
    int signedRhTenths() const { return (flags & 1) ? -int(rhTenths) : int(rhTenths); }
    int signedTempTenths() const { return (flags & 2) ? -int(tempTenths) : int(tempTenths); }
    // From signed tenths; nullopt when a magnitude exceeds 255.
    static std::optional<Offsets> fromTenths(int rhTenths, int tempTenths);
};
// "B","R" -> 3 bytes; repeated from prepareLink until 3 bytes arrive.
std::optional<Offsets> readOffsets(LinkContext &ctx);
// "B","W", flags, rh, temp.
bool writeOffsets(LinkContext &ctx, const Offsets &offsets);
// Offset text from signed tenths: 0 -> "0.0", 7 -> "0.7", -7 -> "-.7", -125 -> "-12.5".
QString offsetText(int signedTenths);
// Validation of the offset window: values (in %UR and °C) to bytes; nullopt
// when a magnitude is above 25.5 (tenths taken half to even).
std::optional<Offsets> offsetsFromValues(double rh, double temp);
inline const QString kOffsetRangeMessage = QStringLiteral(" -25.5 <= Offset Value <= 25.5 ");

// "T","R" -> 6 BCD bytes; one attempt; nullopt when fewer than 6 arrived.
std::optional<QByteArray> readInstrumentClock(LinkContext &ctx);
// The 6 BCD bytes of a date-time (yy, mm, dd, hh, nn, ss).
QByteArray clockBytes(const QDateTime &t);
// "yy/mm/dd hh:mm:ss" from the hex digits of 6 bytes (upper case).
QString clockText(const QByteArray &six);
// Date-time of 6 BCD bytes (year 2000..2099); invalid when a field is not BCD or out of range.
QDateTime clockDateTime(const QByteArray &six);
// "T","W", 6 BCD bytes.
bool writeInstrumentClock(LinkContext &ctx, const QDateTime &t);

// prepareLink, then "R" unless the instrument already logs.
bool startLogging(LinkContext &ctx, bool instrumentRecording);
// prepareLink, then "S".
bool manualRecord(LinkContext &ctx);
// Status request until valid, wait 0.2 s, "C", wait 0.2 s.
bool clearLoggerMemory(LinkContext &ctx);

// Clamps of the input boxes (after rounding half to even).
int clampSamplingSeconds(double value); // instrument: 1..65535
int clampPcSampleSeconds(double value); // PC: 1..86400
int clampPowerOffMinutes(double value); // 1..255
