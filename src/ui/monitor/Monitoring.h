#pragma once

#include <QWidget>

class App;
class PanelMonitor;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

// "Monitoramento": where the panel publishes its samples (the broker, its
// account and TLS, the topics, Home Assistant discovery, the metrics port)
// and how the publication is doing.
class Monitoring : public QWidget {
    Q_OBJECT
public:
    Monitoring(App &app, PanelMonitor &monitor, QWidget *parent = nullptr);

    QCheckBox *ChkPublish = nullptr;
    QLineEdit *TxtHost = nullptr;
    QLineEdit *TxtPort = nullptr;
    QLineEdit *TxtUser = nullptr;
    QLineEdit *TxtPassword = nullptr;
    QLineEdit *TxtCaFile = nullptr;
    QToolButton *CmdCaFile = nullptr;
    QLineEdit *TxtPrefix = nullptr;
    QLineEdit *TxtId = nullptr;
    QCheckBox *ChkDiscovery = nullptr;
    QLineEdit *TxtMetricsPort = nullptr;
    QLabel *LblStatus = nullptr;
    QPushButton *CmdOK = nullptr;
    QPushButton *CmdCancel = nullptr;
    QPushButton *CmdApply = nullptr;

public slots:
    // Checks every field, then stores and starts publishing with them (and
    // closes); a message and nothing stored when a field is wrong.
    void CmdOK_Click();
    void CmdApply_Click();
    void CmdCaFile_Click();

private:
    bool apply();
    void fill();
    void showStatus();
    bool refuse(QLineEdit *box, const QString &text);

    App &app_;
    PanelMonitor &monitor_;
};
