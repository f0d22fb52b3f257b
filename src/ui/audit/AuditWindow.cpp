#include "ui/audit/AuditWindow.h"

#include "core/files/TextFile.h"
#include "core/integrity/Audit.h"
#include "render/AuditReport.h"
#include "ui/common/App.h"
#include "ui/common/KeyFilter.h"
#include "ui/lists/SignReport.h"
#include "ui/monitor/PanelMonitor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {
enum Column { Time, User, Action, Change, Reason, Columns };
} // namespace

AuditWindow::AuditWindow(App &app, PanelMonitor &monitor, QWidget *parent)
    : QWidget(parent ? parent : app.mainWindow(), Qt::Tool), app_(app), monitor_(monitor)
{
    setObjectName(QStringLiteral("TrilhaAuditoria"));
    setWindowTitle(QStringLiteral("Trilha de auditoria"));
    setAttribute(Qt::WA_DeleteOnClose);
    closeOnEscape(this);

    LblKey = new QLabel(this);
    LblKey->setObjectName(QStringLiteral("LblKey"));
    LblKey->setWordWrap(true);
    LblKey->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // The trail's times are the system's, whatever clock the panel runs on.
    const QDate today = QDate::currentDate();
    TxtFrom = new QDateEdit(today.addDays(-30), this);
    TxtFrom->setObjectName(QStringLiteral("TxtFrom"));
    TxtTo = new QDateEdit(today, this);
    TxtTo->setObjectName(QStringLiteral("TxtTo"));
    for (QDateEdit *d : {TxtFrom, TxtTo}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
        connect(d, &QDateEdit::dateChanged, this, &AuditWindow::refresh);
    }
    CboAction = new QComboBox(this);
    CboAction->setObjectName(QStringLiteral("CboAction"));
    CboAction->addItem(kAllActions);
    connect(CboAction, &QComboBox::currentIndexChanged, this, &AuditWindow::refresh);

    GridAudit = new QTableWidget(this);
    GridAudit->setObjectName(QStringLiteral("GridAudit"));
    GridAudit->setColumnCount(Columns);
    GridAudit->setHorizontalHeaderLabels({QStringLiteral("Hora"), QStringLiteral("Usuário"), QStringLiteral("Ação"),
                                          QStringLiteral("Alteração"), QStringLiteral("Motivo")});
    GridAudit->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GridAudit->setSelectionBehavior(QAbstractItemView::SelectRows);
    GridAudit->setAlternatingRowColors(true);
    GridAudit->verticalHeader()->hide();
    GridAudit->horizontalHeader()->setStretchLastSection(true);

    LblStatus = new QLabel(this);
    LblStatus->setObjectName(QStringLiteral("LblStatus"));
    LblStatus->setWordWrap(true);

    ChkReasons = new QCheckBox(QStringLiteral("Pedir o motivo das alterações"), this);
    ChkReasons->setObjectName(QStringLiteral("ChkReasons"));
    ChkReasons->setToolTip(QStringLiteral("Cada alteração do instrumento e cada limpeza da sua memória pede antes "
                                          "o motivo, que fica na trilha"));
    ChkReasons->setChecked(monitor_.settings().askReasons);
    connect(ChkReasons, &QCheckBox::toggled, this, [this](bool on) {
        QString error;
        if (!monitor_.setAskReasons(on, &error))
            app_.showError(error);
        refresh();
    });

    CmdVerify = new QPushButton(QStringLiteral("Verificar"), this);
    CmdVerify->setObjectName(QStringLiteral("CmdVerify"));
    CmdExport = new QPushButton(QStringLiteral("Exportar PDF"), this);
    CmdExport->setObjectName(QStringLiteral("CmdExport"));
    auto *close = new QPushButton(QStringLiteral("Fechar"), this);
    connect(CmdVerify, &QPushButton::clicked, this, &AuditWindow::CmdVerify_Click);
    connect(CmdExport, &QPushButton::clicked, this, &AuditWindow::CmdExport_Click);
    CmdSignExport = new QPushButton(QStringLiteral("Assinar e salvar…"), this);
    CmdSignExport->setObjectName(QStringLiteral("CmdSignExport"));
    CmdSignExport->setToolTip(QStringLiteral("Assina a trilha impressa com o seu certificado A1 e salva o PDF"));
    connect(CmdSignExport, &QPushButton::clicked, this, &AuditWindow::CmdSignExport_Click);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    auto *filters = new QHBoxLayout;
    filters->addWidget(new QLabel(QStringLiteral("De"), this));
    filters->addWidget(TxtFrom);
    filters->addWidget(new QLabel(QStringLiteral("até"), this));
    filters->addWidget(TxtTo);
    filters->addSpacing(12);
    filters->addWidget(CboAction, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(ChkReasons);
    buttons->addStretch(1);
    buttons->addWidget(CmdVerify);
    buttons->addWidget(CmdExport);
    buttons->addWidget(CmdSignExport);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(LblKey);
    layout->addLayout(filters);
    layout->addWidget(GridAudit, 1);
    layout->addWidget(LblStatus);
    layout->addLayout(buttons);

    showKey();
    refresh();
    resize(880, 480);
    if (QWidget *main = app_.mainWindow()) {
        const QRect f = main->frameGeometry();
        placeWindow(this, f.x() + 40, f.y() + 40);
    }
}

void AuditWindow::showKey()
{
    QString error;
    const QString pub = integrity::publicKeyPathFor(integrity::keyPath());
    const std::optional<integrity::PublicKey> key =
        QFileInfo::exists(pub) ? integrity::loadPublicKey(pub, &error) : std::nullopt;
    const QString trail = QDir::toNativeSeparators(integrity::auditPath());
    LblKey->setText(key ? QStringLiteral("Chave pública: %1 (id %2)\nTrilha: %3")
                              .arg(QDir::toNativeSeparators(pub), integrity::keyIdText(key->id), trail)
                        : QStringLiteral("Ainda não há chave de assinatura: ela é criada ao assinar o primeiro "
                                         "arquivo.\nTrilha: %1")
                              .arg(trail));
}

void AuditWindow::refresh()
{
    const QDateTime from = TxtFrom->date().startOfDay();
    const QDateTime to = TxtTo->date().addDays(1).startOfDay();
    const QString only = CboAction->currentIndex() > 0 ? CboAction->currentText() : QString();
    QStringList actions;
    QVector<QStringList> rows;
    QString error;
    const bool read =
        !QFileInfo::exists(integrity::auditPath()) ||
        integrity::forEachEntry(
            integrity::auditPath(),
            [&](const QJsonObject &e) {
                const QString action = e.value(QStringLiteral("action")).toString();
                if (!actions.contains(action))
                    actions << action;
                const QDateTime t = QDateTime::fromString(e.value(QStringLiteral("time")).toString(), Qt::ISODate);
                if (t < from || t >= to || (!only.isEmpty() && action != only))
                    return true;
                rows.append({integrity::entryTimeText(e), e.value(QStringLiteral("user")).toString(), action,
                             integrity::entryChangeText(e), e.value(QStringLiteral("reason")).toString()});
                return true;
            },
            &error);
    // The choice of actions grows with the trail, the one chosen kept.
    std::sort(actions.begin(), actions.end());
    {
        const QSignalBlocker block(CboAction);
        CboAction->clear();
        CboAction->addItem(kAllActions);
        CboAction->addItems(actions);
        CboAction->setCurrentIndex(only.isEmpty() ? 0 : std::max(0, CboAction->findText(only)));
    }
    // The newest first: what a user opens the window for.
    std::reverse(rows.begin(), rows.end());
    GridAudit->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < Columns; ++c)
            GridAudit->setItem(r, c, new QTableWidgetItem(rows[r].value(c)));
    GridAudit->resizeColumnsToContents();
    // A long value (a key's path) must not push the reason out of sight.
    for (int c = 0; c < Columns; ++c)
        GridAudit->setColumnWidth(c, std::min(GridAudit->columnWidth(c), 360));
    LblStatus->setStyleSheet(read ? QString() : QStringLiteral("color: #c62828;"));
    LblStatus->setText(read ? QStringLiteral("%1 registros no período.").arg(rows.size())
                            : QStringLiteral("A trilha não pôde ser lida: %1").arg(error));
}

void AuditWindow::CmdVerify_Click()
{
    const QString path = integrity::auditPath();
    if (!QFileInfo::exists(path)) {
        LblStatus->setText(QStringLiteral("A trilha ainda não tem registros."));
        return;
    }
    QString error;
    const std::optional<integrity::PublicKey> key = integrity::publicKeyFor(QString(), &error);
    const integrity::TrailCheck c = integrity::verifyTrail(path, key ? &*key : nullptr);
    QString text = c.intact ? QStringLiteral("Trilha íntegra: %1 registros%2.")
                                  .arg(c.entries)
                                  .arg(c.checkpointChecked ? QStringLiteral(", ponto de verificação assinado conferido")
                                                           : QString())
                            : QStringLiteral("Trilha ALTERADA: %1").arg(c.problem);
    for (const QString &crash : c.crashes)
        text += QStringLiteral("\nInterrompida por uma queda (não é alteração): %1").arg(crash);
    LblStatus->setStyleSheet(c.intact ? QStringLiteral("color: #1b6e35;") : QStringLiteral("color: #c62828;"));
    LblStatus->setText(text);
}

std::optional<QByteArray> AuditWindow::reportPdf(QString *error) const
{
    QVector<AuditReportRow> rows;
    for (int r = GridAudit->rowCount() - 1; r >= 0; --r) {
        const auto cell = [&](int c) { return GridAudit->item(r, c) ? GridAudit->item(r, c)->text() : QString(); };
        rows.append({cell(Time), cell(User), cell(Action), cell(Change), cell(Reason)});
    }
    int pages = 0;
    return auditReportPdf(QStringLiteral("Trilha de auditoria"),
                          QStringLiteral("%1 — %2 a %3 — %4 registros")
                              .arg(QDir::toNativeSeparators(integrity::auditPath()),
                                   TxtFrom->date().toString(QStringLiteral("dd/MM/yyyy")),
                                   TxtTo->date().toString(QStringLiteral("dd/MM/yyyy")))
                              .arg(rows.size()),
                          rows, &pages, error);
}

void AuditWindow::CmdExport_Click()
{
    const Prompts::FileChoice choice = app_.prompts().saveFile(QStringLiteral("Documento PDF (*.pdf)|*.pdf|"), true);
    if (!choice.accepted || choice.fileName.isEmpty())
        return;
    QString name = choice.fileName;
    if (QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".pdf");
    QString error;
    const auto bytes = reportPdf(&error);
    if (!bytes || !writeFileAtomically(name, *bytes, &error, integrity::WrittenFile::Report))
        app_.showError(QStringLiteral("Não foi possível exportar a trilha em %1:\n%2").arg(name, error));
}

void AuditWindow::CmdSignExport_Click()
{
    // The signed printout carries the trail and its checkpoint.
    QStringList files;
    for (const QString &f : {integrity::auditPath(), integrity::auditPath() + QStringLiteral(".checkpoint")})
        if (QFileInfo::exists(f))
            files << f;
    signAndSavePdf(
        app_, this,
        [this] {
            QString error;
            return reportPdf(&error);
        },
        files);
}

void showAuditWindow(App &app, PanelMonitor &monitor)
{
    if (!app.auditWindow)
        app.auditWindow = new AuditWindow(app, monitor);
    app.auditWindow->show();
    app.auditWindow->raise();
    app.auditWindow->activateWindow();
}
