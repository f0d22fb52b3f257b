#include "emulator/EmulatedLink.h"

EmulatedLink::EmulatedLink(EmulatorOptions options, QObject *parent) : SerialLink(parent), driver_(options, this)
{
    driver_.setSink([this](const QByteArray &bytes) {
        if (!open_)
            return;
        rx_.append(bytes);
        emit bytesArrived();
    });
}

EmulatedLink::~EmulatedLink()
{
    driver_.setRunning(false);
}

bool EmulatedLink::OpenPort(QString *error)
{
    if (open_)
        return true;
    if (!plugged_) {
        if (error)
            *error = QStringLiteral("the device is not connected");
        return false;
    }
    open_ = true;
    failed_ = false;
    rx_.clear();
    driver_.setRunning(true);
    return true;
}

void EmulatedLink::close()
{
    open_ = false;
    rx_.clear();
    driver_.setRunning(false);
}

QString EmulatedLink::portName() const
{
    return QStringLiteral("Simulador");
}

void EmulatedLink::Send(const QByteArray &bytes)
{
    if (open_ && !failed_)
        driver_.receive(bytes);
}

QByteArray EmulatedLink::ReadAnswer()
{
    QByteArray out;
    out.swap(rx_);
    return out;
}

void EmulatedLink::unplug()
{
    plugged_ = false;
    if (!open_)
        return;
    open_ = false;
    failed_ = true;
    rx_.clear();
    driver_.setRunning(false);
    emit portFailed(QStringLiteral("the device was removed"));
}

void EmulatedLink::replug()
{
    plugged_ = true;
}
