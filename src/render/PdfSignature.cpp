#include "render/PdfSignature.h"

#include "render/PdfAttachments.h"

#include <poppler-form.h>
#include <poppler-qt6.h>

// qpdf's own smart pointers give way to std::shared_ptr.
#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>

// NSS names a structure member "slots", which Qt defines as a keyword.
#undef slots
#include <cert.h>
#include <cms.h>
#include <nss.h>
#include <p12.h>
#include <pk11pub.h>
#include <secerr.h>
#include <secport.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstring>
#include <exception>
#include <memory>
#include <vector>

namespace pdfsign {

namespace {

const QStringList kMeanings{QStringLiteral("Autoria"), QStringLiteral("Revisão"), QStringLiteral("Aprovação"),
                            QStringLiteral("Responsabilidade")};

QString withoutAccents(const QString &text)
{
    QString plain;
    for (const QChar c : text.normalized(QString::NormalizationForm_D))
        if (c.category() != QChar::Mark_NonSpacing)
            plain += c.toLower();
    return plain;
}

// NSS names certificates in its database; the one being imported gets its
// holder's name and the moment, so that it never clashes with another.
SECItem *nicknameForImport(SECItem *oldNickname, PRBool *cancel, void *arg)
{
    *cancel = PR_FALSE;
    QString base;
    if (oldNickname && oldNickname->data && oldNickname->len > 0)
        base = QString::fromUtf8(reinterpret_cast<const char *>(oldNickname->data), int(oldNickname->len));
    else if (auto *cert = static_cast<CERTCertificate *>(arg)) {
        if (char *cn = CERT_GetCommonName(&cert->subject)) {
            base = QString::fromUtf8(cn);
            PORT_Free(cn);
        }
    }
    if (base.isEmpty())
        base = QStringLiteral("termohigrometro");
    const QByteArray nick = (base + QLatin1Char(' ') + QString::number(QDateTime::currentMSecsSinceEpoch())).toUtf8();
    auto *item = static_cast<SECItem *>(PORT_ZAlloc(sizeof(SECItem)));
    item->type = siAsciiString;
    item->data = reinterpret_cast<unsigned char *>(PORT_Strdup(nick.constData()));
    item->len = unsigned(nick.size());
    return item;
}

// PKCS#12 passwords are BMPStrings: UCS-2, big-endian, with a final zero.
QByteArray bmpPassword(const QByteArray &utf8)
{
    QByteArray out;
    for (const QChar c : QString::fromUtf8(utf8)) {
        out.append(char(c.unicode() >> 8));
        out.append(char(c.unicode() & 0xff));
    }
    out.append(2, '\0');
    return out;
}

QString commonName(const CERTCertificate *cert)
{
    char *cn = CERT_GetCommonName(&cert->subject);
    if (!cn)
        return QString::fromUtf8(cert->subjectName ? cert->subjectName : "");
    const QString name = QString::fromUtf8(cn);
    PORT_Free(cn);
    return name;
}

QDateTime fromPRTime(PRTime t)
{
    return QDateTime::fromMSecsSinceEpoch(t / PR_USEC_PER_MSEC);
}

struct Imported {
    QString nickname, signer;
    QByteArray der;
};

// Puts the person's certificate and key in the session's NSS database,
// after checking the password and the certificate's dates.
std::optional<Imported> importCertificate(const QByteArray &p12, const QByteArray &password, SignOutcome *outcome)
{
    std::optional<Imported> result;
    PK11SlotInfo *slot = PK11_GetInternalKeySlot();
    QByteArray bmp = bmpPassword(password);
    SECItem pw{siBuffer, reinterpret_cast<unsigned char *>(bmp.data()), unsigned(bmp.size())};
    SEC_PKCS12DecoderContext *dcx =
        SEC_PKCS12DecoderStart(&pw, slot, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    auto refuse = [&](Refusal r, const QString &text) {
        outcome->refusal = r;
        outcome->error = text;
    };
    auto decodingFailure = [&] {
        const int code = PORT_GetError();
        if (code == SEC_ERROR_BAD_PASSWORD || code == SEC_ERROR_PKCS12_PRIVACY_PASSWORD_INCORRECT ||
            code == SEC_ERROR_PKCS12_INVALID_MAC)
            refuse(Refusal::WrongPassword, QStringLiteral("senha do certificado incorreta"));
        else
            refuse(Refusal::NotCertificate,
                   QStringLiteral("o arquivo não é um certificado A1 (PKCS#12, .p12 ou .pfx)"));
    };
    if (!dcx) {
        refuse(Refusal::Other, QStringLiteral("não foi possível ler o certificado"));
    } else if (SEC_PKCS12DecoderUpdate(dcx, reinterpret_cast<unsigned char *>(const_cast<char *>(p12.constData())),
                                       unsigned(p12.size())) != SECSuccess ||
               SEC_PKCS12DecoderVerify(dcx) != SECSuccess) {
        decodingFailure();
    } else {
        CERTCertificate *leaf = nullptr;
        if (CERTCertList *certs = SEC_PKCS12DecoderGetCerts(dcx)) {
            for (CERTCertListNode *n = CERT_LIST_HEAD(certs); !CERT_LIST_END(n, certs); n = CERT_LIST_NEXT(n))
                if (!leaf && !CERT_IsCACert(n->cert, nullptr))
                    leaf = CERT_DupCertificate(n->cert);
            CERT_DestroyCertList(certs);
        }
        PRTime notBefore = 0, notAfter = 0;
        if (!leaf) {
            refuse(Refusal::NotCertificate, QStringLiteral("o arquivo não traz o certificado de uma pessoa"));
        } else if (CERT_GetCertTimes(leaf, &notBefore, &notAfter) != SECSuccess) {
            refuse(Refusal::NotCertificate, QStringLiteral("o certificado não tem prazo de validade legível"));
        } else if (PR_Now() > notAfter) {
            refuse(Refusal::Expired,
                   QStringLiteral("o certificado de %1 venceu em %2; não é possível assinar com ele")
                       .arg(commonName(leaf), fromPRTime(notAfter).toString(QStringLiteral("dd/MM/yyyy"))));
        } else if (PR_Now() < notBefore) {
            refuse(Refusal::Expired,
                   QStringLiteral("o certificado de %1 só vale a partir de %2")
                       .arg(commonName(leaf), fromPRTime(notBefore).toString(QStringLiteral("dd/MM/yyyy"))));
        } else if (SEC_PKCS12DecoderValidateBags(dcx, nicknameForImport) != SECSuccess ||
                   SEC_PKCS12DecoderImportBags(dcx) != SECSuccess) {
            refuse(Refusal::Other, QStringLiteral("não foi possível guardar o certificado na base de certificados"));
        } else {
            Imported imported;
            imported.signer = commonName(leaf);
            imported.der = QByteArray(reinterpret_cast<const char *>(leaf->derCert.data), int(leaf->derCert.len));
            if (CERTCertificate *stored = CERT_FindCertByDERCert(CERT_GetDefaultCertDB(), &leaf->derCert)) {
                imported.nickname = QString::fromUtf8(stored->nickname ? stored->nickname : "");
                CERT_DestroyCertificate(stored);
            }
            if (imported.nickname.isEmpty())
                refuse(Refusal::Other, QStringLiteral("o certificado não ficou na base de certificados"));
            else
                result = imported;
        }
        if (leaf)
            CERT_DestroyCertificate(leaf);
    }
    if (dcx)
        SEC_PKCS12DecoderFinish(dcx);
    PK11_FreeSlot(slot);
    std::memset(bmp.data(), 0, size_t(bmp.size()));
    return result;
}

// The key leaves the database once it has signed: the next signature asks
// for the certificate and its password again.
void removeCertificate(const QByteArray &der)
{
    SECItem item{siBuffer, reinterpret_cast<unsigned char *>(const_cast<char *>(der.constData())),
                 unsigned(der.size())};
    if (CERTCertificate *cert = CERT_FindCertByDERCert(CERT_GetDefaultCertDB(), &item)) {
        PK11_DeleteTokenCertAndKey(cert, nullptr);
        CERT_DestroyCertificate(cert);
    }
}

QString utcOffset(const QDateTime &t)
{
    const int minutes = t.offsetFromUtc() / 60;
    return QStringLiteral("UTC%1%2:%3")
        .arg(minutes < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(std::abs(minutes) / 60, 2, 10, QLatin1Char('0'))
        .arg(std::abs(minutes) % 60, 2, 10, QLatin1Char('0'));
}

bool popplerReady = false;
// The database a signing process works in: its own folder inside the
// program's, opened for writing once (Poppler would open it read-only) and
// removed when the process ends, so no key outlives the process even if it
// is killed before removing one.
std::unique_ptr<QTemporaryDir> signingSession;

void preparePoppler(const QString &dir)
{
    if (popplerReady)
        return;
    popplerReady = true;
    Poppler::setNSSDir(dir);
}

// Signatures are checked against the program's own database, made when
// missing: NSS without a database cannot check them at all, and this is where
// a user adds the authorities they trust (certutil -d sql:DIR -A -t C,, ...).
void ensureDatabase(const QString &dir)
{
    if (QFile::exists(dir + QStringLiteral("/cert9.db")) || !QDir().mkpath(dir))
        return;
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray config = "sql:" + QFile::encodeName(dir);
    if (NSS_InitReadWrite(config.constData()) != SECSuccess)
        return;
    PK11SlotInfo *slot = PK11_GetInternalKeySlot();
    if (slot && PK11_NeedUserInit(slot))
        PK11_InitPin(slot, nullptr, "");
    if (slot)
        PK11_FreeSlot(slot);
    NSS_Shutdown();
}

// The certificates each signature carries, taken from the PDF's signature
// dictionaries before Poppler sees them.
QList<QByteArray> signatureContents(const QByteArray &pdf)
{
    QList<QByteArray> contents;
    try {
        QPDF qpdf;
        qpdf.setSuppressWarnings(true);
        qpdf.processMemoryFile("report.pdf", pdf.constData(), size_t(pdf.size()));
        QPDFAcroFormDocumentHelper form(qpdf);
        for (auto &field : form.getFormFields()) {
            if (field.getFieldType() != "/Sig")
                continue;
            auto value = field.getValue();
            if (value.isDictionary() && value.getKey("/Contents").isString()) {
                const std::string bytes = value.getKey("/Contents").getStringValue();
                contents.append(QByteArray(bytes.data(), qsizetype(bytes.size())));
            }
        }
    } catch (const std::exception &) {
        // Poppler reads the document next and says what is wrong with it.
    }
    return contents;
}

// Poppler 22.12 makes the signers' certificates without copying their bytes,
// which stay in the signature's memory; a certificate NSS keeps cached after
// the first check then points into freed memory when the next signature
// carries it again. Copies of our own, held for the whole check, are the ones
// NSS finds, so each later lookup reads bytes that are still there.
class PinnedCertificates {
public:
    explicit PinnedCertificates(const QByteArray &pdf)
    {
        if (!NSS_IsInitialized())
            return;
        for (QByteArray der : signatureContents(pdf)) {
            SECItem item{siBuffer, reinterpret_cast<unsigned char *>(der.data()), unsigned(der.size())};
            NSSCMSMessage *message =
                NSS_CMSMessage_CreateFromDER(&item, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
            if (!message)
                continue;
            NSSCMSContentInfo *info = NSS_CMSMessage_ContentLevel(message, 0);
            if (info && NSS_CMSContentInfo_GetContentTypeTag(info) == SEC_OID_PKCS7_SIGNED_DATA) {
                auto *data = static_cast<NSSCMSSignedData *>(NSS_CMSContentInfo_GetContent(info));
                for (SECItem **raw = data ? data->rawCerts : nullptr; raw && *raw; ++raw)
                    if (CERTCertificate *cert =
                            CERT_NewTempCertificate(CERT_GetDefaultCertDB(), *raw, nullptr, PR_FALSE, PR_TRUE))
                        held.push_back(cert);
            }
            NSS_CMSMessage_Destroy(message);
        }
    }
    ~PinnedCertificates()
    {
        for (CERTCertificate *cert : held)
            CERT_DestroyCertificate(cert);
    }
    PinnedCertificates(const PinnedCertificates &) = delete;
    PinnedCertificates &operator=(const PinnedCertificates &) = delete;

private:
    std::vector<CERTCertificate *> held;
};

} // namespace

QStringList meanings()
{
    return kMeanings;
}

QString meaningFromArgument(const QString &text)
{
    for (const QString &m : kMeanings)
        if (withoutAccents(m) == withoutAccents(text.trimmed()))
            return m;
    return {};
}

QString nssDir()
{
    const QString env = qEnvironmentVariable("TH_NSS_DIR");
    if (!env.isEmpty())
        return env;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/termohigrometro/nss");
}

SignOutcome signPdf(const QByteArray &pdf, const SignRequest &request)
{
    SignOutcome outcome;
    QFile certFile(request.certificatePath);
    if (!certFile.open(QIODevice::ReadOnly)) {
        outcome.refusal = Refusal::NotCertificate;
        outcome.error = QStringLiteral("não foi possível ler o certificado %1").arg(request.certificatePath);
        return outcome;
    }
    const QByteArray p12 = certFile.readAll();
    if (!signingSession) {
        if (popplerReady) {
            outcome.error = QStringLiteral("a base de certificados já foi aberta só para verificar");
            return outcome;
        }
        const QString base = nssDir();
        if (!QDir().mkpath(base) ||
            !QFile::setPermissions(base, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
            outcome.error = QStringLiteral("não foi possível criar a base de certificados em %1").arg(base);
            return outcome;
        }
        auto session = std::make_unique<QTemporaryDir>(base + QStringLiteral("/assinatura-XXXXXX"));
        const QByteArray config = "sql:" + QFile::encodeName(session->path());
        if (!session->isValid() ||
            !QFile::setPermissions(session->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) ||
            NSS_InitReadWrite(config.constData()) != SECSuccess) {
            outcome.error = QStringLiteral("não foi possível criar a base de certificados em %1").arg(base);
            return outcome;
        }
        // An empty password: the certificate's own password guards the key,
        // which leaves the database after each signature.
        PK11SlotInfo *slot = PK11_GetInternalKeySlot();
        if (PK11_NeedUserInit(slot))
            PK11_InitPin(slot, nullptr, "");
        PK11_FreeSlot(slot);
        // Poppler finds NSS open and uses it as it is.
        popplerReady = true;
        signingSession = std::move(session);
    }
    const auto imported = importCertificate(p12, request.password, &outcome);
    if (!imported)
        return outcome;
    outcome.signer = imported->signer;

    QTemporaryDir work;
    const QString signedPath = work.filePath(QStringLiteral("assinado.pdf"));
    bool ok = false;
    {
        std::unique_ptr<Poppler::Document> doc(Poppler::Document::loadFromData(pdf));
        if (!doc || doc->isLocked() || doc->numPages() < 1) {
            outcome.error = QStringLiteral("o PDF não pôde ser lido para assinar");
        } else {
            const int earlier = int(doc->signatures().size());
            const QDateTime now = QDateTime::currentDateTime();
            std::unique_ptr<Poppler::PDFConverter> converter(doc->pdfConverter());
            converter->setOutputFileName(signedPath);
            Poppler::PDFConverter::NewSignatureData data;
            data.setCertNickname(imported->nickname);
            data.setPassword(QString());
            data.setPage(doc->numPages() - 1);
            // Blocks at the foot of the last page, two to a row, rising with
            // each further signature so that none covers another.
            const double width = 0.44, height = 0.07;
            const double x = 0.05 + (earlier % 2) * 0.46;
            const double y = 1.0 - 0.02 - height - (earlier / 2) * (height + 0.01);
            data.setBoundingRectangle(QRectF(x, y, width, height));
            data.setSignatureText(QStringLiteral("Assinado digitalmente por %1\n%2 %3\n%4")
                                      .arg(imported->signer, now.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")),
                                           utcOffset(now), request.meaning));
            data.setReason(request.meaning);
            data.setFontSize(8);
            data.setBorderWidth(1);
            data.setBorderColor(QColor(0x30, 0x30, 0x30));
            data.setBackgroundColor(QColor(0xf4, 0xf4, 0xf4));
            data.setFontColor(Qt::black);
            data.setFieldPartialName(QStringLiteral("Assinatura%1").arg(earlier + 1));
            ok = converter->sign(data);
            if (!ok)
                outcome.error =
                    QStringLiteral("a assinatura não pôde ser feita com o certificado de %1").arg(imported->signer);
        }
    }
    removeCertificate(imported->der);
    if (!ok) {
        if (outcome.refusal == Refusal::None)
            outcome.refusal = Refusal::Other;
        if (outcome.error.isEmpty())
            outcome.error = QStringLiteral("a assinatura falhou");
        return outcome;
    }
    QFile signedFile(signedPath);
    if (!signedFile.open(QIODevice::ReadOnly)) {
        outcome.refusal = Refusal::Other;
        outcome.error = QStringLiteral("o PDF assinado não pôde ser lido");
        return outcome;
    }
    outcome.pdf = signedFile.readAll();
    return outcome;
}

SignOutcome signWithEvidence(const QByteArray &pdf, const QStringList &dataFiles, const SignRequest &request)
{
    if (dataFiles.isEmpty())
        return signPdf(pdf, request);
    SignOutcome outcome;
    outcome.refusal = Refusal::Other;
    const auto files = pdfattach::evidenceFiles(dataFiles, &outcome.error);
    if (!files)
        return outcome;
    const auto attached = pdfattach::attachFiles(pdf, *files, &outcome.error);
    if (!attached)
        return outcome;
    return signPdf(*attached, request);
}

bool certificateRefused(Refusal refusal)
{
    return refusal == Refusal::WrongPassword || refusal == Refusal::Expired || refusal == Refusal::NotCertificate;
}

std::optional<QList<SignatureInfo>> pdfSignatures(const QByteArray &pdf, QString *error)
{
    // Trust is what this user's certificate database says.
    if (!popplerReady)
        ensureDatabase(nssDir());
    preparePoppler(nssDir());
    std::unique_ptr<Poppler::Document> doc(Poppler::Document::loadFromData(pdf));
    if (!doc || doc->isLocked()) {
        *error = QStringLiteral("o PDF não pôde ser lido");
        return std::nullopt;
    }
    const PinnedCertificates pinned(pdf);
    QList<SignatureInfo> list;
    for (const auto &field : doc->signatures()) {
        // Poppler 22.12 reports every certificate as a generic error when
        // told to skip the revocation check; it asks OCSP only when the
        // certificate names a server.
        const auto v = field->validate(Poppler::FormFieldSignature::ValidateVerifyCertificate);
        SignatureInfo info;
        info.field = field->fullyQualifiedName();
        info.signer = v.signerName();
        info.time = QDateTime::fromSecsSinceEpoch(v.signingTime());
        info.reason = v.reason();
        info.valid = v.signatureStatus() == Poppler::SignatureValidationInfo::SignatureValid;
        info.trusted = v.certificateStatus() == Poppler::SignatureValidationInfo::CertificateTrusted;
        info.wholeDocument = v.signsTotalDocument();
        switch (v.signatureStatus()) {
        case Poppler::SignatureValidationInfo::SignatureValid: info.status = QStringLiteral("assinatura válida"); break;
        case Poppler::SignatureValidationInfo::SignatureDigestMismatch:
            info.status = QStringLiteral("documento ALTERADO após a assinatura");
            break;
        case Poppler::SignatureValidationInfo::SignatureDecodingError:
            info.status = QStringLiteral("assinatura ilegível");
            break;
        default: info.status = QStringLiteral("assinatura inválida");
        }
        switch (v.certificateStatus()) {
        case Poppler::SignatureValidationInfo::CertificateTrusted:
            info.certificate = QStringLiteral("certificado confiável");
            break;
        case Poppler::SignatureValidationInfo::CertificateExpired:
            info.certificate = QStringLiteral("certificado vencido");
            break;
        case Poppler::SignatureValidationInfo::CertificateRevoked:
            info.certificate = QStringLiteral("certificado revogado");
            break;
        default: info.certificate = QStringLiteral("certificado de emissor não confiável para este sistema");
        }
        list.append(info);
    }
    return list;
}

} // namespace pdfsign
