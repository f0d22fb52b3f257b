#include "cli/Cli.h"
#include "core/integrity/Seal.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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
                   "  Exit code 0 when every file is ok, 6 otherwise."),
    run};

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
        if (parser.isSet(json)) {
            array.append(QJsonObject{{QStringLiteral("file"), c.file},
                                     {QStringLiteral("status"), integrity::statusName(c.status)},
                                     {QStringLiteral("key_id"), c.keyId.isEmpty() ? QJsonValue() : c.keyId},
                                     {QStringLiteral("size"), c.size},
                                     {QStringLiteral("records"), count(c.records)},
                                     {QStringLiteral("covered_bytes"), c.coveredBytes},
                                     {QStringLiteral("covered_records"), count(c.coveredRecords)},
                                     {QStringLiteral("comment"), c.comment},
                                     {QStringLiteral("problem"), c.problem}});
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
    }
    if (parser.isSet(json))
        out << QJsonDocument(array).toJson(QJsonDocument::Indented);
    return allOk ? cliexit::Ok : cliexit::VerificationFailed;
}

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
