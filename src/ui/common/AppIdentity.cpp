#include "ui/common/AppIdentity.h"

#include <QGuiApplication>

void setApplicationIdentity()
{
    QGuiApplication::setApplicationName(QStringLiteral("termohigrometro"));
    QGuiApplication::setDesktopFileName(QStringLiteral("termohigrometro"));
    QGuiApplication::setApplicationVersion(QStringLiteral(TH_VERSION));
}
