#pragma once

#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

class App;
class Panel;

// The port window, the first window of the program: choose the instrument's
// port (COM1..COM8, any serial port the system reports, a typed device path,
// or "Simulador"), then the main window takes over.
class Port : public QWidget {
    Q_OBJECT
public:
    explicit Port(App &app, QWidget *parent = nullptr);

    // The main window shown by the last choice (null before one, or after a
    // port that could not be opened).
    Panel *panel() const { return panel_; }

    QComboBox *Ports = nullptr;
    QPushButton *CmdOK = nullptr;
    QPushButton *Port1 = nullptr;
    QPushButton *Port2 = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;

signals:
    // The window closed before a port was chosen (the program then ends,
    // unless another window keeps it running).
    void closedWithoutChoice();

public slots:
    void Form_Load();
    void CmdOK_Click();
    void Port1_Click();
    void Port2_Click();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void showPanel();

    App &app_;
    QPointer<Panel> panel_;
    bool chosen_ = false;
};
