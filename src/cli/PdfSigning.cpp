#include "cli/PdfSigning.h"

#include "render/PdfSignature.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <termios.h>
#include <unistd.h>

namespace {

// The password is asked on the terminal, without echo, when it is not in a
// file or in TH_SIGN_PASSWORD; never on the command line.
std::optional<QByteArray> askOnTerminal(QString *error)
{
    FILE *tty = std::fopen("/dev/tty", "r+");
    if (!tty) {
        *error = QStringLiteral("sem a senha do certificado: use --sign-password-file ARQUIVO ou TH_SIGN_PASSWORD");
        return std::nullopt;
    }
    std::fputs("Senha do certificado: ", tty);
    std::fflush(tty);
    termios old{};
    const bool hide = tcgetattr(fileno(tty), &old) == 0;
    if (hide) {
        termios quiet = old;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(fileno(tty), TCSAFLUSH, &quiet);
    }
    char line[1024];
    const bool got = std::fgets(line, sizeof line, tty) != nullptr;
    if (hide)
        tcsetattr(fileno(tty), TCSAFLUSH, &old);
    std::fputs("\n", tty);
    std::fclose(tty);
    QByteArray password = got ? QByteArray(line) : QByteArray();
    std::memset(line, 0, sizeof line);
    while (password.endsWith('\n') || password.endsWith('\r'))
        password.chop(1);
    if (!got) {
        *error = QStringLiteral("sem a senha do certificado");
        return std::nullopt;
    }
    return password;
}

std::optional<QByteArray> signingPassword(const PdfSignArgs &args, QString *error)
{
    if (!args.passwordFile.isEmpty()) {
        const QFileInfo info(args.passwordFile);
        if (info.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther)) {
            *error = QStringLiteral("%1: o arquivo da senha pode ser lido por outros; deixe-o só para você (chmod 600)")
                         .arg(args.passwordFile);
            return std::nullopt;
        }
        QFile file(args.passwordFile);
        if (!file.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("%1: não foi possível ler a senha").arg(args.passwordFile);
            return std::nullopt;
        }
        QByteArray password = file.readLine();
        while (password.endsWith('\n') || password.endsWith('\r'))
            password.chop(1);
        return password;
    }
    if (qEnvironmentVariableIsSet("TH_SIGN_PASSWORD"))
        return qgetenv("TH_SIGN_PASSWORD");
    return askOnTerminal(error);
}

} // namespace

int parsePdfSignOptions(const QCommandLineParser &parser, const PdfSignOptions &options, const CliCommand &command,
                        QTextStream &err, PdfSignArgs *args)
{
    args->wanted = parser.isSet(options.sign);
    if (!args->wanted) {
        if (parser.isSet(options.meaning) || parser.isSet(options.passwordFile))
            return cliUsageError(err, command,
                                 QStringLiteral("--sign-meaning and --sign-password-file go with --sign"));
        return -1;
    }
    args->certificate = parser.value(options.sign);
    args->passwordFile = parser.value(options.passwordFile);
    if (!parser.isSet(options.meaning))
        return cliUsageError(
            err, command,
            QStringLiteral("--sign needs --sign-meaning %1").arg(pdfsign::meanings().join(QLatin1Char('|'))));
    args->meaning = pdfsign::meaningFromArgument(parser.value(options.meaning));
    if (args->meaning.isEmpty())
        return cliUsageError(
            err, command,
            QStringLiteral("--sign-meaning is one of %1").arg(pdfsign::meanings().join(QStringLiteral(", "))));
    return -1;
}

SignedPdf attachAndSign(const QByteArray &pdf, const QStringList &dataFiles, const PdfSignArgs &args)
{
    SignedPdf result;
    result.meaning = args.meaning;
    auto password = signingPassword(args, &result.error);
    if (!password) {
        result.code = cliexit::Failure;
        return result;
    }
    pdfsign::SignOutcome outcome =
        pdfsign::signWithEvidence(pdf, dataFiles, {args.certificate, *password, args.meaning});
    password->fill('\0');
    result.signer = outcome.signer;
    if (!outcome.pdf) {
        const bool refused = pdfsign::certificateRefused(outcome.refusal);
        result.code = refused ? cliexit::SigningRefused : cliexit::Failure;
        result.error = refused ? args.certificate + QStringLiteral(": ") + outcome.error : outcome.error;
        return result;
    }
    result.pdf = std::move(outcome.pdf);
    return result;
}

QString pdfSignHelp()
{
    return QStringLiteral("  --sign CERT.p12     signs the PDF with this A1 certificate (.p12 or .pfx): a standard\n"
                          "                      PDF signature any PDF reader checks, with a block \"Assinado\n"
                          "                      digitalmente por NOME\", the date, time and UTC offset, and the\n"
                          "                      meaning, on the last page\n"
                          "  --sign-meaning M    Autoria, Revisão, Aprovação or Responsabilidade (accents optional)\n"
                          "  --sign-password-file FILE  the certificate's password, in a file only you can read\n"
                          "                      (mode 0600); else TH_SIGN_PASSWORD, else it is asked on the terminal\n"
                          "                      at each signature. It is never kept.\n"
                          "  The certificate is held in an NSS database under $XDG_DATA_HOME/termohigrometro/nss\n"
                          "  (TH_NSS_DIR) only while it signs. Exit code 7 when the certificate is refused (wrong\n"
                          "  password, expired, not a certificate); no PDF is written then.");
}
