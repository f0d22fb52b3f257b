#include "cli/LinkCli.h"
#include "core/reading/Decode.h"

namespace {
int run(const QStringList &args, QTextStream &out, QTextStream &err);

const CliCommand kCommand{
    QStringLiteral("read"), QStringLiteral("read live frames from the instrument"),
    QStringLiteral("termohigrometro-cli read --port DEV [--count N] [--json] [--timeout S]\n"
                   "  Handshake, identification, then N live frames (default 1), one line each.\n"
                   "  --json: one JSON object per line (temp_c, temp_f, rh, dew_c, wet_c, dew_f, wet_f\n"
                   "  as dot texts, memory_full, logging, hold, low_battery, instrument_type)."),
    run};

int run(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    linkcli::Options common;
    common.addTo(parser);
    const QCommandLineOption count(QStringLiteral("count"), {}, QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption json(QStringLiteral("json"));
    parser.addOptions({count, json});
    if (const int code = linkcli::parse(parser, kCommand, args, err); code >= 0)
        return code;
    if (!parser.positionalArguments().isEmpty())
        return cliUsageError(err, kCommand, QStringLiteral("unexpected argument"));
    bool ok = false;
    const int n = parser.value(count).toInt(&ok);
    if (!ok || n < 1)
        return cliUsageError(err, kCommand, QStringLiteral("--count needs a positive number"));
    int code = 0;
    auto session = linkcli::open(parser, common, kCommand, err, &code);
    if (!session)
        return code;
    const QString type = session->identify();
    if (type.isEmpty())
        return session->failure(err);
    for (int i = 0; i < n; ++i) {
        const auto f = session->frame();
        if (!f)
            return session->failure(err);
        Reading r;
        decodeFrame(r, *f);
        if (parser.isSet(json)) {
            out << linkcli::jsonObject({{"temp_c", r.TempCDot},
                                        {"temp_f", r.TempFDot},
                                        {"rh", r.RhDot},
                                        {"dew_c", r.DewCDot},
                                        {"wet_c", r.WetCDot},
                                        {"dew_f", r.DewFDot},
                                        {"wet_f", r.WetFDot},
                                        {"memory_full", r.MemoryFull},
                                        {"logging", r.InstrumentRecording},
                                        {"hold", r.Hold},
                                        {"low_battery", r.LowBattery},
                                        {"instrument_type", type}})
                << "\n";
        } else {
            QStringList flags;
            if (r.MemoryFull)
                flags << QStringLiteral("memory_full");
            if (r.InstrumentRecording)
                flags << QStringLiteral("logging");
            if (r.Hold)
                flags << QStringLiteral("hold");
            if (r.LowBattery)
                flags << QStringLiteral("low_battery");
            out << "temp_c=" << r.TempCDot << " temp_f=" << r.TempFDot << " rh=" << r.RhDot << " dew_c=" << r.DewCDot
                << " wet_c=" << r.WetCDot << " dew_f=" << r.DewFDot << " wet_f=" << r.WetFDot << " type=" << type;
            if (!flags.isEmpty())
                out << " " << flags.join(QLatin1Char(' '));
            out << "\n";
        }
        out.flush();
    }
    return cliexit::Ok;
}

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
