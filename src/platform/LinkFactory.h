#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QObject;
class SerialLink;

// The name shown in the port list for the in-process emulated instrument.
inline const char *const kSimulatorPortName = "Simulador";

// "COM1".."COM8" -> the platform's first eight serial ports (/dev/ttyS0..7 on
// Linux), "Simulador" -> the emulated instrument, anything else -> a device
// path. The link is not opened yet.
std::unique_ptr<SerialLink> createLink(const QString &name, QObject *parent = nullptr);

// Device path of "COMn" on this platform (the name itself for other names).
QString devicePathFor(const QString &name);

// Every serial port the system reports (USB adapters included).
QStringList availablePorts();
