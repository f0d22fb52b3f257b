#include "cli/LinkCli.h"

namespace {
int run(const QStringList &args, QTextStream &out, QTextStream &err);

const CliCommand kCommand{
    QStringLiteral("offset"), QStringLiteral("read or set the instrument's humidity and temperature offsets"),
    QStringLiteral("termohigrometro-cli offset --port DEV (get | set --rh X --temp Y) [--timeout S]\n"
                   "  get: prints rh=X temp=Y (tenths, as the offset window shows them)\n"
                   "  set: X in %UR and Y in degrees Celsius, each within -25.5..25.5 (nearest tenth)"),
    run};

int run(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    linkcli::Options common;
    common.addTo(parser);
    const QCommandLineOption rh(QStringLiteral("rh"), {}, QStringLiteral("X"));
    const QCommandLineOption temp(QStringLiteral("temp"), {}, QStringLiteral("Y"));
    parser.addOptions({rh, temp});
    if (const int code = linkcli::parse(parser, kCommand, args, err); code >= 0)
        return code;
    const QStringList pos = parser.positionalArguments();
    const QString action = pos.value(0);
    std::optional<Offsets> offsets;
    if (action == QLatin1String("get") && pos.size() == 1) {
        if (parser.isSet(rh) || parser.isSet(temp))
            return cliUsageError(err, kCommand, QStringLiteral("--rh and --temp go with set"));
    } else if (action == QLatin1String("set") && pos.size() == 1) {
        if (!parser.isSet(rh) || !parser.isSet(temp))
            return cliUsageError(err, kCommand, QStringLiteral("set needs both --rh and --temp"));
        const auto h = linkcli::number(parser.value(rh));
        const auto t = linkcli::number(parser.value(temp));
        if (!h || !t)
            return cliUsageError(err, kCommand, QStringLiteral("--rh and --temp need numbers"));
        offsets = offsetsFromValues(*h, *t);
        if (!offsets) {
            err << kOffsetRangeMessage << "\n";
            return cliexit::Usage;
        }
    } else {
        return cliUsageError(err, kCommand, QStringLiteral("choose get or set"));
    }

    int code = 0;
    auto session = linkcli::open(parser, common, kCommand, err, &code);
    if (!session)
        return code;
    if (session->identify().isEmpty())
        return session->failure(err);
    if (!offsets) {
        const auto o = readOffsets(session->ctx());
        if (!o)
            return session->failure(err);
        out << "rh=" << offsetText(o->signedRhTenths()) << " temp=" << offsetText(o->signedTempTenths()) << "\n";
        return cliexit::Ok;
    }
    return writeOffsets(session->ctx(), *offsets) ? cliexit::Ok : session->failure(err);
}

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
