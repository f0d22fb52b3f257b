#pragma once

// A serial line driven by a fuzz input, for the command sequences.
//
// The input is a script for the line: each time a sequence pauses, one control
// byte says how many of the following bytes arrive during that pause (0..31).
// Once the script is used up the line goes quiet, and a little later the pause
// reports the program closing, which must end any sequence that still insists.
#include "core/link/Pause.h"
#include "core/link/SerialLink.h"

#include <cstddef>
#include <cstdint>

class FuzzLink : public SerialLink {
public:
    QByteArray rx;
    QByteArray arrived; // everything the line ever brought, in order
    bool OpenPort(QString * = nullptr) override { return true; }
    void close() override {}
    bool isOpen() const override { return true; }
    QString portName() const override { return QStringLiteral("fuzz"); }
    QByteArray sent;
    void Send(const QByteArray &bytes) override { sent += bytes; }
    using SerialLink::Send;
    QByteArray ReadAnswer() override
    {
        QByteArray out;
        out.swap(rx);
        return out;
    }
    int PendingCount() override { return int(rx.size()); }
    void ClearInput() override { rx.clear(); }
};

class FuzzPause : public Pause {
public:
    FuzzPause(FuzzLink &link, const uint8_t *data, size_t size) : link_(link), data_(data), size_(size) {}

    void Wait(double) override { deliver(); }
    void processEvents() override {}
    bool waitForBytes(SerialLink &, int count, double) override
    {
        deliver();
        return link_.PendingCount() >= count;
    }
    // The quiet line is allowed a few empty pauses (the live reader needs five
    // to report no frame); then the program "closes".
    bool aborted() const override { return quietPauses_ > 16; }
    int pauses() const { return pauses_; }

private:
    void deliver()
    {
        ++pauses_;
        if (pos_ >= size_) {
            ++quietPauses_;
            return;
        }
        const size_t want = data_[pos_] & 31;
        ++pos_;
        const size_t n = qMin<size_t>(want, size_ - pos_);
        const QByteArray chunk(reinterpret_cast<const char *>(data_ + pos_), qsizetype(n));
        pos_ += n;
        link_.rx += chunk;
        link_.arrived += chunk;
    }

    FuzzLink &link_;
    const uint8_t *data_;
    size_t size_;
    size_t pos_ = 0;
    int quietPauses_ = 0;
    int pauses_ = 0;
};
