#pragma once

#include "core/charts/ChartTypes.h"

#include <QWidget>

#include <functional>

class App;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// What the two scale dialogs share: the temperature frame with its unit
// options and Max/Min boxes, the humidity frame, "Ok", the key filters and
// the checks of the temperature and humidity entries.
class ScaleDialog : public QWidget {
    Q_OBJECT
public:
    App &app() const { return app_; }

    QGroupBox *SSFrame1 = nullptr; // "Temperatura"
    QRadioButton *COpt = nullptr;
    QRadioButton *FOpt = nullptr;
    QLabel *SSPanel4 = nullptr; // "Max"
    QLabel *SSPanel5 = nullptr; // "Min"
    QLineEdit *TxtMax = nullptr;
    QLineEdit *TxtMin = nullptr;
    QGroupBox *SSFrame2 = nullptr; // "UH%"
    QLabel *SSPanel1 = nullptr;    // "Max"
    QLabel *SSPanel3 = nullptr;    // "Min"
    QLineEdit *TxtMaxR = nullptr;
    QLineEdit *TxtMinR = nullptr;
    QPushButton *CmdOK = nullptr;

    // Key filters: a key set to 0 is discarded (8 is Backspace).
    // A typed "," becomes the "." the boxes read.
    static void signedNumberKey(int &KeyAscii);   // digits, "-", ".", Backspace
    static void unsignedNumberKey(int &KeyAscii); // digits, ".", Backspace
    static void digitKey(int &KeyAscii);          // digits, Backspace

    // A box's number: its leading number with "." as separator.
    static double boxValue(const QLineEdit *box);
    // The text a box shows for a number (no exponent, no trailing zeros).
    static QString numberText(double value);

public slots:
    virtual void CmdOK_Click() = 0;
    virtual void COpt_Click();
    virtual void FOpt_Click();

protected:
    ScaleDialog(App &app, const QString &caption, QWidget *parent);

    // `box`'s KeyPress runs `filter` on every character typed into it.
    static void setKeyPress(QLineEdit *box, const std::function<void(int &)> &filter);
    // The temperature and humidity frames' inner layouts, the same in both dialogs.
    void layOutFrames();
    static QLabel *captionPanel(const QString &text, const char *name, QWidget *parent);
    static QLineEdit *textBox(const char *name, QWidget *parent);

    // The temperature and humidity steps of "Ok": store each group that
    // passes its check into `scale`; false (after the message) at the first
    // refusal, with the earlier group kept.
    bool storeTemperature(ChartScale &scale);
    bool storeHumidity(ChartScale &scale);
    void refuse(const QString &message);

    // The scale the option buttons show.
    virtual const ChartScale &scale() const = 0;
    // The text of a °C value of the scale in TxtMax/TxtMin.
    virtual QString celsiusText(double value) const;

private:
    App &app_;
};
