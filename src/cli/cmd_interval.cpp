#include "cli/LinkCli.h"

namespace {
int run(const QStringList &args, QTextStream &out, QTextStream &err);

const CliCommand kCommand{QStringLiteral("interval"), QStringLiteral("read or set the instrument's logging interval"),
                          QStringLiteral("termohigrometro-cli interval --port DEV (get | set N) [--timeout S]\n"
                                         "  get: prints the logging interval in seconds\n"
                                         "  set: N seconds, taken to the nearest integer and clamped to 1..65535;\n"
                                         "       refused while the instrument is logging"),
                          run};

int run(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    linkcli::Options common;
    common.addTo(parser);
    if (const int code = linkcli::parse(parser, kCommand, args, err); code >= 0)
        return code;
    const QStringList pos = parser.positionalArguments();
    const QString action = pos.value(0);
    std::optional<double> value;
    if (action == QLatin1String("get") && pos.size() == 1) {
    } else if (action == QLatin1String("set") && pos.size() == 2) {
        value = linkcli::number(pos[1]);
        if (!value)
            return cliUsageError(err, kCommand, QStringLiteral("'%1' is not a number").arg(pos[1]));
    } else {
        return cliUsageError(err, kCommand, QStringLiteral("choose get or set N"));
    }

    int code = 0;
    auto session = linkcli::open(parser, common, kCommand, err, &code);
    if (!session)
        return code;
    if (session->identify().isEmpty())
        return session->failure(err);
    if (!value) {
        const auto seconds = readSamplingInterval(session->ctx());
        if (!seconds)
            return session->failure(err);
        out << *seconds << "\n";
        return cliexit::Ok;
    }
    if (const auto refused = session->refuseWhileLogging(err))
        return *refused;
    if (!writeSamplingInterval(session->ctx(), clampSamplingSeconds(*value)))
        return session->failure(err);
    return cliexit::Ok;
}

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
