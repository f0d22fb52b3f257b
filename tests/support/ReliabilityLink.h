#pragma once

// The emulated instrument behind a bad cable: on top of the instrument's own
// fault options, the line goes silent for random stretches, and the answers
// to the PC's requests arrive garbled, cut short or lying about the logger
// memory (a status frame whose pointer or set count is wrong, so the dump
// that follows is shorter or longer than announced). Reading frames of the
// stream are never altered here: a frame that passes STX/ETX is a reading as
// far as any reader can tell, so only the instrument decides what they hold.

#include "emulator/EmulatedLink.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <limits>
#include <memory>

struct LineFaults {
    // Silences: one starts every silenceEveryMs on average and lasts
    // silenceMinMs..silenceMaxMs; 0 = never.
    int silenceEveryMs = 0;
    int silenceMinMs = 200;
    int silenceMaxMs = 2000;
    // Chances, per answer, of each fault.
    double garble = 0;   // some bytes replaced by random ones
    double truncate = 0; // cut at a random length
    double lie = 0;      // status frame with another pointer or set count
    quint32 seed = 1;
};

class HostileLink : public SerialLink {
public:
    HostileLink(const EmulatorOptions &options, const LineFaults &faults)
        : inner_(std::make_unique<EmulatedLink>(options)), faults_(faults), rng_(faults.seed)
    {
        clock_.start();
        scheduleSilence();
        connect(inner_.get(), &SerialLink::bytesArrived, this, &SerialLink::bytesArrived);
        connect(inner_.get(), &SerialLink::portFailed, this, &SerialLink::portFailed);
    }

    EmulatedLink &inner() { return *inner_; }
    void setFaults(const LineFaults &f)
    {
        faults_ = f;
        silentUntil_ = 0;
        scheduleSilence();
    }
    int silences() const { return silences_; }
    int answersSpoilt() const { return spoilt_; }

    bool OpenPort(QString *error = nullptr) override { return inner_->OpenPort(error); }
    void close() override { inner_->close(); }
    bool isOpen() const override { return inner_->isOpen(); }
    QString portName() const override { return inner_->portName(); }
    bool hasFailed() const override { return inner_->hasFailed(); }

    void Send(const QByteArray &bytes) override
    {
        pull();
        inner_->Send(bytes);
        // The next bytes to come are the answer of a request, if it has one.
        const char c = bytes.size() == 1 ? bytes[0] : 0;
        answerExpected_ = c == 'A' || c == 'V' || c == 'D' || (c == 'R' && lastSent_ != 0);
        lastSent_ = (c == 'I' || c == 'P' || c == 'B' || c == 'T') ? c : 0;
    }
    using SerialLink::Send;
    QByteArray ReadAnswer() override
    {
        pull();
        QByteArray out;
        out.swap(rx_);
        return out;
    }
    int PendingCount() override
    {
        pull();
        return int(rx_.size());
    }
    void ClearInput() override
    {
        pull();
        rx_.clear();
    }

private:
    void scheduleSilence()
    {
        nextSilence_ = faults_.silenceEveryMs > 0 ? clock_.elapsed() + 1 + rng_.bounded(2 * faults_.silenceEveryMs)
                                                  : std::numeric_limits<qint64>::max();
    }

    void pull()
    {
        QByteArray in = inner_->ReadAnswer();
        if (in.isEmpty())
            return;
        const qint64 now = clock_.elapsed();
        if (now >= nextSilence_) {
            silentUntil_ = now + faults_.silenceMinMs + rng_.bounded(faults_.silenceMaxMs - faults_.silenceMinMs + 1);
            ++silences_;
            scheduleSilence();
            nextSilence_ = qMax(nextSilence_, silentUntil_ + 1);
        }
        if (now < silentUntil_) {
            answerExpected_ = false;
            return;
        }
        if (answerExpected_) {
            answerExpected_ = false;
            spoil(in);
        }
        rx_ += in;
    }

    void spoil(QByteArray &answer)
    {
        bool spoilt = false;
        if (faults_.lie > 0 && answer.size() >= 6 && rng_.generateDouble() < faults_.lie) {
            // The status frame is the last 6 bytes: STX, pointer, count, ETX, "K".
            const qsizetype p = answer.size() - 6;
            if (answer[p] == 2 && answer[p + 4] == 3 && answer[p + 5] == 'K') {
                if (rng_.bounded(2)) {
                    const int pointer = 1023 + int(rng_.bounded(32767 - 1023));
                    answer[p + 1] = char(pointer >> 8);
                    answer[p + 2] = char(pointer & 255);
                } else {
                    answer[p + 3] = char(rng_.bounded(256));
                }
                spoilt = true;
            }
        }
        if (faults_.garble > 0 && rng_.generateDouble() < faults_.garble) {
            const int n = 1 + int(rng_.bounded(qMax<qsizetype>(1, answer.size() / 4)));
            for (int i = 0; i < n; ++i)
                answer[rng_.bounded(int(answer.size()))] = char(rng_.bounded(256));
            spoilt = true;
        }
        if (faults_.truncate > 0 && rng_.generateDouble() < faults_.truncate) {
            answer.truncate(rng_.bounded(int(answer.size())));
            spoilt = true;
        }
        spoilt_ += spoilt;
    }

    std::unique_ptr<EmulatedLink> inner_;
    LineFaults faults_;
    QRandomGenerator rng_;
    QElapsedTimer clock_;
    QByteArray rx_;
    qint64 nextSilence_ = 0;
    qint64 silentUntil_ = 0;
    bool answerExpected_ = false;
    char lastSent_ = 0;
    int silences_ = 0;
    int spoilt_ = 0;
};
