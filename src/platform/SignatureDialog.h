#pragma once

#include "platform/Prompts.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

// "Assinar relatório": the person's A1 certificate (the last one used is
// offered), its password, typed without echo and asked at each signature,
// and the meaning of the signature.
class SignatureDialog : public QDialog {
    Q_OBJECT
public:
    SignatureDialog(const QString &lastCertificate, const QStringList &meanings, QWidget *parent = nullptr);
    ~SignatureDialog() override;

    Prompts::SignChoice choice() const;

    QLineEdit *TxtCertificate = nullptr;
    QPushButton *CmdBrowseCertificate = nullptr;
    QLineEdit *TxtCertificatePassword = nullptr;
    QComboBox *CboSignMeaning = nullptr;
    QPushButton *CmdSign = nullptr;

private:
    void browse();
    void updateSign();
};
