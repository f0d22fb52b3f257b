#include "cli/LinkCli.h"

#include <QJsonObject>

namespace {
int run(const QStringList &args, QTextStream &out, QTextStream &err);

const QCommandLineOption kRh(QStringLiteral("rh"), {}, QStringLiteral("X"));
const QCommandLineOption kTemp(QStringLiteral("temp"), {}, QStringLiteral("Y"));

const CliCommand kCommand{
    QStringLiteral("offset"), QStringLiteral("read or set the instrument's humidity and temperature offsets"),
    QStringLiteral("termohigrometro-cli offset --port DEV (get | set --rh X --temp Y) [--timeout S] [--reason TEXT]\n"
                   "  get: prints rh=X temp=Y (tenths, as the offset window shows them)\n"
                   "  set: X in %UR and Y in degrees Celsius, each within -25.5..25.5 (nearest tenth)"),
    run};

QJsonObject offsetsJson(const Offsets &o)
{
    return {{QStringLiteral("rh"), offsetText(o.signedRhTenths())},
            {QStringLiteral("temp"), offsetText(o.signedTempTenths())}};
}

int run(const QStringList &args, QTextStream &out, QTextStream &err)
{
    return linkcli::runInstrumentCommand(
        kCommand, args, out, err, {kRh, kTemp},
        [&err](const QCommandLineParser &parser) -> std::variant<linkcli::InstrumentStep, int> {
            const QStringList pos = parser.positionalArguments();
            const QString action = pos.value(0);
            if (action == QLatin1String("get") && pos.size() == 1) {
                if (parser.isSet(kRh) || parser.isSet(kTemp))
                    return cliUsageError(err, kCommand, QStringLiteral("--rh and --temp go with set"));
                return linkcli::printStep([](linkcli::Session &session) -> std::optional<QString> {
                    const auto o = readOffsets(session.ctx());
                    if (!o)
                        return std::nullopt;
                    return QStringLiteral("rh=%1 temp=%2")
                        .arg(offsetText(o->signedRhTenths()), offsetText(o->signedTempTenths()));
                });
            }
            linkcli::InstrumentStep step;
            if (action != QLatin1String("set") || pos.size() != 1)
                return cliUsageError(err, kCommand, QStringLiteral("choose get or set"));
            if (!parser.isSet(kRh) || !parser.isSet(kTemp))
                return cliUsageError(err, kCommand, QStringLiteral("set needs both --rh and --temp"));
            const auto h = linkcli::number(parser.value(kRh));
            const auto t = linkcli::number(parser.value(kTemp));
            if (!h || !t)
                return cliUsageError(err, kCommand, QStringLiteral("--rh and --temp need numbers"));
            const std::optional<Offsets> offsets = offsetsFromValues(*h, *t);
            if (!offsets) {
                err << kOffsetRangeMessage << "\n";
                return cliexit::Usage;
            }
            step.talk = [o = *offsets](linkcli::Session &session, QTextStream &,
                                       std::optional<linkcli::InstrumentChange> *c) {
                const auto old = readOffsets(session.ctx());
                if (!writeOffsets(session.ctx(), o))
                    return false;
                *c = linkcli::InstrumentChange{QStringLiteral("instrument.offset.set"),
                                               old ? QJsonValue(offsetsJson(*old)) : QJsonValue(), offsetsJson(o)};
                return true;
            };
            return step;
        });
}

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
