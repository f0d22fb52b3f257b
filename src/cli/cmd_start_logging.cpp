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
    linkcli::InstrumentStep step;
    step.newTypeOnly = QStringLiteral("an OldType instrument has no automatic recording command");
    step.talk = [](linkcli::Session &session, QTextStream &, std::optional<linkcli::InstrumentChange> *change) {
        const auto logging = session.logging();
        if (!logging || !startLogging(session.ctx(), *logging))
            return false;
        // Already logging: nothing changed.
        if (!*logging)
            *change = linkcli::InstrumentChange{QStringLiteral("instrument.logging.start"), false, true};
        return true;
    };
    return linkcli::runInstrumentCommand(kCommand, args, out, err, step);
}

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
