#include "cli/Cli.h"
#include "platform/PlatformChatter.h"

#include <QCoreApplication>
#include <QGuiApplication>

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
    out << "\nOptions: --help, --version\n";
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
        const int code = c.run(args, out, err);
        out.flush();
        err.flush();
        return code;
    }
    err << "termohigrometro-cli: unknown command '" << name << "'\n";
    err << "usage: termohigrometro-cli COMMAND [OPTIONS] (see --help)\n";
    return cliexit::Usage;
}
