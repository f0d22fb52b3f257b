#include "cli/LinkCli.h"

namespace {
int run(const QStringList &args, QTextStream &out, QTextStream &err);

const CliCommand kCommand{QStringLiteral("start-logging"),
                          QStringLiteral("start automatic recording in the instrument (\"R\")"),
                          QStringLiteral("termohigrometro-cli start-logging --port DEV [--timeout S] [--reason TEXT]\n"
                                         "  Sends \"R\" unless the instrument already logs (then only the "
                                         "handshake, as the panel does)."),
                          run};

int run(const QStringList &args, QTextStream &out, QTextStream &err)
{
    return linkcli::runInstrumentCommand(
        kCommand, args, out, err, {},
        [&err](const QCommandLineParser &parser) -> std::variant<linkcli::InstrumentStep, int> {
            if (!parser.positionalArguments().isEmpty())
                return cliUsageError(err, kCommand, QStringLiteral("unexpected argument"));
            linkcli::InstrumentStep step;
            step.newTypeOnly = QStringLiteral("an OldType instrument has no automatic recording command");
            step.talk = [](linkcli::Session &session, QTextStream &, std::optional<linkcli::InstrumentChange> *c) {
                const auto logging = session.logging();
                if (!logging || !startLogging(session.ctx(), *logging))
                    return false;
                // Already logging: nothing changed.
                if (!*logging)
                    *c = linkcli::InstrumentChange{QStringLiteral("instrument.logging.start"), false, true};
                return true;
            };
            return step;
        });
}

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
