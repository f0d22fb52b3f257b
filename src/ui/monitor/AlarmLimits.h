#pragma once

#include "core/stats/Limits.h"

#include <QPointer>
#include <QWidget>

class App;
class PanelMonitor;
class QCheckBox;
class QLabel;
class QLineEdit;
class QTableWidget;
class QPushButton;

// "Limites de alarme": optional low and high bounds of temperature and dew
// point (in the displayed unit) and of humidity, the delay in samples and
// the sound. Nothing is stored until every box holds a valid value.
class AlarmLimits : public QWidget {
    Q_OBJECT
public:
    AlarmLimits(App &app, PanelMonitor &monitor, QWidget *parent = nullptr);

    QLineEdit *TxtTempLow = nullptr, *TxtTempHigh = nullptr;
    QLineEdit *TxtRHLow = nullptr, *TxtRHHigh = nullptr;
    QLineEdit *TxtDewLow = nullptr, *TxtDewHigh = nullptr;
    QLineEdit *TxtDelay = nullptr;
    // The warning level: its bounds, its delay; the hysteresis of each
    // quantity; how long without a sample is an alarm of the link.
    QLineEdit *TxtTempWarnLow = nullptr, *TxtTempWarnHigh = nullptr;
    QLineEdit *TxtRHWarnLow = nullptr, *TxtRHWarnHigh = nullptr;
    QLineEdit *TxtDewWarnLow = nullptr, *TxtDewWarnHigh = nullptr;
    QLineEdit *TxtTempHyst = nullptr, *TxtRHHyst = nullptr, *TxtDewHyst = nullptr;
    QLineEdit *TxtWarnDelay = nullptr;
    QLineEdit *TxtLinkAfter = nullptr;
    QCheckBox *ChkSound = nullptr;
    QPushButton *CmdOK = nullptr;
    QPushButton *CmdCancel = nullptr;
    QPushButton *CmdAlarms = nullptr;
    QPointer<QWidget> logWindow;

    bool celsius() const { return celsius_; }
    // The display's unit changed: the temperature boxes follow it.
    void setCelsius(bool celsius);

public slots:
    // Checks every box, then stores and closes; a message and nothing stored otherwise.
    void CmdOK_Click();
    void CmdAlarms_Click();

private:
    void fill();
    void showUnit();
    bool readBound(QLineEdit *box, Quantity q, const QString &which, std::optional<double> *out);

    App &app_;
    PanelMonitor &monitor_;
    QLabel *LblTemp = nullptr, *LblDew = nullptr;
    bool celsius_ = true; // the unit of the temperature boxes
};

// "Alarmes": the alarm log of the current run as a table, newest first,
// growing while it is open.
class AlarmLogView : public QWidget {
    Q_OBJECT
public:
    AlarmLogView(PanelMonitor &monitor, QWidget *parent = nullptr);
    QTableWidget *GridAlarms = nullptr;
    // The events, open and past: start, end, peak, duration, who
    // acknowledged them and why; the newest first.
    QTableWidget *GridEvents = nullptr;
    QPushButton *CmdAck = nullptr;
    QLabel *LblLogFile = nullptr;

public slots:
    // Acknowledges the selected event (or the oldest one waiting) with a
    // comment asked for; an empty answer cancels.
    void CmdAck_Click();

private:
    void refresh();
    PanelMonitor &monitor_;
};
