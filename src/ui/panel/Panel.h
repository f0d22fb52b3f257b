#pragma once

#include "core/files/Recording.h"
#include "ui/monitor/PanelMonitor.h"

#include <QElapsedTimer>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QVector>

#include <functional>

class App;
class QAction;
class QVBoxLayout;
class SerialLink;

// The main window: live reading, instrument status, link recovery, PC
// recording and the toolbar. Closing it ends the program.
class Panel : public QMainWindow {
    Q_OBJECT
public:
    static inline const QString kCaption = QStringLiteral("Painel     V7.1");
    static inline const QString kCaptionWithBuild = QStringLiteral("Painel     V7.1 080730");
    static inline const QString kNoCommunication = QStringLiteral("Sem Comunicação");

    explicit Panel(App &app, QWidget *parent = nullptr);
    ~Panel() override;

    // How the program ends (load failure: 1, window closed: 0). The default
    // leaves the event loop; tests put a recorder in its place.
    using ExitHandler = std::function<void(int code)>;
    static void setExitHandler(ExitHandler handler);
    static void exitProgram(int code);

    // The toolbar's button of `key` ("Save" ... "AddText"), and the number of
    // the picture it shows (1..15).
    QAction *button(const QString &key) const;
    int buttonImage(const QString &key) const;
    // Clicks a toolbar button as the user would (nothing when it is unavailable).
    void click(const QString &key);

    SerialLink *COM() const;
    // True from a loss of the link until the first good frame after it: the
    // current reading is stale and no sample may be taken from it.
    bool linkDown() const { return linkDown_; }
    PcRecorder &recorder() { return recorder_; }
    // Good frames decoded since the window loaded.
    quint64 framesDecoded() const { return frames_; }

    // The window as first shown; larger, the four values grow with it.
    static constexpr QSize kDesignSize{640, 440};
    // How much larger than at the design size the values are drawn (1 there).
    double valueScale() const { return valueScale_; }
    // F11: full screen, for a wall display, and back.
    void toggleFullScreen();
    // Alarms and publication of the PC samples.
    PanelMonitor *monitor() const { return monitor_; }

    // Controls, named as the window's design names them.
    QToolBar *Toolbar1 = nullptr;
    QPushButton *Command1 = nullptr;
    QTimer *Timer2 = nullptr;
    QTimer *Timer1 = nullptr;
    QVector<QIcon> ImageList1; // pictures 1..15 at [0..14]
    QLabel *LblBT = nullptr;
    QLabel *LblRecord = nullptr;
    QLabel *LblHold = nullptr;
    QLabel *LblFull = nullptr;
    QLabel *LblCOM = nullptr;
    QLabel *LblCount = nullptr;
    QLabel *LblRec = nullptr;
    QLabel *LblFileName = nullptr;
    QLabel *ImaF = nullptr;
    QLabel *ImaC = nullptr;
    QLabel *Label1 = nullptr; // "Úmido"
    QLabel *UnitDew = nullptr;
    QLabel *UnitRH = nullptr;
    QLabel *LblWet = nullptr;
    QLabel *LblDew = nullptr;
    QLabel *LblRH = nullptr;
    QLabel *LblTemperature = nullptr;
    QLabel *MeterName = nullptr;
    QFrame *Shape1 = nullptr;
    // "ALTA" / "BAIXA" beside a value outside its alarm limits, "AVISO ALTA"
    // / "AVISO BAIXA" outside its warning limits.
    QLabel *LblTempAlarm = nullptr;
    QLabel *LblRHAlarm = nullptr;
    QLabel *LblDewAlarm = nullptr;
    // "SEM COMUNICAÇÃO" for the lost instrument, "BATERIA FRACA" for its
    // battery, under the values.
    QLabel *LblLinkAlarm = nullptr;
    QLabel *LblBatteryWarning = nullptr;
    // Shown while the samples cannot reach the broker.
    QLabel *LblBroker = nullptr;

public slots:
    // Opens the port and starts polling; false after "Dispositivo não
    // disponível" (the program then ends).
    bool Form_Load();
    void Form_Unload();
    void Timer1_Timer();
    void Timer2_Timer();
    void Toolbar1_ButtonClick(QAction *button);
    void LblCOM_Click();
    void Command1_Click();
    void NoDataRoutine();

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildToolbar();
    void buildDisplay();
    void setButtonImage(QAction *a, int image);
    QString portCaption() const;
    void showPortCaption();
    void showNoCommunication();
    void showValuesStale(bool stale);
    void showAlarms();
    void showPublishing();
    void blinkStep();
    bool resynchronise();
    bool portGone() const;
    void tryReopen();
    void showReading(quint8 status);

    void saveCommand();
    void startRecording();
    void stopRecording();
    void recordingFailed(const QString &message);
    void cfCommand();
    void placeCommand1();
    void scaleValues();
    int valuePoints(int designPoints) const;

    App &app_;
    PcRecorder recorder_;
    PanelMonitor *monitor_ = nullptr;
    bool valuesStale_ = false;
    QTimer *blinkTimer_ = nullptr;
    QElapsedTimer reopenClock_;
    quint64 frames_ = 0;
    bool inTick_ = false;
    bool blinking_ = false;
    int blinkLevel_ = 0; // event-loop depth at which the blinking started
    bool linkDown_ = true;
    bool unloaded_ = false;
    double valueScale_ = 1;
    // The unit pictures beside the temperature, and their design top margin.
    QVBoxLayout *units_ = nullptr;
    int unitTop_ = 0;
};
