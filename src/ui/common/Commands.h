#pragma once

#include <QString>

class App;
class QWidget;

// Read access to a list grid's cells (row 0 is the heading row).
struct GridSource {
    virtual ~GridSource() = default;
    virtual int rowCount() const = 0;
    virtual QString cell(int row, int column) const = 0;
};

// Entry points of the windows, called by the main window's toolbar and timers
// and by the other windows. Each is implemented in the folder of its window.
namespace commands {

// ui/lists
void openLiveList(App &app); // "List"
// One PC sample into the live list (both unit lines, as built for the file).
void appendLiveRow(App &app, const QString &celsiusLine, const QString &fahrenheitLine);
void closeLiveList(App &app);
void openDataFile(App &app); // "Open"
// Loads the data file at `path` into the file list as "Open" does once the
// file is chosen (refused while a PC run records; an unreadable file is
// reported). `title` is the caption, the file's name when empty. True when
// the file list shows the file.
bool openDataFileAt(App &app, const QString &path, const QString &title = QString());
// The file list's grid of the loaded file's unit (GridC for a °C file, else
// GridF), or nullptr when the file list is closed. Read by the file chart.
const GridSource *fileListGrid(App &app);
// The file list's TxtName, TxtSector, TxtCompany (empty when it is closed).
void fileListTexts(App &app, QString &name, QString &sector, QString &company);

// ui/memory
void downloadMemory(App &app); // "Memory"

// ui/charts
void openLiveChart(App &app); // "Graph"
void closeLiveChart(App &app);
void openFileChart(App &app); // the file list's "Plot"
// Another list's "Plot": the file chart of `grid`, one of `list`'s grids,
// charted as a file of those rows in °C (`celsius`) or °F would be.
void openListChart(App &app, QWidget *list, QWidget *grid, bool celsius);

// ui/study
// The mapping study's window, created when there is none, brought up.
QWidget *openStudy(App &app);
// The same window with the data file at `path` added to the study (a file
// already in it is not added twice).
QWidget *sendToStudy(App &app, const QString &path);

// ui/dialogs
void sample(App &app);   // "Sample"
void recStop(App &app);  // "RecStop"
void manual(App &app);   // "Manual"
void powerOff(App &app); // "PowerOff"
void offset(App &app);   // "Offset"
void setTime(App &app);  // "SetTime"
void addText(App &app);  // "AddText"
void command1(App &app); // the main window's hidden Command1

} // namespace commands

// The save-as dialog for data files: sets RecordFilePath and FileChosen
// (a cancelled dialog leaves both as they were).
void ChooseSaveFile(App &app);
