#include "cli/LinkCli.h"

namespace {
int run(const QStringList &args, QTextStream &out, QTextStream &err);

const CliCommand kCommand{QStringLiteral("start-logging"),
                          QStringLiteral("start automatic recording in the instrument (\"R\")"),
                          QStringLiteral("termohigrometro-cli start-logging --port DEV [--timeout S]\n"
                                         "  Sends \"R\" unless the instrument already logs (then only the "
                                         "handshake, as the panel does)."),
                          run};

int run(const QStringList &args, QTextStream &, QTextStream &err)
{
    QCommandLineParser parser;
    linkcli::Options common;
    common.addTo(parser);
    if (const int code = linkcli::parse(parser, kCommand, args, err); code >= 0)
        return code;
    if (!parser.positionalArguments().isEmpty())
        return cliUsageError(err, kCommand, QStringLiteral("unexpected argument"));
    int code = 0;
    auto session = linkcli::open(parser, common, kCommand, err, &code);
    if (!session)
        return code;
    const QString type = session->identify();
    if (type.isEmpty())
        return session->failure(err);
    if (type != QLatin1String("NewType")) {
        err << "termohigrometro-cli: an OldType instrument has no automatic recording command\n";
        return cliexit::Refused;
    }
    const auto logging = session->logging();
    if (!logging)
        return session->failure(err);
    return startLogging(session->ctx(), *logging) ? cliexit::Ok : session->failure(err);
}

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
