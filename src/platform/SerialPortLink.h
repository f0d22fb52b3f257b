#pragma once

#include "core/link/SerialLink.h"

#include <QSerialPort>

// The instrument on a serial port (9600 8N1, no flow control), a USB adapter
// or a pseudo-terminal. A pseudo-terminal refuses some line settings that a
// real port accepts; those refusals are not failures. A device that goes away
// (unplugged adapter, closed pseudo-terminal) is.
class SerialPortLink : public SerialLink {
    Q_OBJECT
public:
    // name: what the user chose ("COM1", "/dev/ttyUSB0"); devicePath: what is opened.
    SerialPortLink(const QString &name, const QString &devicePath, QObject *parent = nullptr);
    ~SerialPortLink() override;

    bool OpenPort(QString *error = nullptr) override;
    void close() override;
    bool isOpen() const override { return port_.isOpen(); }
    QString portName() const override { return name_; }

    void Send(const QByteArray &bytes) override;
    using SerialLink::Send;
    QByteArray ReadAnswer() override;
    int PendingCount() override;
    void ClearInput() override;
    bool hasFailed() const override { return failed_; }

    QString devicePath() const { return path_; }
    // True when the device is a pseudo-terminal.
    bool isPseudoTerminal() const { return pty_; }
    // Settings the device refused without it being a failure (pseudo-terminals).
    QStringList ignoredSettingErrors() const { return ignored_; }

    // Pseudo-terminal slave devices (Linux /dev/pts/N, followed through links).
    static bool isPseudoTerminalPath(const QString &path);

private:
    void onError(QSerialPort::SerialPortError error);
    bool applySetting(bool ok, const char *what, QString *error);

    QSerialPort port_;
    QString name_;
    QString path_;
    bool pty_ = false;
    bool failed_ = false;
    bool opening_ = false;
    QStringList ignored_;
};
