#include "cli/LinkCli.h"

namespace {
int run(const QStringList &args, QTextStream &out, QTextStream &err);

const CliCommand kCommand{QStringLiteral("manual-record"),
                          QStringLiteral("record one reading in the instrument (\"S\")"),
                          QStringLiteral("termohigrometro-cli manual-record --port DEV [--timeout S]\n"
                                         "  Sends \"S\"; refused (exit 5) while the instrument is logging."),
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
        err << "termohigrometro-cli: an OldType instrument has no manual record command\n";
        return cliexit::Refused;
    }
    if (const auto refused = session->refuseWhileLogging(err))
        return *refused;
    return manualRecord(session->ctx()) ? cliexit::Ok : session->failure(err);
}

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
