#include "cli/Cli.h"
#include "core/integrity/Audit.h"
#include "platform/PlatformChatter.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QJsonObject>

#include <cstdio>
#include <memory>

namespace {
QList<CliCommand> &registry()
{
    static QList<CliCommand> commands;
    return commands;
}

void printHelp(QTextStream &out)
{
    out << "usage: termohigrometro-cli COMMAND [OPTIONS]\n"
        << "       termohigrometro-cli COMMAND --help\n\n"
        << "Thermo-hygrometer tool: live readings, PC recording, logger download,\n"
        << "instrument settings, reports and charts of data files, emulated instrument.\n\n"
        << "Commands:\n";
    for (const CliCommand &c : registry())
        out << "  " << c.name.leftJustified(14) << c.summary << "\n";
    out << "\nOptions: --help, --version\n"
        << "\nEvery command that writes a file signs it (FILE.minisig, minisign's format) and notes it\n"
        << "in the audit trail. These options choose the key and the trail for any command:\n"
        << "  --key FILE    the secret signing key (default: TH_SIGNING_KEY, else\n"
        << "                ~/.local/share/termohigrometro/assinatura.key, created on first need)\n"
        << "  --audit FILE  the audit trail (default: TH_AUDIT, else auditoria.jsonl beside the key)\n"
        << "\nExit codes: 0 done, 1 failure (files), 2 bad arguments, 3 the instrument did not answer,\n"
        << "4 port unavailable, 5 the instrument refuses, 6 verification failed, 7 the certificate\n"
        << "refused for a PDF signature (wrong password, expired, not a certificate).\n"
        << "\nreport --full, study -o, audit report and sign-pdf sign PDFs with a person's A1\n"
        << "certificate (--sign CERT.p12 --sign-meaning M); see their --help.\n";
}

// Takes "--key FILE" and "--audit FILE" (or "--key=FILE") out of the
// arguments: they are the same for every command. False when one has no value.
bool takeIntegrityOptions(QStringList &args, QTextStream &err)
{
    for (const char *name : {"key", "audit"}) {
        const QString opt = QStringLiteral("--") + QLatin1String(name);
        for (qsizetype i = 0; i < args.size();) {
            QString value;
            if (args[i] == opt) {
                if (i + 1 >= args.size()) {
                    err << "termohigrometro-cli: " << opt << " needs a file\n";
                    return false;
                }
                value = args[i + 1];
                args.remove(i, 2);
            } else if (args[i].startsWith(opt + QLatin1Char('='))) {
                value = args[i].mid(opt.size() + 1);
                args.remove(i);
            } else if (args[i] == QLatin1String("--")) {
                break;
            } else {
                ++i;
                continue;
            }
            if (value.isEmpty()) {
                err << "termohigrometro-cli: " << opt << " needs a file\n";
                return false;
            }
            if (qstrcmp(name, "key") == 0)
                integrity::setKeyPath(value);
            else
                integrity::setAuditPath(value);
        }
    }
    return true;
}
} // namespace

void registerCliCommand(const CliCommand &command)
{
    registry().append(command);
}
const QList<CliCommand> &cliCommands()
{
    return registry();
}

int cliUsageError(QTextStream &err, const CliCommand &command, const QString &problem)
{
    if (!problem.isEmpty())
        err << "termohigrometro-cli " << command.name << ": " << problem << "\n";
    err << "usage: " << command.usage.section(QLatin1Char('\n'), 0, 0) << "\n";
    err.flush();
    return cliexit::Usage;
}

int main(int argc, char **argv)
{
    // Commands that draw need the font database of a GUI application, but
    // never a display.
    bool gui = false;
    for (const CliCommand &c : registry())
        gui = gui || (argc > 1 && c.needsGui && c.name == QString::fromLocal8Bit(argv[1]));
    if (gui)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    quietPlatformChatter();
    std::unique_ptr<QCoreApplication> application =
        gui ? std::make_unique<QGuiApplication>(argc, argv) : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication &app = *application;
    QCoreApplication::setApplicationName(QStringLiteral("termohigrometro-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TH_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);

    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        printHelp(err);
        return cliexit::Usage;
    }
    const QString name = args.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h") || name == QLatin1String("help")) {
        printHelp(out);
        return cliexit::Ok;
    }
    if (name == QLatin1String("--version")) {
        out << "termohigrometro-cli " << TH_VERSION << "\n";
        return cliexit::Ok;
    }
    for (const CliCommand &c : registry()) {
        if (c.name != name)
            continue;
        if (args.contains(QLatin1String("--help")) || args.contains(QLatin1String("-h"))) {
            out << "usage: " << c.usage << "\n";
            return cliexit::Ok;
        }
        if (!takeIntegrityOptions(args, err))
            return cliUsageError(err, c, {});
        // Every file the tool writes is signed; a key made on the way is said once.
        integrity::setProgram(QStringLiteral("termohigrometro-cli/" TH_VERSION));
        integrity::setNotifier([&err](const QString &message) {
            err << "termohigrometro-cli: " << message << "\n";
            err.flush();
        });
        integrity::setSigningEnabled(true);
        if (c.longRunning)
            integrity::auditRecord(QStringLiteral("program.start"), QJsonValue::Null,
                                   QJsonObject{{QStringLiteral("command"), c.name}});
        const int code = c.run(args, out, err);
        if (c.longRunning)
            integrity::auditRecord(QStringLiteral("program.end"), QJsonValue::Null,
                                   QJsonObject{{QStringLiteral("command"), c.name}, {QStringLiteral("exit"), code}});
        integrity::finishTrail();
        out.flush();
        err.flush();
        return code;
    }
    err << "termohigrometro-cli: unknown command '" << name << "'\n";
    err << "usage: termohigrometro-cli COMMAND [OPTIONS] (see --help)\n";
    return cliexit::Usage;
}
