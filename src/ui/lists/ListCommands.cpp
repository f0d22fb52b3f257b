#include "core/files/TextFile.h"
#include "ui/common/App.h"
#include "ui/common/Commands.h"
#include "ui/lists/FileList.h"
#include "ui/lists/List.h"
#include "ui/lists/ListOps.h"

#include <QFileInfo>

namespace commands {

void openLiveList(App &app)
{
    SharedState &s = app.state();
    if (s.ListOpen)
        return;
    s.ListSplitNo = 0;
    s.ListRowCount = 0;
    s.ListUnitCelsius = s.CelsiusDisplay;
    auto *w = new List(app, app.mainWindow());
    app.liveList = w;
    w->show();
    s.ListOpen = true;
}

void appendLiveRow(App &app, const QString &celsiusLine, const QString &fahrenheitLine)
{
    if (auto *w = qobject_cast<List *>(app.liveList.data()))
        w->appendRow(celsiusLine, fahrenheitLine);
}

void closeLiveList(App &app)
{
    if (QWidget *w = app.liveList) {
        app.liveList = nullptr;
        w->close();
    }
    app.state().ListOpen = false;
}

void openDataFile(App &app)
{
    if (app.state().PcRecording) {
        app.refuseRecording();
        return;
    }
    const Prompts::FileChoice choice = app.prompts().openFile(texts::kDataFilter);
    if (!choice.accepted || choice.fileName.isEmpty())
        return;
    openDataFileAt(app, choice.fileName, choice.fileTitle);
}

bool openDataFileAt(App &app, const QString &path, const QString &title)
{
    SharedState &s = app.state();
    if (s.PcRecording) {
        app.refuseRecording();
        return false;
    }
    QByteArray bytes;
    QString error;
    if (!readFileBytes(path, bytes, &error)) {
        app.showError(listtexts::openFailed(error));
        return false;
    }
    if (app.fileList) {
        QWidget *old = app.fileList;
        app.fileList = nullptr;
        old->close();
    }
    s.FileListOpen = true;
    auto *w = new FileList(app, app.mainWindow());
    app.fileList = w;
    const QString caption = title.isEmpty() ? QFileInfo(path).fileName() : title;
    w->setWindowTitle(caption);
    w->setFilePath(path);
    w->show();
    BusyCursor busy;
    w->loadData(bytes, caption);
    return true;
}

const GridSource *fileListGrid(App &app)
{
    if (auto *w = qobject_cast<FileList *>(app.fileList.data()))
        return w->unitGrid();
    return nullptr;
}

void fileListTexts(App &app, QString &name, QString &sector, QString &company)
{
    name.clear();
    sector.clear();
    company.clear();
    if (auto *w = qobject_cast<FileList *>(app.fileList.data())) {
        name = w->name();
        sector = w->sector();
        company = w->company();
    }
}

} // namespace commands
