#include "platform/ConfigFolder.h"

#include <QDir>
#include <QStandardPaths>

QString configFilePath(const QString &name)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (folder.isEmpty())
        folder = QDir::homePath() + QStringLiteral("/.config");
    return folder + QStringLiteral("/termohigrometro/") + name;
}
