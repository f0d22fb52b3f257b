#include "cli/Cli.h"
#include "core/integrity/Audit.h"
#include "core/integrity/Seal.h"
#include "render/PdfAttachments.h"
#include "render/PdfSignature.h"

#include <QCommandLineParser>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

namespace {
int run(const QStringList &args, QTextStream &out, QTextStream &err);

const CliCommand kCommand{
    QStringLiteral("verify"), QStringLiteral("check the signatures of files the programs wrote"),
    QStringLiteral("termohigrometro-cli verify FILE... [--pub KEY.pub] [--json]\n"
                   "  Checks each FILE against its signature FILE.minisig and says one of:\n"
                   "    ok        the whole file is as it was signed\n"
                   "    partial   the signed part is intact and more was written after it (a recording\n"
                   "              stopped by a crash or a power cut): the signed bytes and records\n"
                   "    altered   the signed bytes, the file's length or the signature's trusted\n"
                   "              comment were changed\n"
                   "    unsigned  there is no FILE.minisig\n"
                   "    foreign   signed by another key than KEY.pub\n"
                   "  --pub KEY.pub  the public key to check with (default: this user's own key)\n"
                   "  --json         an array of {file, status, key_id, size, records, covered_bytes,\n"
                   "                 covered_records, comment, problem}\n"
                   "  A PDF is also checked inside: each of its PDF signatures (signer, time, meaning,\n"
                   "  whether the document is as it was signed, whether the certificate chains to one\n"
                   "  trusted in the NSS database $XDG_DATA_HOME/termohigrometro/nss or TH_NSS_DIR, its\n"
                   "  revocation asked online when the certificate names an OCSP server), and\n"
                   "  each data file it carries against the .minisig it carries beside it.\n"
                   "  --json adds pdf_signatures [{field, signer, time, meaning, valid, trusted,\n"
                   "  whole_document, status, certificate}] and attachments [{file, status, problem}].\n"
                   "  Exit code 0 when every file is ok, 6 otherwise: a file that did not verify, a PDF\n"
                   "  signature that is not valid, or an attached file that does not match its signature\n"
                   "  (an untrusted certificate is reported, not counted as a failure)."),
    run};

// What a PDF holds: its PDF signatures and the data files attached with
// their signatures, each attached file checked in a private folder.
struct PdfInside {
    QList<pdfsign::SignatureInfo> signatures;
    QList<integrity::FileCheck> attachments;
    QString problem;
    bool ok = true;
};

PdfInside checkPdfInside(const QString &path, const integrity::PublicKey &key)
{
    PdfInside inside;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return inside;
    const QByteArray pdf = file.readAll();
    if (!pdf.startsWith("%PDF"))
        return inside;
    if (const auto list = pdfsign::pdfSignatures(pdf, &inside.problem)) {
        inside.signatures = *list;
        for (const auto &s : *list)
            inside.ok = inside.ok && s.valid;
    } else {
        inside.ok = false;
    }
    QString error;
    const auto attached = pdfattach::embeddedFiles(pdf, &error);
    if (!attached) {
        inside.ok = false;
        inside.problem = error;
        return inside;
    }
    QTemporaryDir dir;
    for (const auto &a : *attached) {
        QFile out(dir.filePath(a.name));
        if (!out.open(QIODevice::WriteOnly) || out.write(a.bytes) != a.bytes.size())
            inside.ok = false;
    }
    QStringList names;
    for (const auto &a : *attached)
        names.append(a.name);
    for (const auto &a : *attached) {
        if (a.name.endsWith(QLatin1String(".minisig")))
            continue;
        // An audit trail is not signed as a whole: its hash chain and its
        // signed checkpoint, attached beside it, vouch for it.
        if (names.contains(a.name + QStringLiteral(".checkpoint"))) {
            const integrity::TrailCheck t = integrity::verifyTrail(dir.filePath(a.name), &key);
            integrity::FileCheck c;
            c.file = a.name;
            c.status = t.intact && t.checkpointChecked ? integrity::Status::Ok : integrity::Status::Altered;
            c.problem = t.intact ? QStringLiteral("no signed checkpoint checked") : t.problem;
            inside.ok = inside.ok && c.status == integrity::Status::Ok;
            inside.attachments.append(c);
            continue;
        }
        integrity::FileCheck c = integrity::verifyFile(dir.filePath(a.name), key);
        c.file = a.name;
        inside.ok = inside.ok && c.status == integrity::Status::Ok;
        inside.attachments.append(c);
    }
    return inside;
}

QString timeText(const QDateTime &t)
{
    const int minutes = t.offsetFromUtc() / 60;
    return t.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) +
           QStringLiteral(" UTC%1%2:%3")
               .arg(minutes < 0 ? QLatin1Char('-') : QLatin1Char('+'))
               .arg(std::abs(minutes) / 60, 2, 10, QLatin1Char('0'))
               .arg(std::abs(minutes) % 60, 2, 10, QLatin1Char('0'));
}

QJsonValue count(qint64 n)
{
    return n < 0 ? QJsonValue() : QJsonValue(n);
}

int run(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    const QCommandLineOption pubOpt(QStringLiteral("pub"), {}, QStringLiteral("KEY.pub"));
    const QCommandLineOption json(QStringLiteral("json"));
    parser.addOptions({pubOpt, json});
    if (!parser.parse(QStringList{kCommand.name} + args))
        return cliUsageError(err, kCommand, parser.errorText());
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return cliUsageError(err, kCommand, QStringLiteral("no file given"));
    QString error;
    const auto key = integrity::publicKeyFor(parser.value(pubOpt), &error);
    if (!key) {
        err << "termohigrometro-cli verify: no public key to check with: " << error << "\n";
        return cliexit::Failure;
    }
    bool allOk = true;
    QJsonArray array;
    for (const QString &file : files) {
        const integrity::FileCheck c = integrity::verifyFile(file, *key);
        allOk = allOk && c.status == integrity::Status::Ok;
        const PdfInside inside = checkPdfInside(file, *key);
        allOk = allOk && inside.ok;
        if (parser.isSet(json)) {
            QJsonArray signatures, attachments;
            for (const auto &s : inside.signatures)
                signatures.append(QJsonObject{{QStringLiteral("field"), s.field},
                                              {QStringLiteral("signer"), s.signer},
                                              {QStringLiteral("time"), s.time.toString(Qt::ISODate)},
                                              {QStringLiteral("meaning"), s.reason},
                                              {QStringLiteral("valid"), s.valid},
                                              {QStringLiteral("trusted"), s.trusted},
                                              {QStringLiteral("whole_document"), s.wholeDocument},
                                              {QStringLiteral("status"), s.status},
                                              {QStringLiteral("certificate"), s.certificate}});
            for (const auto &a : inside.attachments)
                attachments.append(QJsonObject{{QStringLiteral("file"), a.file},
                                               {QStringLiteral("status"), integrity::statusName(a.status)},
                                               {QStringLiteral("problem"), a.problem}});
            array.append(QJsonObject{{QStringLiteral("file"), c.file},
                                     {QStringLiteral("status"), integrity::statusName(c.status)},
                                     {QStringLiteral("key_id"), c.keyId.isEmpty() ? QJsonValue() : c.keyId},
                                     {QStringLiteral("size"), c.size},
                                     {QStringLiteral("records"), count(c.records)},
                                     {QStringLiteral("covered_bytes"), c.coveredBytes},
                                     {QStringLiteral("covered_records"), count(c.coveredRecords)},
                                     {QStringLiteral("comment"), c.comment},
                                     {QStringLiteral("problem"), c.problem},
                                     {QStringLiteral("pdf_signatures"), signatures},
                                     {QStringLiteral("attachments"), attachments}});
            continue;
        }
        out << file << ": " << integrity::statusName(c.status);
        if (!c.keyId.isEmpty())
            out << " (key " << c.keyId << ")";
        if (c.status == integrity::Status::Ok && c.records >= 0)
            out << ", " << c.records << " records";
        if (c.status == integrity::Status::Partial)
            out << ", signed " << c.coveredBytes << " of " << c.size << " bytes"
                << (c.coveredRecords >= 0 ? QStringLiteral(", %1 records").arg(c.coveredRecords) : QString())
                << (c.records >= 0 ? QStringLiteral(" of %1").arg(c.records) : QString());
        if (c.status != integrity::Status::Ok && c.status != integrity::Status::Partial && !c.problem.isEmpty())
            out << ": " << c.problem;
        out << "\n";
        if (!inside.problem.isEmpty())
            out << "  PDF: " << inside.problem << "\n";
        for (const auto &sig : inside.signatures)
            out << "  assinatura " << sig.field << ": " << sig.signer << ", " << timeText(sig.time) << ", "
                << (sig.reason.isEmpty() ? QStringLiteral("sem significado") : sig.reason) << ": " << sig.status << "; "
                << sig.certificate << "\n";
        for (const auto &a : inside.attachments) {
            out << "  anexo " << a.file << ": " << integrity::statusName(a.status);
            if (a.status != integrity::Status::Ok && !a.problem.isEmpty())
                out << ": " << a.problem;
            out << "\n";
        }
    }
    if (parser.isSet(json))
        out << QJsonDocument(array).toJson(QJsonDocument::Indented);
    return allOk ? cliexit::Ok : cliexit::VerificationFailed;
}

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
