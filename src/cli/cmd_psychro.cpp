#include "cli/Cli.h"

#include "core/reading/Decode.h"
#include "core/reading/Format.h"

#include <QCommandLineParser>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {
const QString kNone = QStringLiteral("----");

bool parseNumber(const QString &text, double &value)
{
    bool ok = false;
    value = QLocale::c().toDouble(QString(text).trimmed().replace(QLatin1Char(','), QLatin1Char('.')), &ok);
    return ok && std::isfinite(value);
}

QJsonValue numberOrNull(const QString &text, double value)
{
    return text == kNone ? QJsonValue(QJsonValue::Null) : QJsonValue(value);
}

int run(const CliCommand &self, const QStringList &args, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption temp(QStringLiteral("temp"), {}, QStringLiteral("C"));
    const QCommandLineOption rh(QStringLiteral("rh"), {}, QStringLiteral("P"));
    const QCommandLineOption json(QStringLiteral("json"));
    parser.addOptions({temp, rh, json});
    if (!parser.parse(QStringList{self.name} + args))
        return cliUsageError(err, self, parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return cliUsageError(err, self,
                             QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    if (!parser.isSet(temp) || !parser.isSet(rh))
        return cliUsageError(err, self, QStringLiteral("--temp and --rh are required"));
    double t = 0, h = 0;
    if (!parseNumber(parser.value(temp), t))
        return cliUsageError(err, self, QStringLiteral("--temp: not a number: '%1'").arg(parser.value(temp)));
    if (!parseNumber(parser.value(rh), h))
        return cliUsageError(err, self, QStringLiteral("--rh: not a number: '%1'").arg(parser.value(rh)));

    // The same road as an instrument reading: two-decimal texts first, then
    // the computation on what those texts say.
    setDisplayLocale(QLocale::c());
    Reading r;
    r.TempC = t;
    r.TempF = t * 1.8 + 32;
    r.Rh = h;
    r.TempCText = formatFixed(r.TempC, 2, QLocale::c());
    r.TempFText = formatFixed(r.TempF, 2, QLocale::c());
    r.RhText = formatFixed(r.Rh, 2, QLocale::c());
    ComputeDewWet(r, r.TempCText, r.RhText);
    fillDotTexts(r);

    if (parser.isSet(json)) {
        const QJsonObject o{
            {QStringLiteral("dew_c"), numberOrNull(r.DewCText, r.DewC)},
            {QStringLiteral("wet_c"), numberOrNull(r.WetCText, r.WetC)},
            {QStringLiteral("dew_f"), numberOrNull(r.DewFText, r.DewF)},
            {QStringLiteral("wet_f"), numberOrNull(r.WetFText, r.WetF)},
            {QStringLiteral("dew_c_text"), r.DewCDot},
            {QStringLiteral("wet_c_text"), r.WetCDot},
            {QStringLiteral("dew_f_text"), r.DewFDot},
            {QStringLiteral("wet_f_text"), r.WetFDot},
        };
        out << QJsonDocument(o).toJson(QJsonDocument::Compact) << "\n";
        return cliexit::Ok;
    }
    out << r.TempCText << " °C, " << r.RhText << " %: dew point " << r.DewCText << " °C (" << r.DewFText
        << " °F), wet bulb " << r.WetCText << " °C (" << r.WetFText << " °F)\n";
    return cliexit::Ok;
}

const CliCommand kCommand{
    QStringLiteral("psychro"),
    QStringLiteral("dew point and wet bulb of a temperature and a relative humidity"),
    QStringLiteral("termohigrometro-cli psychro --temp C --rh P [--json]\n"
                   "\n"
                   "Computes the dew point and the wet-bulb temperature as the panel does for a\n"
                   "reading: both values are first taken to two decimals, as the instrument sends them.\n"
                   "\n"
                   "  --temp C   air temperature in degrees Celsius (\".\" or \",\" as decimal separator)\n"
                   "  --rh P     relative humidity in percent; 100 or more is saturated air, 0 or less\n"
                   "             has no dew point or wet bulb\n"
                   "  --json     one JSON object: dew_c, wet_c, dew_f, wet_f (numbers, null where\n"
                   "             undefined) and dew_c_text, wet_c_text, dew_f_text, wet_f_text (the texts\n"
                   "             a data file carries, \"----.0\" where undefined)"),
    {}};

const CliCommandRegistrar registrar{[] {
    CliCommand c = kCommand;
    c.run = [](const QStringList &args, QTextStream &out, QTextStream &err) { return run(kCommand, args, out, err); };
    return c;
}()};
} // namespace
