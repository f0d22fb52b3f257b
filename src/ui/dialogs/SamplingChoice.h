#pragma once

#include <QDialog>

class App;
class QPushButton;
class QRadioButton;

// Asks which sampling rate "Sample" sets: the instrument's logging interval
// or the PC's recording interval. Created anew for each "Sample" click, so it
// always opens with the instrument's rate selected.
class SamplingChoice : public QDialog {
    Q_OBJECT
public:
    explicit SamplingChoice(App &app, QWidget *parent = nullptr);

    QRadioButton *OptMeter = nullptr;
    QRadioButton *OptPC = nullptr;
    QPushButton *CmdOK = nullptr;

public slots:
    void Form_Load();
    void CmdOK_Click();

private:
    App &app_;
};
