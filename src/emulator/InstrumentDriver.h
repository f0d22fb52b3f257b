#pragma once

#include "emulator/InstrumentModel.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>

#include <functional>

// Puts the instrument model on a wire: the frame stream with its gaps, the
// pause of the stream while a command is received and answered, the answers,
// the fault options, and (optionally) the 9600-baud pacing of every byte.
// Driven by timers of the thread it lives on.
class InstrumentDriver : public QObject {
    Q_OBJECT
public:
    static constexpr double kByteMs = 10.0 / 9.6; // 10 bits at 9600 baud

    explicit InstrumentDriver(const EmulatorOptions &options, QObject *parent = nullptr);

    InstrumentModel &model() { return model_; }
    // Where the bytes the instrument sends go (called with chunks as they are due).
    void setSink(std::function<void(const QByteArray &)> sink) { sink_ = std::move(sink); }

    // Switched on: streams frames; off: sends nothing and drops what is queued.
    void setRunning(bool running);
    bool running() const { return running_; }
    // Bytes the PC sent.
    void receive(const QByteArray &bytes);
    // A silent instrument receives but never sends.
    void setSilent(bool silent);
    bool silent() const { return model_.silent(); }
    // Bytes queued for the wire and not yet sent.
    int queuedBytes() const { return int(queue_.size() - sent_); }
    qint64 nowMs() const { return clock_.elapsed(); }

private:
    void tick();
    void sendFrame();
    void queue(const QByteArray &bytes);
    void flushDue();
    void scheduleDelivery();
    void resumeStream();
    void sendNoise();
    double preciseNow() const { return clock_.nsecsElapsed() / 1e6; }

    InstrumentModel model_;
    std::function<void(const QByteArray &)> sink_;
    QElapsedTimer clock_;
    QTimer frameTimer_;   // next reading frame
    QTimer deliverTimer_; // paced delivery / resumption / command timeout
    QTimer tickTimer_;    // drift, logging, command timeout
    QTimer noiseTimer_;   // line noise in the gap between two frames
    bool running_ = false;
    bool firstFrame_ = true;
    QHash<char, int> answered_; // answers sent per command (for truncatedAnswers)
    QByteArray queue_;
    qsizetype sent_ = 0;
    double wireFreeMs_ = 0;      // when the wire finishes the queued bytes
    QVector<double> due_;        // due time of each queued byte (pacing only)
    bool streamStopped_ = false; // a command is being received or answered
};
