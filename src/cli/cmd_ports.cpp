#include "cli/Cli.h"
#include "platform/LinkFactory.h"

namespace {
int run(const QStringList &args, QTextStream &out, QTextStream &err);

const CliCommand kCommand{QStringLiteral("ports"), QStringLiteral("list the serial ports the system reports"),
                          QStringLiteral("termohigrometro-cli ports\n"
                                         "  Prints one serial port (device path) per line."),
                          run};

int run(const QStringList &args, QTextStream &out, QTextStream &err)
{
    if (!args.isEmpty())
        return cliUsageError(err, kCommand, QStringLiteral("unexpected argument '%1'").arg(args.first()));
    for (const QString &p : availablePorts())
        out << p << "\n";
    return cliexit::Ok;
}

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
