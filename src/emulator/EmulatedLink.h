#pragma once

#include "core/link/SerialLink.h"
#include "emulator/InstrumentDriver.h"
#include "emulator/InstrumentModel.h"

// The emulated instrument inside the process, as a serial link: what the PC
// sends reaches the instrument's parser, what the instrument sends lands in
// the receive buffer as it comes off the (optionally paced) wire.
class EmulatedLink : public SerialLink {
    Q_OBJECT
public:
    explicit EmulatedLink(EmulatorOptions options = {}, QObject *parent = nullptr);
    ~EmulatedLink() override;

    bool OpenPort(QString *error = nullptr) override;
    void close() override;
    bool isOpen() const override { return open_; }
    QString portName() const override;

    void Send(const QByteArray &bytes) override;
    using SerialLink::Send;
    QByteArray ReadAnswer() override;
    int PendingCount() override { return int(rx_.size()); }
    void ClearInput() override { rx_.clear(); }
    bool hasFailed() const override { return failed_; }

    InstrumentModel &model() { return driver_.model(); }
    InstrumentDriver &driver() { return driver_; }
    void setSilent(bool silent) { driver_.setSilent(silent); }

    // A removed USB device: the link fails (portFailed), reads return nothing
    // and OpenPort fails until replug().
    void unplug();
    void replug();
    bool plugged() const { return plugged_; }

private:
    InstrumentDriver driver_;
    QByteArray rx_;
    bool open_ = false;
    bool failed_ = false;
    bool plugged_ = true;
};
