#include "platform/LinkFactory.h"

#include "emulator/EmulatedLink.h"
#include "platform/SerialPortLink.h"

#include <QRegularExpression>
#include <QSerialPortInfo>

std::unique_ptr<SerialLink> createLink(const QString &name, QObject *parent)
{
    if (name == QLatin1String(kSimulatorPortName)) {
        // A few recorded sets, so that a user trying the program without an
        // instrument finds something in "Data Logger".
        EmulatorOptions options;
        options.initialSets = 3;
        return std::make_unique<EmulatedLink>(options, parent);
    }
    return std::make_unique<SerialPortLink>(name, devicePathFor(name), parent);
}

QString devicePathFor(const QString &name)
{
    static const QRegularExpression com(QStringLiteral("^COM([1-8])$"));
    const auto m = com.match(name);
    if (!m.hasMatch())
        return name;
#ifdef Q_OS_WIN
    return name;
#else
    return QStringLiteral("/dev/ttyS%1").arg(m.captured(1).toInt() - 1);
#endif
}

QStringList availablePorts()
{
    QStringList out;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        out << info.systemLocation();
    out.sort();
    return out;
}
