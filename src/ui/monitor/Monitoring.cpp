#include "ui/monitor/Monitoring.h"

#include "core/monitor/MqttPayload.h"
#include "ui/common/App.h"
#include "ui/common/KeyFilter.h"
#include "ui/monitor/PanelMonitor.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
QLineEdit *field(QWidget *parent, const QString &name, int width = 0)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    if (width > 0)
        e->setFixedWidth(width);
    return e;
}

QValidator *portDigits(QObject *parent)
{
    return new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), parent);
}

// A port number typed in a box; nullopt unless 1..65535 (0 too when allowed).
std::optional<quint16> portNumber(const QString &text, bool zeroAllowed)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok || n > 65535 || n < (zeroAllowed ? 0 : 1))
        return std::nullopt;
    return quint16(n);
}
} // namespace

Monitoring::Monitoring(App &app, PanelMonitor &monitor, QWidget *parent)
    : QWidget(parent ? parent : app.mainWindow(), Qt::Tool), app_(app), monitor_(monitor)
{
    closeOnEscape(this);
    setObjectName(QStringLiteral("Monitoring"));
    setWindowTitle(QStringLiteral("Monitoramento"));
    setAttribute(Qt::WA_DeleteOnClose);

    ChkPublish = new QCheckBox(QStringLiteral("Publicar as amostras no servidor MQTT"), this);
    ChkPublish->setObjectName(QStringLiteral("ChkPublish"));
    TxtHost = field(this, QStringLiteral("TxtHost"));
    TxtPort = field(this, QStringLiteral("TxtPort"), 80);
    TxtPort->setValidator(portDigits(TxtPort));
    TxtUser = field(this, QStringLiteral("TxtUser"));
    TxtPassword = field(this, QStringLiteral("TxtPassword"));
    TxtPassword->setEchoMode(QLineEdit::Password);
    TxtPassword->setPlaceholderText(QStringLiteral("em branco: mantém a senha atual"));
    TxtCaFile = field(this, QStringLiteral("TxtCaFile"));
    TxtCaFile->setPlaceholderText(QStringLiteral("sem TLS"));
    CmdCaFile = new QToolButton(this);
    CmdCaFile->setObjectName(QStringLiteral("CmdCaFile"));
    CmdCaFile->setText(QStringLiteral("…"));
    CmdCaFile->setToolTip(QStringLiteral("Escolher o certificado da autoridade (CA)"));
    connect(CmdCaFile, &QToolButton::clicked, this, &Monitoring::CmdCaFile_Click);
    TxtPrefix = field(this, QStringLiteral("TxtPrefix"));
    TxtId = field(this, QStringLiteral("TxtId"));
    ChkDiscovery = new QCheckBox(QStringLiteral("Descoberta automática do Home Assistant"), this);
    ChkDiscovery->setObjectName(QStringLiteral("ChkDiscovery"));
    TxtMetricsPort = field(this, QStringLiteral("TxtMetricsPort"), 80);
    TxtMetricsPort->setValidator(portDigits(TxtMetricsPort));
    TxtMetricsPort->setPlaceholderText(QStringLiteral("desligado"));

    auto *hostRow = new QHBoxLayout;
    hostRow->addWidget(TxtHost, 1);
    hostRow->addWidget(new QLabel(QStringLiteral("Porta:"), this));
    hostRow->addWidget(TxtPort);
    auto *caRow = new QHBoxLayout;
    caRow->addWidget(TxtCaFile, 1);
    caRow->addWidget(CmdCaFile);

    auto *form = new QFormLayout;
    form->addRow(ChkPublish);
    form->addRow(QStringLiteral("Servidor:"), hostRow);
    form->addRow(QStringLiteral("Usuário:"), TxtUser);
    form->addRow(QStringLiteral("Senha:"), TxtPassword);
    form->addRow(QStringLiteral("Certificado CA (TLS):"), caRow);
    form->addRow(QStringLiteral("Prefixo dos tópicos:"), TxtPrefix);
    form->addRow(QStringLiteral("Identificação:"), TxtId);
    form->addRow(ChkDiscovery);
    form->addRow(QStringLiteral("Porta das métricas:"), TxtMetricsPort);

    LblStatus = new QLabel(this);
    LblStatus->setObjectName(QStringLiteral("LblStatus"));
    LblStatus->setWordWrap(true);
    LblStatus->setTextFormat(Qt::PlainText);
    LblStatus->setMinimumHeight(40);
    LblStatus->setStyleSheet(QStringLiteral("QLabel { background: #f1f4f8; border: 1px solid #c5d0dc; "
                                            "border-radius: 4px; padding: 4px; }"));

    CmdOK = new QPushButton(QStringLiteral("OK"), this);
    CmdOK->setObjectName(QStringLiteral("CmdOK"));
    CmdOK->setDefault(true);
    CmdCancel = new QPushButton(QStringLiteral("Cancelar"), this);
    CmdCancel->setObjectName(QStringLiteral("CmdCancel"));
    CmdApply = new QPushButton(QStringLiteral("Aplicar"), this);
    CmdApply->setObjectName(QStringLiteral("CmdApply"));
    connect(CmdOK, &QPushButton::clicked, this, &Monitoring::CmdOK_Click);
    connect(CmdApply, &QPushButton::clicked, this, &Monitoring::CmdApply_Click);
    connect(CmdCancel, &QPushButton::clicked, this, &QWidget::close);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CmdApply);
    buttons->addWidget(CmdOK);
    buttons->addWidget(CmdCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(LblStatus);
    layout->addLayout(buttons);

    connect(&monitor_, &PanelMonitor::statusChanged, this, &Monitoring::showStatus);
    fill();
    showStatus();
    resize(480, sizeHint().height());
    if (QWidget *main = app_.mainWindow()) {
        const QRect f = main->frameGeometry();
        placeWindow(this, f.x() + 80, f.y() + 60);
    }
}

void Monitoring::fill()
{
    const PublishOptions &p = monitor_.settings().publish;
    ChkPublish->setChecked(p.enabled);
    TxtHost->setText(p.host);
    TxtPort->setText(QString::number(p.port));
    TxtUser->setText(p.user);
    TxtCaFile->setText(p.caFile);
    TxtPrefix->setText(p.topicPrefix);
    TxtPrefix->setPlaceholderText(defaultTopicPrefix(monitor_.instrumentId()));
    TxtId->setText(p.id);
    TxtId->setPlaceholderText(monitor_.instrumentId());
    ChkDiscovery->setChecked(p.haDiscovery);
    TxtMetricsPort->setText(p.metricsPort ? QString::number(p.metricsPort) : QString());
}

void Monitoring::showStatus()
{
    LblStatus->setText(monitor_.statusText());
}

bool Monitoring::refuse(QLineEdit *box, const QString &text)
{
    app_.showError(text);
    box->setFocus();
    box->selectAll();
    return false;
}

void Monitoring::CmdCaFile_Click()
{
    const Prompts::FileChoice c =
        app_.prompts().openFile(QStringLiteral("Certificados (*.pem *.crt)|*.pem;*.crt|Todos os arquivos (*.*)|*.*|"));
    if (c.accepted)
        TxtCaFile->setText(c.fileName);
}

void Monitoring::CmdOK_Click()
{
    if (apply())
        close();
}

void Monitoring::CmdApply_Click()
{
    apply();
}

bool Monitoring::apply()
{
    PublishOptions p;
    p.enabled = ChkPublish->isChecked();
    p.host = TxtHost->text().trimmed();
    p.user = TxtUser->text().trimmed();
    p.caFile = TxtCaFile->text().trimmed();
    p.topicPrefix = TxtPrefix->text().trimmed();
    p.id = TxtId->text().trimmed();
    p.haDiscovery = ChkDiscovery->isChecked();
    if (p.enabled && p.host.isEmpty()) {
        refuse(TxtHost, QStringLiteral("Informe o servidor MQTT (nome ou endereço)."));
        return false;
    }
    if (p.host.contains(QLatin1Char(' ')) || p.host.contains(QLatin1Char('/'))) {
        refuse(TxtHost, QStringLiteral("Servidor: \"%1\" não é um nome nem um endereço.").arg(p.host));
        return false;
    }
    const auto port = portNumber(TxtPort->text(), false);
    if (!port) {
        refuse(TxtPort, QStringLiteral("A porta do servidor vai de 1 a 65535."));
        return false;
    }
    p.port = *port;
    const std::optional<QString> password =
        TxtPassword->text().isEmpty() ? std::nullopt : std::optional<QString>(TxtPassword->text());
    if (password && p.user.isEmpty()) {
        refuse(TxtUser, QStringLiteral("A senha precisa de um usuário."));
        return false;
    }
    if (!p.caFile.isEmpty() && !QFileInfo(p.caFile).isReadable()) {
        refuse(TxtCaFile, QStringLiteral("O certificado\n%1\nnão pode ser lido.").arg(p.caFile));
        return false;
    }
    if (!p.topicPrefix.isEmpty() && !isValidTopicPrefix(p.topicPrefix)) {
        refuse(TxtPrefix, QStringLiteral("Prefixo dos tópicos: sem \"+\" nem \"#\", e sem \"/\" no início ou no fim."));
        return false;
    }
    if (!p.id.isEmpty() && !isValidInstrumentId(p.id)) {
        refuse(TxtId, QStringLiteral("Identificação: só letras, algarismos, \"_\" e \"-\" (até 64)."));
        return false;
    }
    const QString metrics = TxtMetricsPort->text().trimmed();
    if (!metrics.isEmpty()) {
        const auto m = portNumber(metrics, true);
        if (!m) {
            refuse(TxtMetricsPort, QStringLiteral("A porta das métricas vai de 1 a 65535 (em branco: desligada)."));
            return false;
        }
        p.metricsPort = *m;
    }
    QString error, notice;
    if (!monitor_.setPublishing(p, password, &error, &notice))
        app_.showError(error + QStringLiteral("\n\nAs opções valem até o fim desta execução."));
    if (!notice.isEmpty())
        app_.prompts().message(notice, texts::kTitle, Prompts::Buttons::Ok, Prompts::Icon::Information);
    TxtPassword->clear();
    showStatus();
    return true;
}
