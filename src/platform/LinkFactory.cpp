#include "platform/LinkFactory.h"

#include "core/link/SerialLink.h"

// Placeholder until the serial port and emulator links land.
std::unique_ptr<SerialLink> createLink(const QString &, QObject *) { return nullptr; }
QString devicePathFor(const QString &name) { return name; }
QStringList availablePorts() { return {}; }
