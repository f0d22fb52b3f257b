#pragma once

#include <QDialog>

#include <optional>

class App;
class CaptionPanel;
class QGroupBox;
class QLabel;
class QPushButton;
class QTimer;

// Sets the instrument's clock from the PC's, and shows both clocks side by
// side (a click on a label switches its live display on and off). Opened
// modally with the main window's polling stopped; closing it starts the
// polling again.
class Setup : public QDialog {
    Q_OBJECT
public:
    explicit Setup(App &app, QWidget *parent = nullptr);

    QTimer *Timer1 = nullptr;
    QGroupBox *FrameTime = nullptr;
    QLabel *LblMeterTime = nullptr;
    QLabel *LblPCTime = nullptr;
    QPushButton *CmdSetTime = nullptr;
    CaptionPanel *CmdSet = nullptr;
    QPushButton *CmdExit = nullptr;

    bool meterClockShown() const { return meterDisplay_; }
    bool pcClockShown() const { return pcDisplay_; }

    static const QString kMeterTitle;
    static const QString kPcTitle;
    static const QString kSetText;

public slots:
    void Form_Load();
    void Form_Unload();
    void CmdExit_Click();
    void CmdSet_Click();
    void CmdSetTime_Click();
    void CmdSet_MouseDown();
    void CmdSet_MouseUp();
    void LblMeterTime_Click();
    void LblPCTime_Click();
    void Timer1_Timer();

public:
    void done(int result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setInstrumentClock();
    void showInstrumentClock();
    void restartTimer();

    App &app_;
    bool meterDisplay_ = false;
    bool pcDisplay_ = false;
    bool exchanging_ = false;       // an exchange with the instrument is waiting
    bool pendingSet_ = false;       // a clock write asked for during a read
    std::optional<QString> reason_; // of the clock write asked for
    QString lastMeterClock_;        // as last read, for the trail
    bool unloaded_ = false;
};
