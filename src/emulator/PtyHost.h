#pragma once

#include "emulator/InstrumentDriver.h"

#include <QObject>
#include <QSocketNotifier>
#include <QString>

#include <memory>

// The emulated instrument on a Linux pseudo-terminal: programs open the
// device path (a /dev/pts/N) as they would open a serial port.
class PtyHost : public QObject {
    Q_OBJECT
public:
    explicit PtyHost(const EmulatorOptions &options, QObject *parent = nullptr);
    ~PtyHost() override;

    // Creates the pseudo-terminal; false with *error when it cannot.
    bool start(QString *error = nullptr);
    // The path clients open.
    QString devicePath() const { return path_; }
    // Also offers the device under this path (a symbolic link); false when it cannot be made.
    bool linkAs(const QString &path, QString *error = nullptr);

    InstrumentModel &model() { return driver_.model(); }
    InstrumentDriver &driver() { return driver_; }

private:
    void readMaster();
    void write(const QByteArray &bytes);

    InstrumentDriver driver_;
    int master_ = -1;
    int slave_ = -1; // kept open so the line stays raw and the master never sees a hang-up
    QString path_;
    QString link_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::unique_ptr<QSocketNotifier> writeNotifier_;
    QByteArray pending_; // bytes the pty could not take yet
};
