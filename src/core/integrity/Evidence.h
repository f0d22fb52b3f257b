#pragma once

#include "core/integrity/Seal.h"

#include <QString>

// What a person is told of a file's integrity, in the windows and on the
// printed reports: its SHA-256 and its signature checked against the user's
// own key, in Portuguese.
namespace integrity {

struct FileEvidence {
    QString sha256;               // lowercase hex; empty when the file cannot be read
    std::optional<Status> status; // none: no key to check with
    QString statusText;           // "Assinatura válida", ...
    QString keyId;                // of the signature, when there is one
};

// "Assinatura válida", "Assinatura válida até o registro N", "Arquivo
// ALTERADO após a assinatura", "Arquivo sem assinatura", "Assinado por outra
// chave (ID)".
QString statusText(const FileCheck &check);

// The file checked against the process's own key (nothing is created).
FileEvidence fileEvidence(const QString &path);

} // namespace integrity
