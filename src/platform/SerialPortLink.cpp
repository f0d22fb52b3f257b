#include "platform/SerialPortLink.h"

#include <QFileInfo>
#include <QScopeGuard>

#ifdef Q_OS_LINUX
#include <sys/stat.h>
#include <sys/sysmacros.h>
#endif

SerialPortLink::SerialPortLink(const QString &name, const QString &devicePath, QObject *parent)
    : SerialLink(parent), name_(name), path_(devicePath)
{
    port_.setParent(this);
    connect(&port_, &QSerialPort::readyRead, this, &SerialLink::bytesArrived);
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialPortLink::onError);
}

SerialPortLink::~SerialPortLink()
{
    port_.close();
}

bool SerialPortLink::isPseudoTerminalPath(const QString &path)
{
    const QString real = QFileInfo(path).canonicalFilePath();
    if (real.startsWith(QLatin1String("/dev/pts/")))
        return true;
#ifdef Q_OS_LINUX
    struct stat st;
    // Unix98 pseudo-terminal slaves have the major numbers 136 to 143.
    if (!real.isEmpty() && ::stat(real.toLocal8Bit().constData(), &st) == 0 && S_ISCHR(st.st_mode))
        return major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
#endif
    return false;
}

bool SerialPortLink::applySetting(bool ok, const char *what, QString *error)
{
    if (ok)
        return true;
    const QString reason = QStringLiteral("%1: %2").arg(QLatin1String(what), port_.errorString());
    if (pty_) {
        // A pseudo-terminal has no line to set; the bytes still flow.
        ignored_ << reason;
        port_.clearError();
        return true;
    }
    if (error)
        *error = reason;
    return false;
}

bool SerialPortLink::OpenPort(QString *error)
{
    if (port_.isOpen())
        return true;
    failed_ = false;
    ignored_.clear();
    pty_ = isPseudoTerminalPath(path_);
    port_.setPortName(path_);
    // Refusals while opening are answered here, with the system's reason;
    // the error handler would clear it before it could be read.
    opening_ = true;
    const auto openingDone = qScopeGuard([this] { opening_ = false; });
    if (!port_.open(QIODevice::ReadWrite)) {
        if (error)
            *error = port_.errorString();
        port_.clearError();
        return false;
    }
    const bool ok = applySetting(port_.setBaudRate(QSerialPort::Baud9600), "baud rate", error) &&
                    applySetting(port_.setDataBits(QSerialPort::Data8), "data bits", error) &&
                    applySetting(port_.setParity(QSerialPort::NoParity), "parity", error) &&
                    applySetting(port_.setStopBits(QSerialPort::OneStop), "stop bits", error) &&
                    applySetting(port_.setFlowControl(QSerialPort::NoFlowControl), "flow control", error);
    if (!ok) {
        port_.clearError();
        port_.close();
        return false;
    }
    return true;
}

void SerialPortLink::close()
{
    port_.close();
}

void SerialPortLink::Send(const QByteArray &bytes)
{
    if (!port_.isOpen() || failed_)
        return;
    port_.write(bytes);
    // Hand the bytes to the device now: a caller that ends right after its
    // last send must not lose them.
    port_.flush();
}

QByteArray SerialPortLink::ReadAnswer()
{
    if (!port_.isOpen())
        return {};
    return port_.readAll();
}

int SerialPortLink::PendingCount()
{
    if (!port_.isOpen())
        return 0;
    return int(port_.bytesAvailable());
}

void SerialPortLink::ClearInput()
{
    if (port_.isOpen())
        port_.clear(QSerialPort::Input);
}

void SerialPortLink::onError(QSerialPort::SerialPortError error)
{
    if (opening_)
        return;
    switch (error) {
    case QSerialPort::NoError:
    case QSerialPort::OpenError: // reported by OpenPort itself
    case QSerialPort::TimeoutError: return;
    case QSerialPort::UnsupportedOperationError:
    case QSerialPort::UnknownError:
        // Settings and line-state calls a pseudo-terminal cannot honour.
        if (pty_ || port_.isOpen()) {
            ignored_ << port_.errorString();
            port_.clearError();
            return;
        }
        break;
    default: break;
    }
    // The device itself is gone or unusable: removed adapter, closed pty.
    if (failed_)
        return;
    failed_ = true;
    const QString reason = port_.errorString();
    port_.clearError();
    if (port_.isOpen())
        port_.close();
    emit portFailed(reason);
}
