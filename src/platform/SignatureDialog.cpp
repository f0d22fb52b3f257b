#include "platform/SignatureDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

SignatureDialog::SignatureDialog(const QString &lastCertificate, const QStringList &meanings, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Assinar relatório"));
    setObjectName(QStringLiteral("FrmSignature"));

    TxtCertificate = new QLineEdit(lastCertificate, this);
    TxtCertificate->setObjectName(QStringLiteral("TxtCertificate"));
    TxtCertificate->setMinimumWidth(320);
    CmdBrowseCertificate = new QPushButton(QStringLiteral("Procurar…"), this);
    CmdBrowseCertificate->setObjectName(QStringLiteral("CmdBrowseCertificate"));
    auto *certRow = new QHBoxLayout;
    certRow->addWidget(TxtCertificate, 1);
    certRow->addWidget(CmdBrowseCertificate);

    TxtCertificatePassword = new QLineEdit(this);
    TxtCertificatePassword->setObjectName(QStringLiteral("TxtCertificatePassword"));
    TxtCertificatePassword->setEchoMode(QLineEdit::Password);
    TxtCertificatePassword->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhNoPredictiveText | Qt::ImhSensitiveData);

    CboSignMeaning = new QComboBox(this);
    CboSignMeaning->setObjectName(QStringLiteral("CboSignMeaning"));
    CboSignMeaning->addItems(meanings);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Certificado A1 (.p12 ou .pfx):"), certRow);
    form->addRow(QStringLiteral("Senha do certificado:"), TxtCertificatePassword);
    form->addRow(QStringLiteral("Significado da assinatura:"), CboSignMeaning);

    auto *note = new QLabel(
        QStringLiteral("A senha não é guardada: ela é pedida a cada assinatura. O PDF leva os arquivos de dados "
                       "do relatório e suas assinaturas."),
        this);
    note->setWordWrap(true);

    auto *buttons = new QDialogButtonBox(this);
    CmdSign = buttons->addButton(QStringLiteral("Assinar"), QDialogButtonBox::AcceptRole);
    CmdSign->setObjectName(QStringLiteral("CmdSign"));
    CmdSign->setDefault(true);
    buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(CmdBrowseCertificate, &QPushButton::clicked, this, &SignatureDialog::browse);
    connect(TxtCertificate, &QLineEdit::textChanged, this, &SignatureDialog::updateSign);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(buttons);
    updateSign();
    // The certificate offered is usually the one: the password comes next.
    (lastCertificate.isEmpty() ? TxtCertificate : TxtCertificatePassword)->setFocus();
}

SignatureDialog::~SignatureDialog()
{
    // The password leaves no copy in the box once the dialog is gone.
    TxtCertificatePassword->clear();
}

Prompts::SignChoice SignatureDialog::choice() const
{
    Prompts::SignChoice c;
    c.accepted = true;
    c.certificate = TxtCertificate->text().trimmed();
    c.password = TxtCertificatePassword->text().toUtf8();
    c.meaning = CboSignMeaning->currentText();
    return c;
}

void SignatureDialog::browse()
{
    const QString current = TxtCertificate->text().trimmed();
    const QString file =
        QFileDialog::getOpenFileName(this, QStringLiteral("Certificado A1"),
                                     current.isEmpty() ? Prompts::startFolder(QStringLiteral("Certificado|*.p12|"))
                                                       : QFileInfo(current).absolutePath(),
                                     QStringLiteral("Certificado A1 (*.p12 *.pfx);;Todos os arquivos (*)"));
    if (!file.isEmpty())
        TxtCertificate->setText(file);
}

void SignatureDialog::updateSign()
{
    CmdSign->setEnabled(!TxtCertificate->text().trimmed().isEmpty());
}
