#pragma once

#include <QString>

// A test authority and two A1 certificates issued by it, made with openssl in
// `folder`: a signer's (valid for 30 days) and one that expired long ago.
// Both .p12 files are locked with `password`.
struct TestCertificates {
    QString folder;
    QString password = QStringLiteral("s3nha com espaço");
    QString signerName = QStringLiteral("Maria da Conceição");
    QString authority, signer, expired; // ca.crt, signer.p12, expired.p12

    // False (with openssl's words as a warning) when a step failed.
    bool make(const QString &inFolder);
};
