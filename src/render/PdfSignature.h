#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// PDF signatures made with the person's own certificate (an A1 PKCS#12 file,
// .p12 or .pfx): standard signatures any PDF reader checks, each with a
// visible block on the last page. The certificate lives in the program's NSS
// database only while it signs; its password comes from the caller each time
// and is never kept.
namespace pdfsign {

// "Autoria", "Revisão", "Aprovação" or "Responsabilidade", from what a user
// types (any case, with or without the accents); empty when it is none of them.
QString meaningFromArgument(const QString &text);
QStringList meanings();

// TH_NSS_DIR, else $XDG_DATA_HOME/termohigrometro/nss.
QString nssDir();

struct SignRequest {
    QString certificatePath;
    QByteArray password;
    QString meaning;
};

enum class Refusal { None, WrongPassword, Expired, NotCertificate, Other };

struct SignOutcome {
    std::optional<QByteArray> pdf; // the signed PDF: the input and one incremental update
    Refusal refusal = Refusal::None;
    QString error; // in Portuguese, for the user
    QString signer;
};

// Signs `pdf` in memory; nothing is written outside the process's own NSS
// database (inside nssDir(), removed at exit) and a private temporary folder.
// A process signs as often as it likes, but once it has checked signatures
// (pdfSignatures) it can no longer sign: NSS is opened once per process.
SignOutcome signPdf(const QByteArray &pdf, const SignRequest &request);

// Carries `dataFiles` and their .minisig files inside the PDF (see
// pdfattach::evidenceFiles), then signs it.
SignOutcome signWithEvidence(const QByteArray &pdf, const QStringList &dataFiles, const SignRequest &request);

// The refusals that are the certificate's (its password, its dates, not a
// certificate at all), as opposed to a failure of the program.
bool certificateRefused(Refusal refusal);

struct SignatureInfo {
    QString field;
    QString signer;
    QDateTime time;
    QString reason;
    bool valid = false;          // the bytes it covers are as they were signed
    bool trusted = false;        // its certificate chains to one this system trusts
    bool wholeDocument = false;  // nothing was added after it
    QString status, certificate; // in Portuguese
};

// The PDF signatures of a document, each checked against the trust of the
// program's NSS database (with an OCSP query when the certificate names a server).
std::optional<QList<SignatureInfo>> pdfSignatures(const QByteArray &pdf, QString *error);

} // namespace pdfsign
