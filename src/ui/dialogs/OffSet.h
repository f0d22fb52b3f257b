#pragma once

#include <QWidget>

#include <optional>
#include <utility>

class App;
class CaptionPanel;
class QLineEdit;
class QPushButton;

// Edits the humidity and temperature offsets the instrument adds to its
// readings and writes them. The main window's polling stays stopped while it
// is open, and runs again once an entry is refused or the window closes.
class OffSet : public QWidget {
    Q_OBJECT
public:
    explicit OffSet(App &app, QWidget *parent = nullptr);

    QLineEdit *TxtH = nullptr;
    CaptionPanel *SSPanel5 = nullptr;
    QLineEdit *TxtT = nullptr;
    CaptionPanel *SSPanel4 = nullptr;
    QPushButton *CmdOK = nullptr;

    // Shows the instrument's offsets, in signed tenths.
    void showOffsets(int rhTenths, int tempTenths);

public slots:
    void Form_Load();
    void Form_Unload();
    void CmdOK_Click();
    // Key filters: the key's character code, or 0 when the key is discarded;
    // a "," is taken as the decimal point.
    static int TxtH_KeyPress(int KeyAscii);
    static int TxtT_KeyPress(int KeyAscii);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    App &app_;
    bool sending_ = false;
    std::optional<std::pair<int, int>> shown_; // the instrument's offsets as read, for the trail
    bool unloaded_ = false;
};
