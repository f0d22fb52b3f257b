#pragma once

#include <QWidget>

#include <optional>

class App;
class PanelMonitor;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTableWidget;

// "Trilha de auditoria": the entries of the user's trail (time, user,
// action, old → new, reason), filtered by date and action, newest first;
// "Verificar" checks the chain and its signed checkpoint, "Exportar PDF"
// prints it, "Assinar e salvar…" prints it signed with the person's
// certificate, carrying the trail and its checkpoint; the public key that checks the files is shown with its id.
class AuditWindow : public QWidget {
    Q_OBJECT
public:
    AuditWindow(App &app, PanelMonitor &monitor, QWidget *parent = nullptr);

    QLabel *LblKey = nullptr;
    QDateEdit *TxtFrom = nullptr;
    QDateEdit *TxtTo = nullptr;
    QComboBox *CboAction = nullptr;
    QTableWidget *GridAudit = nullptr;
    QLabel *LblStatus = nullptr;
    QCheckBox *ChkReasons = nullptr;
    QPushButton *CmdVerify = nullptr;
    QPushButton *CmdExport = nullptr;
    QPushButton *CmdSignExport = nullptr;

    static inline const QString kAllActions = QStringLiteral("Todas as ações");

public slots:
    // Reads the trail again with the filters.
    void refresh();
    void CmdVerify_Click();
    void CmdExport_Click();
    void CmdSignExport_Click();

private:
    void showKey();
    std::optional<QByteArray> reportPdf(QString *error) const;

    App &app_;
    PanelMonitor &monitor_;
};

// Opens the window (at most one), or brings it up.
void showAuditWindow(App &app, PanelMonitor &monitor);
