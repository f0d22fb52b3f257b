#include "cli/LinkCli.h"

namespace {
int run(const QStringList &args, QTextStream &out, QTextStream &err);

const CliCommand kCommand{QStringLiteral("interval"), QStringLiteral("read or set the instrument's logging interval"),
                          QStringLiteral("termohigrometro-cli interval --port DEV (get | set N) [--timeout S] "
                                         "[--reason TEXT]\n"
                                         "  get: prints the logging interval in seconds\n"
                                         "  set: N seconds, taken to the nearest integer and clamped to 1..65535;\n"
                                         "       refused while the instrument is logging"),
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
                    const auto seconds = readSamplingInterval(session.ctx());
                    return seconds ? std::optional(QString::number(*seconds)) : std::nullopt;
                });
            linkcli::InstrumentStep step;
            if (action != QLatin1String("set") || pos.size() != 2)
                return cliUsageError(err, kCommand, QStringLiteral("choose get or set N"));
            const auto value = linkcli::number(pos[1]);
            if (!value)
                return cliUsageError(err, kCommand, QStringLiteral("'%1' is not a number").arg(pos[1]));
            const int seconds = clampSamplingSeconds(*value);
            step.refusedWhileLogging = true;
            step.talk = [seconds](linkcli::Session &session, QTextStream &,
                                  std::optional<linkcli::InstrumentChange> *c) {
                const auto old = readSamplingInterval(session.ctx());
                if (!writeSamplingInterval(session.ctx(), seconds))
                    return false;
                *c = linkcli::InstrumentChange{QStringLiteral("instrument.interval.set"),
                                               old ? QJsonValue(*old) : QJsonValue(), seconds};
                return true;
            };
            return step;
        });
}

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
