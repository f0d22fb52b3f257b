#pragma once

#include "cli/Cli.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <optional>

// --sign CERT.p12 --sign-meaning M [--sign-password-file FILE] of the
// commands that write PDFs: the same options, password rules and messages
// for all of them.
struct PdfSignOptions {
    QCommandLineOption sign{QStringLiteral("sign"), {}, QStringLiteral("CERT.p12")};
    QCommandLineOption meaning{QStringLiteral("sign-meaning"), {}, QStringLiteral("M")};
    QCommandLineOption passwordFile{QStringLiteral("sign-password-file"), {}, QStringLiteral("FILE")};
    QList<QCommandLineOption> all() const { return {sign, meaning, passwordFile}; }
};

struct PdfSignArgs {
    bool wanted = false;
    QString certificate, meaning, passwordFile;
};

// -1 when the options are fine (or absent), else cliexit::Usage after the usage message.
int parsePdfSignOptions(const QCommandLineParser &parser, const PdfSignOptions &options, const CliCommand &command,
                        QTextStream &err, PdfSignArgs *args);

struct SignedPdf {
    std::optional<QByteArray> pdf;
    int code = cliexit::Ok; // cliexit::SigningRefused or Failure when there is no PDF
    QString error;
    QString signer, meaning;
};

// Carries `dataFiles` and their .minisig files (those that exist) inside the
// PDF, then signs it. Nothing is written but the program's certificate database.
SignedPdf attachAndSign(const QByteArray &pdf, const QStringList &dataFiles, const PdfSignArgs &args);

// The options' lines for the commands' --help.
QString pdfSignHelp();
