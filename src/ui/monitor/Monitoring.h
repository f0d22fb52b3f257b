#pragma once

#include "ui/monitor/PanelSettings.h"

#include <QWidget>

#include <optional>

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
    // Alarm e-mails.
    QCheckBox *ChkEmail = nullptr;
    QLineEdit *TxtSmtp = nullptr;
    QLineEdit *TxtSmtpUser = nullptr;
    QLineEdit *TxtSmtpPassword = nullptr;
    QLineEdit *TxtEmailFrom = nullptr;
    QLineEdit *TxtEmailTo = nullptr;
    QLineEdit *TxtSmtpCa = nullptr;
    QCheckBox *ChkSmtpInsecure = nullptr;
    QLineEdit *TxtEmailRepeat = nullptr;
    QPushButton *CmdTestEmail = nullptr;
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
    // Sends a test message with the options as typed, off the window's way;
    // the answer comes in a message box.
    void CmdTestEmail_Click();

private:
    bool apply();
    void fill();
    void showStatus();
    bool refuse(QLineEdit *box, const QString &text);
    // The e-mail options as typed; nullopt after a message when one is wrong.
    std::optional<EmailOptions> readEmail();

    App &app_;
    PanelMonitor &monitor_;
};
