#include "ui/common/App.h"
#include "ui/common/Commands.h"

// Placeholders until the list windows land.
namespace commands {
void openLiveList(App &) {}
void appendLiveRow(App &, const QString &, const QString &) {}
void closeLiveList(App &) {}
void openDataFile(App &) {}
const GridSource *fileListGrid(App &) { return nullptr; }
void fileListTexts(App &, QString &, QString &, QString &) {}
} // namespace commands
