#include "core/integrity/Evidence.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace integrity {

QString statusText(const FileCheck &check)
{
    switch (check.status) {
    case Status::Ok: return QStringLiteral("Assinatura válida");
    case Status::Partial:
        return check.coveredRecords >= 0
                   ? QStringLiteral("Assinatura válida até o registro %1").arg(check.coveredRecords)
                   : QStringLiteral("Assinatura válida até o byte %1").arg(check.coveredBytes);
    case Status::Altered: return QStringLiteral("Arquivo ALTERADO após a assinatura");
    case Status::Unsigned: return QStringLiteral("Arquivo sem assinatura");
    case Status::Foreign: return QStringLiteral("Assinado por outra chave (%1)").arg(check.keyId);
    }
    return {};
}

FileEvidence fileEvidence(const QString &path)
{
    FileEvidence e;
    QFile f(path);
    if (f.open(QIODevice::ReadOnly)) {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        hash.addData(&f);
        e.sha256 = QString::fromLatin1(hash.result().toHex());
    }
    if (!QFileInfo::exists(path + QStringLiteral(".minisig"))) {
        e.status = Status::Unsigned;
        e.statusText = QStringLiteral("Arquivo sem assinatura");
        return e;
    }
    // Only an existing key: checking must never make one.
    const QString own = publicKeyPathFor(keyPath());
    QString error;
    std::optional<PublicKey> key;
    if (QFileInfo::exists(own) || QFileInfo::exists(keyPath()))
        key = publicKeyFor(QString(), &error);
    if (!key) {
        e.statusText = QStringLiteral("Assinatura não verificada: sem a chave pública");
        return e;
    }
    const FileCheck c = verifyFile(path, *key);
    e.status = c.status;
    e.statusText = statusText(c);
    e.keyId = c.keyId;
    return e;
}

} // namespace integrity
