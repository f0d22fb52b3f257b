#include "cli/Cli.h"
#include "cli/PdfSigning.h"

#include "core/files/TextFile.h"

#include <QCommandLineParser>
#include <QFile>

namespace {
int run(const QStringList &args, QTextStream &out, QTextStream &err);

const CliCommand kCommand{
    QStringLiteral("sign-pdf"), QStringLiteral("signs a PDF with the person's A1 certificate"),
    QStringLiteral("termohigrometro-cli sign-pdf FILE.pdf --sign CERT.p12 --sign-meaning M\n"
                   "                                  [--sign-password-file FILE]\n"
                   "\n"
                   "Adds a signature to FILE.pdf as an incremental update: the signatures it already\n"
                   "has stay valid (a report signed for \"Autoria\" can then be signed for \"Aprovação\").\n"
                   "The file is replaced only when the signature is complete, and its .minisig renewed.\n"
                   "\n") +
        pdfSignHelp(),
    run, true};

int run(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    const PdfSignOptions signOpts;
    parser.addOptions(signOpts.all());
    if (!parser.parse(QStringList{kCommand.name} + args))
        return cliUsageError(err, kCommand, parser.errorText());
    const QStringList pos = parser.positionalArguments();
    if (pos.size() != 1)
        return cliUsageError(err, kCommand, QStringLiteral("give one PDF file"));
    PdfSignArgs sign;
    if (const int code = parsePdfSignOptions(parser, signOpts, kCommand, err, &sign); code >= 0)
        return code;
    if (!sign.wanted)
        return cliUsageError(err, kCommand, QStringLiteral("--sign CERT.p12 is needed"));
    QFile file(pos[0]);
    if (!file.open(QIODevice::ReadOnly)) {
        err << "termohigrometro-cli sign-pdf: " << pos[0] << ": " << file.errorString() << "\n";
        return cliexit::Failure;
    }
    const SignedPdf result = attachAndSign(file.readAll(), {}, sign);
    file.close();
    if (!result.pdf) {
        err << "termohigrometro-cli sign-pdf: " << result.error << "\n";
        return result.code;
    }
    QString error;
    if (!writeFileAtomically(pos[0], *result.pdf, &error, integrity::WrittenFile::Report)) {
        err << "termohigrometro-cli sign-pdf: " << error << "\n";
        return cliexit::Failure;
    }
    out << pos[0] << ": assinado por " << result.signer << " (" << result.meaning << ")\n";
    return cliexit::Ok;
}

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
