#include "cli/LinkCli.h"

#include <QDateTime>
#include <QJsonObject>

namespace {
int run(const QStringList &args, QTextStream &out, QTextStream &err);

const QCommandLineOption kAt(QStringLiteral("at"), {}, QStringLiteral("YYYY-MM-DD hh:mm:ss"));

const CliCommand kCommand{
    QStringLiteral("clock"), QStringLiteral("read or set the instrument's clock"),
    QStringLiteral("termohigrometro-cli clock --port DEV (get | set [--at \"YYYY-MM-DD hh:mm:ss\"]) [--timeout S] "
                   "[--reason TEXT]\n"
                   "  get: prints the instrument clock as yy/mm/dd hh:mm:ss\n"
                   "  set: sets it from the PC clock or the given time (2000..2099); refused while logging"),
    run};

int run(const QStringList &args, QTextStream &out, QTextStream &err)
{
    return linkcli::runInstrumentCommand(
        kCommand, args, out, err, {kAt},
        [&err](const QCommandLineParser &parser) -> std::variant<linkcli::InstrumentStep, int> {
            const QStringList pos = parser.positionalArguments();
            const QString action = pos.value(0);
            if (pos.size() != 1 || (action != QLatin1String("get") && action != QLatin1String("set")))
                return cliUsageError(err, kCommand, QStringLiteral("choose get or set"));
            QDateTime when;
            if (parser.isSet(kAt)) {
                if (action != QLatin1String("set"))
                    return cliUsageError(err, kCommand, QStringLiteral("--at goes with set"));
                when = QDateTime::fromString(parser.value(kAt).trimmed(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
                if (!when.isValid() || when.date().year() < 2000 || when.date().year() > 2099)
                    return cliUsageError(err, kCommand,
                                         QStringLiteral("--at needs \"YYYY-MM-DD hh:mm:ss\" in 2000..2099"));
            }
            if (action == QLatin1String("get"))
                return linkcli::printStep([](linkcli::Session &session) -> std::optional<QString> {
                    // One exchange per try, as the clock window does; tried until the limit.
                    const auto six = session.untilAnswered([](LinkContext &step) { return readInstrumentClock(step); });
                    return six ? std::optional(clockText(*six)) : std::nullopt;
                });
            linkcli::InstrumentStep step;
            step.refusedWhileLogging = true;
            step.talk = [when](linkcli::Session &session, QTextStream &, std::optional<linkcli::InstrumentChange> *c) {
                const auto old = readInstrumentClock(session.ctx());
                const QDateTime pc = QDateTime::currentDateTime();
                const QDateTime set = when.isValid() ? when : pc;
                if (!writeInstrumentClock(session.ctx(), set))
                    return false;
                // The PC's own time goes with it: a clock set to another time is told apart.
                *c = linkcli::InstrumentChange{
                    QStringLiteral("instrument.clock.set"), old ? QJsonValue(clockText(*old)) : QJsonValue(),
                    QJsonObject{{QStringLiteral("clock"), clockText(clockBytes(set))},
                                {QStringLiteral("pc"), pc.toOffsetFromUtc(pc.offsetFromUtc()).toString(Qt::ISODate)}}};
                return true;
            };
            return step;
        });
}

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
