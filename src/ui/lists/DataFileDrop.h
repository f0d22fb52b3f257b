#pragma once

#include <QString>
#include <QStringList>

class App;
class QMimeData;
class QWidget;

// The data file among dragged items: the first local file named *.dlf (any
// case), or an empty text when there is none.
QString droppedDataFile(const QMimeData *mime);
// Every local file named *.dlf among them, in their order.
QStringList droppedDataFiles(const QMimeData *mime);

// Lets `window` take a data file dropped from the file manager: it opens in
// the file list as "Open" would open it. Other drops are refused, so the
// pointer shows they are not taken.
void acceptDataFileDrops(QWidget *window, App &app);
