#pragma once

#include <QString>

// The path of the program's own settings file `name` in the user's
// configuration folder (~/.config/termohigrometro/NAME), where every lasting
// setting of the panel lives, one file per concern.
QString configFilePath(const QString &name);
