#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// The port operations every command sequence is built from. Received data is
// handled as raw bytes; commands go out as one-letter texts or byte blocks.
// Implementations: the real serial port (platform) and the emulated
// instrument (emulator).
class SerialLink : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SerialLink() override = default;

    // Opens the port with 9600 8N1, no flow control, unless already open.
    // On failure returns false and sets *error to a readable reason.
    virtual bool OpenPort(QString *error = nullptr) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // The name the user chose ("COM1", "/dev/ttyUSB0", "Simulador").
    virtual QString portName() const = 0;

    // Queues bytes for transmission and returns at once.
    virtual void Send(const QByteArray &bytes) = 0;
    void Send(const char *text) { Send(QByteArray(text)); }

    // Everything received and not yet read (possibly empty); removes it.
    virtual QByteArray ReadAnswer() = 0;
    void DiscardInput() { ReadAnswer(); }
    virtual int PendingCount() = 0;
    virtual void ClearInput() = 0;

    // True once the device itself has gone (unplugged adapter, closed pty).
    virtual bool hasFailed() const { return false; }

signals:
    void bytesArrived();
    void portFailed(const QString &reason);
};
