#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QRandomGenerator>
#include <QVector>

#include <optional>

// How the emulated instrument behaves. Fault options model what real cables
// and devices do.
struct EmulatorOptions {
    bool newType = true;         // "NewType" (RRBT) or "OldType" (EEEEEE)
    std::optional<double> tempC; // fixed temperature; drifting when unset
    std::optional<double> rh;    // fixed humidity; drifting when unset
    int frameMs = 250;           // period of the reading frames
    // The stream resumes this long after an answer (or after a command that
    // has none); its first frame then follows one frame period later.
    int resumeMs = 50;
    int initialSets = 0;            // logger sets of plausible data at start
    int initialReadingsPerSet = 60; // readings of each of those sets
    bool bytePacing = false;        // every byte takes the 9600-baud wire time
    QDateTime clock;                // instrument clock at start; the PC's time when invalid

    // Faults
    bool noise = false;           // random bytes between frames
    bool startMidFrame = false;   // the first bytes sent are the tail of a frame
    int truncatedAnswers = 0;     // this many answers are cut short
    bool badFirstDump = false;    // the first "D" answer does not start with RRBT
    int silentAfterCommands = -1; // after this many commands it sends nothing (-1: never)
    quint32 seed = 1;
};

// One recording set of the logger memory.
struct InstrumentSet {
    QDateTime start;
    int interval = 1;           // seconds
    QVector<quint16> rhWords;   // humidity words (without the battery bit)
    QVector<quint16> tempWords; // temperature words
};

// The instrument without any timing: values, status, logger memory, clock,
// settings, and the command parser. Times are milliseconds on the caller's
// monotonic clock. The driver (InstrumentDriver) adds frames and pacing.
class InstrumentModel {
public:
    explicit InstrumentModel(const EmulatorOptions &options = {});

    const EmulatorOptions &options() const { return options_; }
    bool newType() const { return options_.newType; }

    // ---- values and status
    void setValues(double tempC, double rh); // fixes the values (no more drift)
    void setDrifting(bool drifting);
    double tempC() const { return tempC_; }
    double rh() const { return rh_; }
    void setHold(bool hold);
    void setLowBattery(bool low) { lowBattery_ = low; }
    void setLogging(bool logging, qint64 nowMs);
    void setLogging(bool logging) { setLogging(logging, lastDriftMs_); } // at the last known time
    bool hold() const { return hold_; }
    bool lowBattery() const { return lowBattery_; }
    bool logging() const { return logging_; }
    bool memoryFull() const;
    quint8 statusByte() const;

    // ---- settings
    int loggingInterval() const { return interval_; }
    void setLoggingInterval(int seconds) { interval_ = qBound(1, seconds, 65535); }
    int powerOffMinutes() const { return powerOffMinutes_; }
    bool powerOffEnabled() const { return powerOffEnabled_; }
    quint8 offsetFlags() const { return offsetFlags_; }
    quint8 rhOffsetTenths() const { return rhOffset_; }
    quint8 tempOffsetTenths() const { return tempOffset_; }
    void setOffsets(quint8 flags, quint8 rhTenths, quint8 tempTenths);
    // The instrument's clock at nowMs.
    QDateTime clock(qint64 nowMs) const;
    void setClock(const QDateTime &t, qint64 nowMs);

    // ---- logger memory
    const QVector<InstrumentSet> &sets() const { return sets_; }
    // Adds a finished set (start, interval, readings as °C / %).
    bool addSet(const QDateTime &start, int interval, const QVector<QPair<double, double>> &tempRh);
    // Adds `count` sets of plausible data ending before the clock's time.
    void addPlausibleSets(int count, int readingsPerSet, qint64 nowMs);
    // Fills the memory with one long set up to the last address.
    void fillMemory(qint64 nowMs);
    void clearMemory();
    int pointer() const; // 1023 when empty
    int setCount() const { return int(sets_.size()); }
    QByteArray dumpBytes() const; // the full "D" answer

    // ---- the wire
    // The next reading frame (offsets applied; held values while on hold).
    QByteArray frame();
    // Advances drift and logging to nowMs.
    void advance(qint64 nowMs);
    // Feeds bytes received at nowMs; returns the answer to send (possibly empty).
    // *commandDone is set when a command completed with these bytes.
    QByteArray receive(const QByteArray &bytes, qint64 nowMs, bool *commandDone = nullptr);
    // True while a command is half received (the stream stays stopped).
    bool midCommand() const { return state_ != Parse::Idle; }
    // Forgets a half-received command older than the timeout.
    void expireCommand(qint64 nowMs);
    static constexpr int kCommandTimeoutMs = 500;

    // A silent instrument receives but sends nothing (no frames, no answers).
    void setSilent(bool silent) { silent_ = silent; }
    bool silent() const { return silent_; }

    int commandsReceived() const { return commands_; }
    // Letter of the last command executed ("I" for "I","R").
    char lastCommand() const { return lastCommand_; }
    QByteArray receivedLog() const { return log_; }
    void clearReceivedLog() { log_.clear(); }

    QRandomGenerator &random() { return rng_; }

private:
    enum class Parse { Idle, Sub, Data };
    QByteArray execute(char cmd, char sub, const QByteArray &data, qint64 nowMs);
    void recordReading(qint64 nowMs);
    int bytesOf(const InstrumentSet &s) const;
    quint16 rhWord() const;
    quint16 tempWord() const;

    EmulatorOptions options_;
    QRandomGenerator rng_;
    double tempC_ = 23.0;
    double rh_ = 55.0;
    double heldTempC_ = 0, heldRh_ = 0;
    bool tempDrifts_ = true;
    bool rhDrifts_ = true;
    bool hold_ = false;
    bool lowBattery_ = false;
    bool logging_ = false;
    bool silent_ = false;
    qint64 lastDriftMs_ = 0;
    qint64 nextLogMs_ = 0;
    int interval_ = 60;
    int powerOffMinutes_ = 20;
    bool powerOffEnabled_ = true;
    quint8 offsetFlags_ = 0, rhOffset_ = 0, tempOffset_ = 0;
    QDateTime clockBase_; // instrument clock at ms 0
    QVector<InstrumentSet> sets_;

    Parse state_ = Parse::Idle;
    char cmd_ = 0, sub_ = 0;
    QByteArray data_;
    int dataNeeded_ = 0;
    qint64 lastByteMs_ = 0;
    int commands_ = 0;
    char lastCommand_ = 0;
    int dumps_ = 0;
    QByteArray log_;
};
