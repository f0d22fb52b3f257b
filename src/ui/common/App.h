#pragma once

#include "core/Clock.h"
#include "core/state/SharedState.h"
#include "platform/PrintService.h"
#include "platform/Prompts.h"

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>

class Pause;

class SerialLink;

// What every window reaches through the main window: the shared state, the
// serial link, the pause, the user's answers, the printer, the clock, the
// main window's timers, and the secondary windows that exist at most once.
class App : public QObject {
    Q_OBJECT
public:
    struct Services {
        std::unique_ptr<Prompts> prompts;
        std::unique_ptr<PrintService> printer;
        std::unique_ptr<Clock> clock;
        std::unique_ptr<Pause> pause;
    };

    // Real dialogs, the print dialog, the system clock and the event pause.
    static Services realServices();

    explicit App(Services services, QObject *parent = nullptr);
    ~App() override;

    static App &instance(); // the one created last; it must exist
    static App *current();  // the one created last, or nullptr

    SharedState &state() { return sharedState(); }
    Prompts &prompts() { return *services_.prompts; }
    PrintService &printer() { return *services_.printer; }
    Clock &clock() { return *services_.clock; }
    Pause &pause() { return *services_.pause; }

    SerialLink *link() const { return link_.get(); }
    void setLink(std::unique_ptr<SerialLink> link);

    // The main window (placement of the other windows) and its timers.
    QWidget *mainWindow() const { return mainWindow_; }
    void setMainWindow(QWidget *w) { mainWindow_ = w; }
    QTimer *pollTimer() const { return pollTimer_; }     // the main window's Timer1
    QTimer *sampleTimer() const { return sampleTimer_; } // the main window's Timer2
    void setTimers(QTimer *poll, QTimer *sample)
    {
        pollTimer_ = poll;
        sampleTimer_ = sample;
    }
    void stopPolling();
    void startPolling();
    int pollingInterval() const; // Timer1's interval in ms (150)

    // The refusal shown while the instrument or a PC run records.
    void refuseRecording();
    // A failure message titled "Termo-higrômetro" with the critical icon.
    void showError(const QString &text);

    // Secondary windows that exist at most once (null when closed).
    QPointer<QWidget> liveList;  // List
    QPointer<QWidget> liveChart; // RealTime24
    QPointer<QWidget> fileList;  // FileList
    QPointer<QWidget> fileChart; // ListPlot1
    QPointer<QWidget> dataList;  // DataList
    QPointer<QWidget> memory;    // Memory
    QPointer<QWidget> addText;   // AddText
    QPointer<QWidget> offset;    // OffSet
    QPointer<QWidget> liveRange; // RealTimeRange
    QPointer<QWidget> plotRange; // PlotRange
    QPointer<QWidget> study;     // StudyWindow, the mapping study

    // Whether every change of the instrument and every clear of its memory
    // first asks the reason for the audit trail (off: the windows stay as
    // they are).
    bool askReasons() const { return askReasons_; }
    void setAskReasons(bool on) { askReasons_ = on; }
    QPointer<QWidget> auditWindow; // "Trilha de auditoria"

    // Folder of the live list's automatic dumps (created on first use).
    QString autoDumpFolder() const;
    void setAutoDumpFolder(const QString &folder) { autoDumpFolder_ = folder; }

private:
    Services services_;
    std::unique_ptr<SerialLink> link_;
    QPointer<QWidget> mainWindow_;
    QPointer<QTimer> pollTimer_;
    QPointer<QTimer> sampleTimer_;
    QString autoDumpFolder_;
    bool askReasons_ = false;
};

// Texts used by several windows.
namespace texts {
inline const QString kTitle = QStringLiteral("Termo-higrômetro");
// "O instrumento está no modo de gravação." + LF CR + "Interrompa a gravação."
inline const QString kRecordingRefusal =
    QStringLiteral("O instrumento está no modo de gravação.\n\rInterrompa a gravação.");
inline const QString kProgressSuffix = QStringLiteral(" gravações completas");
inline const QString kDataFilter = QStringLiteral("Data Files (*.dlf)|*.dlf|All Files (*.*)|*.*|");
} // namespace texts

// Window sizes and offsets are given in twips: 15 twips are one pixel at 96 dpi.
int twipsToPixelsX(double twips, const QWidget *w = nullptr);
int twipsToPixelsY(double twips, const QWidget *w = nullptr);
double pixelsToTwipsX(int px, const QWidget *w = nullptr);
double pixelsToTwipsY(int px, const QWidget *w = nullptr);
// Places a top-level window's frame at (left, top), or as near to it as
// keeps the whole window, title bar included, on the screen's available area
// (see ui/common/Placement.h).
void placeWindow(QWidget *w, int left, int top);
// Deletes every top-level window but `keep` (with the windows that belong to them).
void deleteTopLevelWindows(QWidget *keep = nullptr);
