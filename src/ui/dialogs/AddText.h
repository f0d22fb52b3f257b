#pragma once

#include <QWidget>

class App;
class QLabel;
class QLineEdit;
class QToolButton;

// Name, sector and company texts, kept in small ".nse" files. At most one
// exists; `AddTextOpen` is true while it does.
class AddText : public QWidget {
    Q_OBJECT
public:
    explicit AddText(App &app, QWidget *parent = nullptr);
    ~AddText() override;

    QLabel *LblName = nullptr;
    QLineEdit *TxtName = nullptr;
    QLabel *LblSector = nullptr;
    QLineEdit *TxtSector = nullptr;
    QLabel *LblCompany = nullptr;
    QLineEdit *TxtCompany = nullptr;
    QToolButton *CmdOpen = nullptr;
    QToolButton *CmdSave = nullptr;

    static const QString kFilter;

public slots:
    void Form_Load();
    void Form_Unload();
    void CmdSave_Click();
    void CmdOpen_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    App &app_;
    bool unloaded_ = false;
};
