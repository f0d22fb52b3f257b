#include "platform/PlatformChatter.h"

#include <QString>
#include <QtGlobal>

namespace {
QtMessageHandler g_next = nullptr;

bool isPlatformChatter(const QString &message)
{
    return message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")) ||
           message == QLatin1String("This plugin does not support propagateSizeHints()");
}

void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && isPlatformChatter(message))
        return;
    g_next(type, context, message);
}
} // namespace

void quietPlatformChatter()
{
    if (!g_next)
        g_next = qInstallMessageHandler(handler);
}
