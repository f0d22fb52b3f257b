#include "ui/monitor/Monitoring.h"

#include "core/monitor/Alarms.h"
#include "core/monitor/EmailText.h"
#include "core/monitor/MqttPayload.h"
#include "net/SmtpSender.h"
#include "ui/common/App.h"
#include "ui/common/KeyFilter.h"
#include "ui/monitor/PanelMonitor.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QThread>
#include <QToolButton>
#include <QUrl>
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

    ChkEmail = new QCheckBox(QStringLiteral("Enviar os alarmes por e-mail"), this);
    ChkEmail->setObjectName(QStringLiteral("ChkEmail"));
    TxtSmtp = field(this, QStringLiteral("TxtSmtp"));
    TxtSmtp->setPlaceholderText(QStringLiteral("smtp://servidor:587 ou smtps://servidor:465"));
    TxtSmtpUser = field(this, QStringLiteral("TxtSmtpUser"));
    TxtSmtpPassword = field(this, QStringLiteral("TxtSmtpPassword"));
    TxtSmtpPassword->setEchoMode(QLineEdit::Password);
    TxtSmtpPassword->setPlaceholderText(QStringLiteral("em branco: mantém a senha atual"));
    TxtEmailFrom = field(this, QStringLiteral("TxtEmailFrom"));
    TxtEmailTo = field(this, QStringLiteral("TxtEmailTo"));
    TxtEmailTo->setPlaceholderText(QStringLiteral("endereços separados por vírgula"));
    TxtSmtpCa = field(this, QStringLiteral("TxtSmtpCa"));
    TxtSmtpCa->setPlaceholderText(QStringLiteral("as autoridades do sistema"));
    ChkSmtpInsecure = new QCheckBox(QStringLiteral("Permitir smtp:// sem TLS"), this);
    ChkSmtpInsecure->setObjectName(QStringLiteral("ChkSmtpInsecure"));
    TxtEmailRepeat = field(this, QStringLiteral("TxtEmailRepeat"), 80);
    CmdTestEmail = new QPushButton(QStringLiteral("Enviar e-mail de teste"), this);
    CmdTestEmail->setObjectName(QStringLiteral("CmdTestEmail"));
    connect(CmdTestEmail, &QPushButton::clicked, this, &Monitoring::CmdTestEmail_Click);

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
    form->addRow(ChkEmail);
    form->addRow(QStringLiteral("Servidor SMTP:"), TxtSmtp);
    form->addRow(QStringLiteral("Usuário SMTP:"), TxtSmtpUser);
    form->addRow(QStringLiteral("Senha SMTP:"), TxtSmtpPassword);
    form->addRow(QStringLiteral("Remetente:"), TxtEmailFrom);
    form->addRow(QStringLiteral("Destinatários:"), TxtEmailTo);
    form->addRow(QStringLiteral("Certificado CA (SMTP):"), TxtSmtpCa);
    form->addRow(ChkSmtpInsecure);
    form->addRow(QStringLiteral("Repetir sem reconhecimento a cada:"), TxtEmailRepeat);
    form->addRow(CmdTestEmail);

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
    const EmailOptions &e = monitor_.settings().email;
    ChkEmail->setChecked(e.enabled);
    TxtSmtp->setText(e.url);
    TxtSmtpUser->setText(e.user);
    TxtEmailFrom->setText(e.from);
    TxtEmailTo->setText(e.to);
    TxtSmtpCa->setText(e.caFile);
    ChkSmtpInsecure->setChecked(e.insecure);
    TxtEmailRepeat->setText(durationText(e.repeatMs));
}

std::optional<EmailOptions> Monitoring::readEmail()
{
    EmailOptions e;
    e.enabled = ChkEmail->isChecked();
    e.url = TxtSmtp->text().trimmed();
    e.user = TxtSmtpUser->text().trimmed();
    e.from = TxtEmailFrom->text().trimmed();
    e.to = TxtEmailTo->text().trimmed();
    e.caFile = TxtSmtpCa->text().trimmed();
    e.insecure = ChkSmtpInsecure->isChecked();
    const auto repeat = parseDurationMs(TxtEmailRepeat->text().trimmed().isEmpty() ? QStringLiteral("0")
                                                                                   : TxtEmailRepeat->text().trimmed());
    if (!repeat) {
        refuse(TxtEmailRepeat, QStringLiteral("Repetir: uma duração (30m, 1h) ou 0."));
        return std::nullopt;
    }
    e.repeatMs = *repeat;
    if (!e.enabled && e.url.isEmpty())
        return e;
    const QString problem = monitor_.smtpSettings(e, QString()).problem();
    if (!problem.isEmpty()) {
        refuse(TxtSmtp, QStringLiteral("E-mail: informe o servidor (smtp://servidor:587 ou smtps://servidor:465), "
                                       "o remetente e ao menos um destinatário."));
        return std::nullopt;
    }
    if (QUrl(e.url).scheme() == QLatin1String("smtp") && e.insecure)
        return e;
    if (!e.caFile.isEmpty() && !QFileInfo(e.caFile).isReadable()) {
        refuse(TxtSmtpCa, QStringLiteral("O certificado\n%1\nnão pode ser lido.").arg(e.caFile));
        return std::nullopt;
    }
    return e;
}

void Monitoring::CmdTestEmail_Click()
{
    const auto e = readEmail();
    if (!e)
        return;
    if (e->url.isEmpty()) {
        refuse(TxtSmtp, QStringLiteral("Informe o servidor SMTP."));
        return;
    }
    std::optional<QString> password =
        TxtSmtpPassword->text().isEmpty() ? std::nullopt : std::optional<QString>(TxtSmtpPassword->text());
    SmtpSettings settings = monitor_.smtpSettings(*e, password);
    if (!password && !e->user.isEmpty() && e->url == monitor_.settings().email.url &&
        e->user == monitor_.settings().email.user)
        settings = monitor_.smtpSettings(*e, monitor_.knownSmtpPassword());
    // Someone waits for this one: a server that takes it and says nothing
    // is told as soon as any other silence would be.
    settings.finalReplyMs = settings.timeoutMs;
    const QDateTime now = app_.clock().now();
    const QByteArray message = mimeMessage(e->from, e->recipients(), testEmail(monitor_.instrumentId(), now), now,
                                           QStringLiteral("th-test-%1@termohigrometro").arg(now.toMSecsSinceEpoch()));
    CmdTestEmail->setEnabled(false);
    LblStatus->setText(QStringLiteral("Enviando o e-mail de teste…"));
    // The attempt may wait on the server for a while: on a thread of its own.
    QPointer<Monitoring> self(this);
    QThread *t = QThread::create([self, settings, message] {
        const auto error = SmtpSender::sendOnce(settings, message);
        QMetaObject::invokeMethod(qApp, [self, error] {
            if (!self)
                return;
            self->CmdTestEmail->setEnabled(true);
            self->showStatus();
            if (error)
                self->app_.showError(QStringLiteral("O e-mail de teste não foi enviado:\n%1%2.")
                                         .arg(error->left(1).toUpper(), error->mid(1)));
            else
                self->app_.prompts().message(QStringLiteral("O servidor aceitou o e-mail de teste."), texts::kTitle,
                                             Prompts::Buttons::Ok, Prompts::Icon::Information);
        });
    });
    connect(t, &QThread::finished, t, &QObject::deleteLater);
    t->start();
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
    const auto email = readEmail();
    if (!email)
        return false;
    const std::optional<QString> smtpPassword =
        TxtSmtpPassword->text().isEmpty() ? std::nullopt : std::optional<QString>(TxtSmtpPassword->text());
    QString mailError;
    if (!monitor_.setEmail(*email, smtpPassword, &mailError))
        app_.showError(mailError + QStringLiteral("\n\nAs opções valem até o fim desta execução."));
    TxtSmtpPassword->clear();
    QString error, notice;
    if (!monitor_.setPublishing(p, password, &error, &notice))
        app_.showError(error + QStringLiteral("\n\nAs opções valem até o fim desta execução."));
    if (!notice.isEmpty())
        app_.prompts().message(notice, texts::kTitle, Prompts::Buttons::Ok, Prompts::Icon::Information);
    TxtPassword->clear();
    showStatus();
    return true;
}
