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
    return linkcli::runInstrumentCommand(
        kCommand, args, out, err, {},
        [&err](const QCommandLineParser &parser) -> std::variant<linkcli::InstrumentStep, int> {
            if (!parser.positionalArguments().isEmpty())
                return cliUsageError(err, kCommand, QStringLiteral("unexpected argument"));
            linkcli::InstrumentStep step;
            step.newTypeOnly = QStringLiteral("an OldType instrument has no manual record command");
            step.refusedWhileLogging = true;
            step.talk = [](linkcli::Session &session, QTextStream &, std::optional<linkcli::InstrumentChange> *c) {
                if (!manualRecord(session.ctx()))
                    return false;
                *c = linkcli::InstrumentChange{QStringLiteral("instrument.manual_record"), {}, {}};
                return true;
            };
            return step;
        });
}

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
