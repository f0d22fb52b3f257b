#include "platform/FolderMemory.h"

#include "platform/ConfigFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace folders {
namespace {
QString &fileOverride()
{
    static QString path;
    return path;
}

const QString kAny = QStringLiteral("any");

// `group`/`kind`: "folders/dlf", "files/certificado".
QString key(const QString &kind, const QString &group = QStringLiteral("folders"))
{
    // A key of letters and digits only: QSettings gives "/" and "\" meanings.
    QString k;
    for (QChar c : kind.toLower())
        if (c.isLetterOrNumber())
            k += c;
    return group + QLatin1Char('/') + (k.isEmpty() ? kAny : k);
}

bool usable(const QString &folder)
{
    return !folder.isEmpty() && QFileInfo(folder).isDir();
}
} // namespace

QString settingsFile()
{
    if (!fileOverride().isEmpty())
        return fileOverride();
    return configFilePath(QStringLiteral("pastas.ini"));
}

void setSettingsFile(const QString &path)
{
    fileOverride() = path;
}

QString startFolder(const QString &kind)
{
    const QSettings s(settingsFile(), QSettings::IniFormat);
    for (const QString &k : {key(kind), key(kAny)}) {
        const QString folder = s.value(k).toString();
        if (usable(folder))
            return folder;
    }
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return usable(docs) ? docs : QDir::homePath();
}

void remember(const QString &kind, const QString &chosenFile)
{
    if (chosenFile.isEmpty())
        return;
    const QString folder = QFileInfo(chosenFile).absolutePath();
    QDir().mkpath(QFileInfo(settingsFile()).absolutePath());
    QSettings s(settingsFile(), QSettings::IniFormat);
    s.setValue(key(kind), folder);
    s.setValue(key(kAny), folder);
    // A folder that cannot be kept is no reason to trouble the user.
    s.sync();
}

QString lastFile(const QString &kind)
{
    const QSettings s(settingsFile(), QSettings::IniFormat);
    const QString file = s.value(key(kind, QStringLiteral("files"))).toString();
    return QFileInfo::exists(file) ? file : QString();
}

void rememberFile(const QString &kind, const QString &file)
{
    if (file.isEmpty())
        return;
    QDir().mkpath(QFileInfo(settingsFile()).absolutePath());
    QSettings s(settingsFile(), QSettings::IniFormat);
    s.setValue(key(kind, QStringLiteral("files")), QFileInfo(file).absoluteFilePath());
    s.sync();
}

} // namespace folders
