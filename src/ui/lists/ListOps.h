#pragma once

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class App;
class Grid;
class ListWindow;
class QWidget;

// The busy (hourglass) pointer for the lifetime of the object.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

// Stops the main window's polling for the lifetime of the object and starts
// it again only if it was running: an operation that had stopped it (a logger
// download waiting for its dump) must not find it running behind its back.
class PollingPause {
public:
    explicit PollingPause(App &app);
    ~PollingPause();
    PollingPause(const PollingPause &) = delete;
    PollingPause &operator=(const PollingPause &) = delete;

private:
    App &app_;
    bool wasRunning_ = false;
};

// Progress of a long operation in a window's caption: "N gravações
// completas", then the caption as it was. The caption changes at most every
// few tens of milliseconds: tens of thousands of title changes would cost
// more than the work they report.
class CaptionProgress {
public:
    explicit CaptionProgress(QWidget *window);
    ~CaptionProgress() { restore(); }
    CaptionProgress(const CaptionProgress &) = delete;
    CaptionProgress &operator=(const CaptionProgress &) = delete;

    void show(int count);
    void restore();

private:
    QPointer<QWidget> window_;
    QString caption_;
    QElapsedTimer shown_;
    bool restored_ = false;
};

// The bytes of a grid dump: the three header lines from the texts, then every
// grid row (row 0 the headings) with each cell followed by a TAB.
QByteArray gridFileBytes(const QString &name, const QString &sector, const QString &company,
                         const QVector<QString> &rows, const std::function<void(int)> &progress = {});
// Writes a grid dump atomically; false with the reason in *error.
bool writeGridFile(const QString &path, const QString &name, const QString &sector, const QString &company,
                   const QVector<QString> &rows, QString *error, const std::function<void(int)> &progress = {});

// Writes `grid` of `window` to the file ChooseSaveFile chose; does nothing
// unless FileChosen. Always leaves FileChosen false. A failure is reported to
// the user and the old file stays as it was. True when the file was written.
bool SaveGridToFile(App &app, ListWindow &window, const Grid &grid);

// Prints `grid` of `window` as the fixed-pitch list report, after the
// `preface` lines (the logger data list's name block). True when printed.
bool PrintGrid(App &app, ListWindow &window, const Grid &grid, const QStringList &preface = {});

// Messages of the list operations.
namespace listtexts {
QString saveFailed(const QString &reason);
QString printFailed();
QString openFailed(const QString &reason);
} // namespace listtexts
