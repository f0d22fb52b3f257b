#include "cli/LinkCli.h"

namespace {
int run(const QStringList &args, QTextStream &out, QTextStream &err);

const CliCommand kCommand{QStringLiteral("manual-record"),
                          QStringLiteral("record one reading in the instrument (\"S\")"),
                          QStringLiteral("termohigrometro-cli manual-record --port DEV [--timeout S] [--reason TEXT]\n"
                                         "  Sends \"S\"; refused (exit 5) while the instrument is logging."),
                          run};

int run(const QStringList &args, QTextStream &out, QTextStream &err)
{
    linkcli::InstrumentStep step;
    step.newTypeOnly = QStringLiteral("an OldType instrument has no manual record command");
    step.refusedWhileLogging = true;
    step.talk = [](linkcli::Session &session, QTextStream &, std::optional<linkcli::InstrumentChange> *change) {
        if (!manualRecord(session.ctx()))
            return false;
        *change = linkcli::InstrumentChange{QStringLiteral("instrument.manual_record"), {}, {}};
        return true;
    };
    return linkcli::runInstrumentCommand(kCommand, args, out, err, step);
}

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
