#include "cli/Cli.h"
#include "cli/DataFileArgs.h"
#include "cli/StatsJson.h"
#include "cli/StudyOutput.h"

#include "core/files/DataRecords.h"
#include "core/study/Study.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
using namespace study;

// "2026-06-30T08:00[:00]", "2026-06-30 08:00[:00]", "30/06/2026 08:00[:00]", or a date alone
// (its start, or its last second for the end of the period).
std::optional<QDateTime> parseLocalDateTime(const QString &text, bool end)
{
    const QString t = text.trimmed();
    for (const char *f : {"yyyy-MM-ddTHH:mm:ss", "yyyy-MM-ddTHH:mm", "yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm",
                          "dd/MM/yyyy HH:mm:ss", "dd/MM/yyyy HH:mm"}) {
        const QDateTime d = QDateTime::fromString(t, QString::fromLatin1(f));
        if (d.isValid())
            return d;
    }
    for (const char *f : {"yyyy-MM-dd", "dd/MM/yyyy"}) {
        const QDate d = QDate::fromString(t, QString::fromLatin1(f));
        if (d.isValid())
            return QDateTime(d, end ? QTime(23, 59, 59) : QTime(0, 0));
    }
    return std::nullopt;
}

QJsonValue studyQuantityJson(const LoggerFigures &f, Quantity q)
{
    const QJsonValue base = quantityJson(f.stats[q]);
    if (!base.isObject() || !f.stats[q]->limited)
        return base;
    QJsonObject o = base.toObject();
    const QuantityExcursions &e = f.excursions[size_t(q)];
    o.insert(QStringLiteral("excursions"), int(e.runs.size()));
    o.insert(QStringLiteral("longest_excursion_seconds"), e.longestSeconds);
    o.insert(QStringLiteral("longest_excursion_start"), isoOrNull(e.longestStart));
    QJsonArray runs;
    for (const Excursion &x : e.runs)
        runs.append(QJsonObject{{QStringLiteral("start"), isoOrNull(x.start)},
                                {QStringLiteral("end"), isoOrNull(x.end)},
                                {QStringLiteral("records"), x.records},
                                {QStringLiteral("seconds"), x.seconds},
                                {QStringLiteral("extreme"), x.extreme}});
    o.insert(QStringLiteral("excursion_list"), runs);
    return o;
}

QJsonObject studyJson(const Result &r)
{
    QJsonArray loggers;
    for (const LoggerFigures &f : r.loggers) {
        QJsonObject o{{QStringLiteral("label"), f.label},
                      {QStringLiteral("file"), f.file},
                      {QStringLiteral("file_unit"), f.fileCelsius ? QStringLiteral("C") : QStringLiteral("F")},
                      {QStringLiteral("records"), f.stats.records},
                      {QStringLiteral("first"), isoOrNull(f.stats.first)},
                      {QStringLiteral("last"), isoOrNull(f.stats.last)},
                      {QStringLiteral("interval_seconds"), f.intervalSeconds},
                      {QStringLiteral("mkt"), f.stats.mkt ? QJsonValue(*f.stats.mkt) : QJsonValue(QJsonValue::Null)}};
        for (int k = 0; k < kQuantities; ++k)
            o.insert(quantityKey(Quantity(k)), studyQuantityJson(f, Quantity(k)));
        loggers.append(o);
    }
    const auto spot = [&r](const std::optional<Spot> &s) -> QJsonValue {
        if (!s)
            return QJsonValue(QJsonValue::Null);
        return QJsonObject{{QStringLiteral("label"), r.loggers[s->logger].label},
                           {QStringLiteral("value"), s->value},
                           {QStringLiteral("at"), isoOrNull(s->at)},
                           {QStringLiteral("mean"), s->mean}};
    };
    QJsonValue difference(QJsonValue::Null);
    if (r.maxDifference)
        difference = QJsonObject{{QStringLiteral("value"), r.maxDifference->value},
                                 {QStringLiteral("at"), isoOrNull(r.maxDifference->at)},
                                 {QStringLiteral("between"), QJsonArray{r.loggers[r.maxDifference->warmer].label,
                                                                        r.loggers[r.maxDifference->cooler].label}}};
    return QJsonObject{
        {QStringLiteral("unit"), r.celsius ? QStringLiteral("C") : QStringLiteral("F")},
        {QStringLiteral("from"), isoOrNull(r.from)},
        {QStringLiteral("to"), isoOrNull(r.to)},
        {QStringLiteral("loggers"), loggers},
        {QStringLiteral("hot_spot"), spot(r.hot)},
        {QStringLiteral("cold_spot"), spot(r.cold)},
        {QStringLiteral("mean_spread"), r.meanSpread ? QJsonValue(*r.meanSpread) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("max_difference"), difference},
        {QStringLiteral("warnings"), QJsonArray::fromStringList(r.warnings)}};
}

QString hms(qint64 seconds)
{
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString fixed(const std::optional<double> &v, int decimals)
{
    return v ? QString::number(*v, 'f', decimals) : QStringLiteral("-");
}

void printSummary(QTextStream &out, const Result &r)
{
    const QString unit = r.celsius ? QStringLiteral("°C") : QStringLiteral("°F");
    out << "study: " << r.loggers.size() << " loggers, " << isoLocal(r.from) << " .. " << isoLocal(r.to) << ", " << unit
        << "\n\n";
    const bool limited = r.limits[Quantity::Temperature].isSet();
    int labelWidth = 6;
    for (const LoggerFigures &f : r.loggers)
        labelWidth = std::max(labelWidth, int(f.label.size()));
    QString head = QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                       .arg(QStringLiteral("logger"), -labelWidth)
                       .arg(QStringLiteral("records"), 7)
                       .arg(QStringLiteral("interval"), 8)
                       .arg(QStringLiteral("min"), 7)
                       .arg(QStringLiteral("max"), 7)
                       .arg(QStringLiteral("mean"), 7)
                       .arg(QStringLiteral("MKT"), 7);
    if (limited)
        head += QStringLiteral(" %1 %2").arg(QStringLiteral("outside"), 10).arg(QStringLiteral("excursions"), 10);
    out << head << "\n";
    for (const LoggerFigures &f : r.loggers) {
        const auto &t = f.stats[Quantity::Temperature];
        QString line = QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                           .arg(f.label, -labelWidth)
                           .arg(f.stats.records, 7)
                           .arg(hms(f.intervalSeconds), 8)
                           .arg(fixed(t ? std::optional<double>(t->min) : std::nullopt, 1), 7)
                           .arg(fixed(t ? std::optional<double>(t->max) : std::nullopt, 1), 7)
                           .arg(fixed(t ? std::optional<double>(t->mean) : std::nullopt, 2), 7)
                           .arg(fixed(f.stats.mkt, 2), 7);
        if (limited)
            line += QStringLiteral(" %1 %2")
                        .arg(hms(t ? t->outsideSeconds : 0), 10)
                        .arg(f.excursions[size_t(Quantity::Temperature)].runs.size(), 10);
        out << line << "\n";
    }
    out << "\n";
    if (r.hot)
        out << "hot spot: " << r.loggers[r.hot->logger].label << " (" << QString::number(r.hot->value, 'f', 1) << " "
            << unit << " at " << isoLocal(r.hot->at) << ")\n";
    if (r.cold)
        out << "cold spot: " << r.loggers[r.cold->logger].label << " (" << QString::number(r.cold->value, 'f', 1) << " "
            << unit << " at " << isoLocal(r.cold->at) << ")\n";
    if (r.meanSpread)
        out << "spread of the means: " << QString::number(*r.meanSpread, 'f', 2) << " " << unit << "\n";
    if (r.maxDifference)
        out << "largest difference at one moment: " << QString::number(r.maxDifference->value, 'f', 1) << " " << unit
            << " at " << isoLocal(r.maxDifference->at) << " (" << r.loggers[r.maxDifference->warmer].label << " - "
            << r.loggers[r.maxDifference->cooler].label << ")\n";
    for (const QString &w : r.warnings)
        out << "warning: " << w << "\n";
}

int run(const CliCommand &self, const QStringList &args, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption labelOpt(QStringLiteral("label"), {}, QStringLiteral("FILE=TEXT"));
    const QCommandLineOption fromOpt(QStringLiteral("from"), {}, QStringLiteral("DT"));
    const QCommandLineOption toOpt(QStringLiteral("to"), {}, QStringLiteral("DT"));
    const QCommandLineOption unitOpt(QStringLiteral("unit"), {}, QStringLiteral("C|F"));
    const QCommandLineOption jsonOpt(QStringLiteral("json"));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")}, {},
                                    QStringLiteral("OUT.pdf"));
    const QCommandLineOption chartOpt(QStringLiteral("chart"), {}, QStringLiteral("OUT.png|OUT.pdf"));
    const QCommandLineOption titleOpt(QStringLiteral("title"), {}, QStringLiteral("TEXT"));
    const QCommandLineOption nameOpt(QStringLiteral("name"), {}, QStringLiteral("TEXT"));
    const QCommandLineOption sectorOpt(QStringLiteral("sector"), {}, QStringLiteral("TEXT"));
    const QCommandLineOption companyOpt(QStringLiteral("company"), {}, QStringLiteral("TEXT"));
    const QCommandLineOption responsibleOpt(QStringLiteral("responsible"), {}, QStringLiteral("TEXT"));
    const StatsOptions statsOpts;
    const PdfSignOptions signOpts;
    parser.addOptions(signOpts.all());
    parser.addOptions({labelOpt, fromOpt, toOpt, unitOpt, jsonOpt, output, chartOpt, titleOpt, nameOpt, sectorOpt,
                       companyOpt, responsibleOpt, statsOpts.limit, statsOpts.mktKelvin});
    if (!parser.parse(QStringList{self.name} + args))
        return cliUsageError(err, self, parser.errorText());
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return cliUsageError(err, self, QStringLiteral("no data file given"));

    Options options;
    if (const int code = parseStatsOptions(parser, statsOpts, self, err, options.limits, options.mktKelvin); code >= 0)
        return code;
    if (parser.isSet(fromOpt) && !(options.from = parseLocalDateTime(parser.value(fromOpt), false)))
        return cliUsageError(err, self, QStringLiteral("--from takes a local date and time (2026-06-30T08:00)"));
    if (parser.isSet(toOpt) && !(options.to = parseLocalDateTime(parser.value(toOpt), true)))
        return cliUsageError(err, self, QStringLiteral("--to takes a local date and time (2026-07-01T08:00)"));
    if (options.from && options.to && *options.to < *options.from)
        return cliUsageError(err, self, QStringLiteral("--to comes before --from"));
    if (parser.isSet(unitOpt)) {
        const QString u = parser.value(unitOpt).toUpper();
        if (u != QLatin1String("C") && u != QLatin1String("F"))
            return cliUsageError(err, self, QStringLiteral("--unit takes C or F"));
        options.celsius = u == QLatin1String("C");
    }
    const QString reportPath = parser.value(output);
    if (parser.isSet(output) && QFileInfo(reportPath).suffix().toLower() != QLatin1String("pdf"))
        return cliUsageError(err, self, QStringLiteral("the report must end in .pdf"));
    PdfSignArgs sign;
    if (const int code = parsePdfSignOptions(parser, signOpts, self, err, &sign); code >= 0)
        return code;
    if (sign.wanted && !parser.isSet(output))
        return cliUsageError(err, self, QStringLiteral("--sign signs the report: -o OUT.pdf"));
    const QString chartPath = parser.value(chartOpt);
    const QString chartSuffix = QFileInfo(chartPath).suffix().toLower();
    if (parser.isSet(chartOpt) && chartSuffix != QLatin1String("png") && chartSuffix != QLatin1String("pdf"))
        return cliUsageError(err, self, QStringLiteral("the chart must end in .png or .pdf"));

    // Labels: the file's base name unless --label FILE=TEXT names it (by the
    // path as given or by the file's name).
    QVector<Logger> loggers(files.size());
    for (int i = 0; i < files.size(); ++i) {
        loggers[i].file = files[i];
        loggers[i].label = QFileInfo(files[i]).completeBaseName();
    }
    // FILE=TEXT: the first "=" after which the left part names a file, so a
    // path may hold one too.
    for (const QString &l : parser.values(labelOpt)) {
        bool found = false;
        for (qsizetype eq = l.indexOf(QLatin1Char('=')); eq > 0 && !found; eq = l.indexOf(QLatin1Char('='), eq + 1)) {
            const QString file = l.left(eq), text = l.mid(eq + 1);
            for (Logger &logger : loggers) {
                if (logger.file == file || QFileInfo(logger.file).fileName() == file ||
                    QFileInfo(logger.file).completeBaseName() == file) {
                    if (text.isEmpty())
                        return cliUsageError(err, self, QStringLiteral("--label %1= needs a text").arg(file));
                    logger.label = text;
                    found = true;
                }
            }
        }
        if (!found)
            return cliUsageError(err, self,
                                 l.contains(QLatin1Char('='))
                                     ? QStringLiteral("--label: %1 names none of the files").arg(l)
                                     : QStringLiteral("--label takes FILE=TEXT"));
    }

    for (Logger &logger : loggers) {
        DataRecordFile file;
        if (const int code = readDataRecordsArg(self, logger.file, file, err); code >= 0)
            return code;
        logger.celsius = file.celsius;
        logger.records = std::move(file.records);
    }
    const Result result = analyze(loggers, options);
    if (!result.ok) {
        err << "termohigrometro-cli study: " << result.error << "\n";
        return cliexit::Failure;
    }

    if (parser.isSet(jsonOpt))
        out << QJsonDocument(studyJson(result)).toJson(QJsonDocument::Compact) << "\n";
    else
        printSummary(out, result);

    StudyOutputs outputs;
    outputs.chartPath = chartPath;
    outputs.reportPath = reportPath;
    outputs.title = parser.value(titleOpt);
    outputs.name = parser.value(nameOpt);
    outputs.sector = parser.value(sectorOpt);
    outputs.company = parser.value(companyOpt);
    outputs.responsible = parser.value(responsibleOpt);
    outputs.sign = sign;
    QString error;
    int code = cliexit::Failure;
    if (!writeStudyOutputs(outputs, loggers, result, &error, &code)) {
        err << "termohigrometro-cli study: " << error << "\n";
        return code;
    }
    return cliexit::Ok;
}

const CliCommand kCommand{
    QStringLiteral("study"),
    QStringLiteral(
        "mapping study of several data files: figures per logger, hot and cold spots, overlay chart, report"),
    QStringLiteral("termohigrometro-cli study FILE... [--label FILE=TEXT]... [--from DT] [--to DT]\n"
                   "                          [--limit Q=LOW:HIGH]... [--mkt-k K] [--unit C|F] [--json]\n"
                   "                          [-o estudo.pdf] [--chart grafico.png|grafico.pdf] [--title TEXT]\n"
                   "                          [--name TEXT] [--sector TEXT] [--company TEXT] [--responsible TEXT]\n"
                   "                          [--sign CERT.p12 --sign-meaning M [--sign-password-file FILE]]\n"
                   "\n"
                   "Analyses a temperature mapping: each data file (.dlf, a PC recording or a saved logger\n"
                   "set) is one logger at one position. The period is the one all files cover, or --from\n"
                   "and --to. Per logger, over the period: the figures of `stats` (records, minimum and\n"
                   "maximum with their times, mean, standard deviation, MKT and, with limits, the values\n"
                   "and the time outside them), the excursions (runs of consecutive records outside the\n"
                   "limits) and the longest one. Over the study: the hot spot (highest maximum; a tie goes\n"
                   "to the higher mean), the cold spot (lowest minimum; a tie goes to the lower mean), the\n"
                   "spread of the mean temperatures, and the largest difference between two loggers at\n"
                   "the same moment (records matched to the nearest within half an interval). Files in\n"
                   "°C and °F may be mixed: everything is shown in one unit.\n"
                   "\n"
                   "  --label FILE=TEXT   the logger's label (default: the file's name without extension)\n"
                   "  --from DT, --to DT  local date and time (2026-06-30T08:00, 30/06/2026 08:00, or a date)\n"
                   "  --limit Q=LOW:HIGH  limits of quantity Q (temp, rh, dew or wet) in the study's unit\n"
                   "  --mkt-k K           dH/R of the MKT in kelvin (default 10000)\n"
                   "  --unit C|F          the study's unit (default: the first file's)\n"
                   "  --json              one JSON object: unit, from, to, loggers (label, file, records,\n"
                   "                      interval_seconds, mkt, temp, rh, dew, wet as `stats --json`, and\n"
                   "                      with a limit excursions, longest_excursion_seconds,\n"
                   "                      longest_excursion_start, excursion_list), hot_spot, cold_spot,\n"
                   "                      mean_spread, max_difference (value, at, between), warnings\n"
                   "  -o OUT.pdf          the study report (A4, Portuguese); the file is replaced\n"
                   "  --chart OUT.png|OUT.pdf  the overlay charts of temperature and humidity\n"
                   "  --title TEXT        the report's title; --name, --sector, --company: the site;\n"
                   "  --responsible TEXT  the person in charge, on the report's cover\n"
                   "\n"
                   "With -o, the report can be signed: the loggers' files and their .minisig files are\n"
                   "attached to the PDF first.\n") +
        pdfSignHelp() +
        QStringLiteral("\n\nExit codes: 0 done, 1 a file cannot be read or the files have no period in common,\n"
                       "2 bad arguments, 7 the certificate refused."),
    [](const QStringList &args, QTextStream &out, QTextStream &err) { return run(kCommand, args, out, err); }, true};

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
