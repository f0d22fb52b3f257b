#include "cli/LinkCli.h"

namespace {
int run(const QStringList &args, QTextStream &out, QTextStream &err);

const CliCommand kCommand{
    QStringLiteral("poweroff"), QStringLiteral("read or set the instrument's automatic power-off"),
    QStringLiteral("termohigrometro-cli poweroff --port DEV (get | set N | off) [--timeout S] [--reason TEXT]\n"
                   "  get: prints the power-off time in minutes\n"
                   "  set: N minutes (nearest integer, clamped to 1..255) and switches the power-off on\n"
                   "  off: switches the automatic power-off off\n"
                   "  set and off are refused while the instrument is logging"),
    run};

int run(const QStringList &args, QTextStream &out, QTextStream &err)
{
    return linkcli::runInstrumentCommand(
        kCommand, args, out, err, {},
        [&err](const QCommandLineParser &parser) -> std::variant<linkcli::InstrumentStep, int> {
            const QStringList pos = parser.positionalArguments();
            const QString action = pos.value(0);
            if (action == QLatin1String("get") && pos.size() == 1)
                return linkcli::printStep([](linkcli::Session &session) -> std::optional<QString> {
                    // The panel reads once; here a missing byte is asked for again until the limit.
                    const auto minutes =
                        session.untilAnswered([](LinkContext &step) { return readPowerOffMinutes(step); });
                    return minutes ? std::optional(QString::number(*minutes)) : std::nullopt;
                });
            linkcli::InstrumentStep step;
            std::optional<int> minutes;
            if (action == QLatin1String("set") && pos.size() == 2) {
                const auto value = linkcli::number(pos[1]);
                if (!value)
                    return cliUsageError(err, kCommand, QStringLiteral("'%1' is not a number").arg(pos[1]));
                minutes = clampPowerOffMinutes(*value);
            } else if (action != QLatin1String("off") || pos.size() != 1) {
                return cliUsageError(err, kCommand, QStringLiteral("choose get, set N or off"));
            }
            step.refusedWhileLogging = true;
            step.talk = [minutes](linkcli::Session &session, QTextStream &,
                                  std::optional<linkcli::InstrumentChange> *c) {
                const auto old = readPowerOffMinutes(session.ctx());
                const bool ok = minutes ? writePowerOff(session.ctx(), *minutes) : switchPowerOffOff(session.ctx());
                if (ok)
                    *c = linkcli::InstrumentChange{QStringLiteral("instrument.poweroff.set"),
                                                   old ? QJsonValue(*old) : QJsonValue(),
                                                   minutes ? QJsonValue(*minutes) : QJsonValue(QStringLiteral("off"))};
                return ok;
            };
            return step;
        });
}

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
