#include "cli/LinkCli.h"

namespace {
int run(const QStringList &args, QTextStream &out, QTextStream &err);

const CliCommand kCommand{
    QStringLiteral("poweroff"), QStringLiteral("read or set the instrument's automatic power-off"),
    QStringLiteral("termohigrometro-cli poweroff --port DEV (get | set N | off) [--timeout S]\n"
                   "  get: prints the power-off time in minutes\n"
                   "  set: N minutes (nearest integer, clamped to 1..255) and switches the power-off on\n"
                   "  off: switches the automatic power-off off\n"
                   "  set and off are refused while the instrument is logging"),
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
    if ((action == QLatin1String("get") || action == QLatin1String("off")) && pos.size() == 1) {
    } else if (action == QLatin1String("set") && pos.size() == 2) {
        value = linkcli::number(pos[1]);
        if (!value)
            return cliUsageError(err, kCommand, QStringLiteral("'%1' is not a number").arg(pos[1]));
    } else {
        return cliUsageError(err, kCommand, QStringLiteral("choose get, set N or off"));
    }

    int code = 0;
    auto session = linkcli::open(parser, common, kCommand, err, &code);
    if (!session)
        return code;
    if (session->identify().isEmpty())
        return session->failure(err);

    if (action == QLatin1String("get")) {
        // The panel reads once; here a missing byte is asked for again until the limit.
        const auto minutes = session->untilAnswered([](LinkContext &step) { return readPowerOffMinutes(step); });
        if (!minutes)
            return session->failure(err);
        out << *minutes << "\n";
        return cliexit::Ok;
    }
    if (const auto refused = session->refuseWhileLogging(err))
        return *refused;
    const bool ok =
        value ? writePowerOff(session->ctx(), clampPowerOffMinutes(*value)) : switchPowerOffOff(session->ctx());
    return ok ? cliexit::Ok : session->failure(err);
}

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
