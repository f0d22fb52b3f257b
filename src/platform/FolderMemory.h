#pragma once

#include <QString>

// Where the open and save dialogs start: the folder last used for that kind
// of file (its extension, "dlf", "csv", "png" ...), else the folder last used
// for any file, else the user's documents folder. Kept across runs in a small
// INI file of its own beside the panel's settings, so that losing it costs
// nothing but the folder.
namespace folders {

// The file that keeps the folders (~/.config/termohigrometro/pastas.ini).
QString settingsFile();
// Tests keep their folders in a place of their own.
void setSettingsFile(const QString &path);

// The folder a dialog for files of `kind` opens in; one that no longer
// exists is passed over.
QString startFolder(const QString &kind);
// Notes the folder of `chosenFile` (a file just opened or saved) for `kind`
// and for files of any kind.
void remember(const QString &kind, const QString &chosenFile);

// The file last chosen for `kind` (the certificate a signature used), offered
// next time; empty when none or when it is gone.
QString lastFile(const QString &kind);
void rememberFile(const QString &kind, const QString &file);

} // namespace folders
