#pragma once

#include <QWidget>

class App;
class FillPanel;
class Grid;
class QLabel;
class QProgressBar;

// The logger memory window ("Data Logger"): the download's progress, how
// full the memory is, the recording sets; a click on a set lists it in the
// logger data list, a click on the memory panel clears the memory.
class Memory : public QWidget {
    Q_OBJECT
public:
    explicit Memory(App &app, QWidget *parent = nullptr);
    ~Memory() override;

    QProgressBar *MBar = nullptr;
    FillPanel *MSize = nullptr;
    FillPanel *SSPanel2 = nullptr;
    FillPanel *SSPanel3 = nullptr;
    Grid *GridSet = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;

    void setUsedPercent(double percent);
    // One row of GridSet: the set's number, interval (s) and size (readings).
    void addSetRow(int set, int interval, int size);

    // True while the download that opened this window is still running.
    static bool downloading();
    static void setDownloading(bool running);

public slots:
    void Form_Load();
    void Form_Unload();
    void GridSet_Click();
    void MSize_Click() { clearMemory(); }
    void SSPanel2_Click() { clearMemory(); }
    void SSPanel3_Click() { clearMemory(); }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void clearMemory();

    App &app_;
    bool unloaded_ = false;
    bool clearing_ = false;
    bool closePending_ = false;
};
