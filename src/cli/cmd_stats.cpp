#include "cli/Cli.h"
#include "cli/DataFileArgs.h"

#include "cli/StatsJson.h"
#include "core/files/DataRecords.h"
#include "core/stats/Limits.h"
#include "core/stats/Stats.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
QString duration(qint64 seconds)
{
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString bound(const std::optional<double> &v)
{
    return v ? QString::number(*v) : QString();
}

void printTable(QTextStream &out, const QString &path, const RowStats &s, const Limits &limits, int from, int to,
                double mktKelvin)
{
    const QString unit = s.celsius ? QStringLiteral("°C") : QStringLiteral("°F");
    out << path << ": " << s.records << " records";
    if (s.records > 0)
        out << " (" << from << ".." << to << ")";
    out << ", " << unit << "\n";
    if (s.first.isValid())
        out << "period: " << isoLocal(s.first) << " .. " << isoLocal(s.last) << "\n";
    out << "MKT: " << (s.mkt ? QString::number(*s.mkt, 'f', 2) + QLatin1Char(' ') + unit : QStringLiteral("-"))
        << " (dH/R " << QString::number(mktKelvin) << " K)\n\n";

    const bool limited = limits.any();
    QString line;
    const auto cell = [&line](const QString &text, int width) {
        line += QLatin1Char(' ') + text.rightJustified(width);
    };
    const auto endLine = [&] {
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        out << line << "\n";
        line.clear();
    };
    line = QStringLiteral("%1").arg(QStringLiteral("quantity"), -8);
    for (const char *h : {"valid", "invalid"})
        cell(QString::fromLatin1(h), 7);
    cell(QStringLiteral("min"), 7);
    cell(QStringLiteral("min at"), 19);
    cell(QStringLiteral("max"), 7);
    cell(QStringLiteral("max at"), 19);
    cell(QStringLiteral("mean"), 8);
    cell(QStringLiteral("stdev"), 7);
    if (limited) {
        cell(QStringLiteral("limits"), 13);
        cell(QStringLiteral("below"), 6);
        cell(QStringLiteral("above"), 6);
        cell(QStringLiteral("within%"), 7);
        cell(QStringLiteral("outside"), 10);
    }
    endLine();
    for (int k = 0; k < kQuantities; ++k) {
        const Quantity q = Quantity(k);
        line = QStringLiteral("%1").arg(quantityKey(q), -8);
        const auto &st = s[q];
        if (!st) {
            cell(QStringLiteral("0"), 7);
            cell(QString::number(s.records), 7);
            endLine();
            continue;
        }
        cell(QString::number(st->valid), 7);
        cell(QString::number(st->invalid), 7);
        cell(QString::number(st->min, 'f', 1), 7);
        cell(isoLocal(st->minAt), 19);
        cell(QString::number(st->max, 'f', 1), 7);
        cell(isoLocal(st->maxAt), 19);
        cell(QString::number(st->mean, 'f', 2), 8);
        cell(st->stdev ? QString::number(*st->stdev, 'f', 2) : QStringLiteral("-"), 7);
        if (st->limited) {
            cell(bound(limits[q].low) + QLatin1Char(':') + bound(limits[q].high), 13);
            cell(QString::number(st->below), 6);
            cell(QString::number(st->above), 6);
            cell(QString::number(st->withinPercent, 'f', 1), 7);
            cell(duration(st->outsideSeconds), 10);
        }
        endLine();
    }
}

int run(const CliCommand &self, const QStringList &args, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const RecordRangeOptions rangeOpts;
    const StatsOptions statsOpts;
    const QCommandLineOption jsonOpt(QStringLiteral("json"));
    parser.addOptions({rangeOpts.from, rangeOpts.to, statsOpts.limit, statsOpts.mktKelvin, jsonOpt});
    if (!parser.parse(QStringList{self.name} + args))
        return cliUsageError(err, self, parser.errorText());
    const QStringList pos = parser.positionalArguments();
    if (const int code = oneDataFileArg(pos, self, err); code >= 0)
        return code;
    RecordRange range;
    if (const int code = parseRecordRange(parser, rangeOpts, self, err, range); code >= 0)
        return code;
    Limits limits;
    double mktKelvin = kDefaultMktKelvin;
    if (const int code = parseStatsOptions(parser, statsOpts, self, err, limits, mktKelvin); code >= 0)
        return code;

    DataRecordFile file;
    if (const int code = readDataRecordsArg(self, pos[0], file, err); code >= 0)
        return code;
    const int count = int(file.records.size());
    if (const int code = fitRecordRange(range, count, self, err); code >= 0)
        return code;
    const RowStats s = computeRecordStats(file.records.constData() + (range.from - 1), range.to - range.from + 1,
                                          file.celsius, limits, mktKelvin);

    if (parser.isSet(jsonOpt)) {
        const QJsonObject o = rowStatsJson(s);
        out << QJsonDocument(o).toJson(QJsonDocument::Compact) << "\n";
    } else {
        printTable(out, pos[0], s, limits, range.from, range.to, mktKelvin);
    }
    return cliexit::Ok;
}

const CliCommand kCommand{
    QStringLiteral("stats"), QStringLiteral("statistics of a data file (.dlf): min/max/mean, MKT, time outside limits"),
    QStringLiteral(
        "termohigrometro-cli stats FILE.dlf [--from N] [--to M] [--limit Q=LOW:HIGH]... [--mkt-k K] [--json]\n"
        "\n"
        "Prints, for the records N to M of a data file, per quantity (temp, rh, dew, wet) the\n"
        "number of valid values, the minimum and maximum with the time of their first\n"
        "occurrence, the mean and the sample standard deviation, and the mean kinetic\n"
        "temperature (MKT) of the temperatures, in the file's unit. Values that are not numbers\n"
        "(\"OL\", \"-OL\", \"----.0\", empty) are left out and counted as invalid.\n"
        "\n"
        "With limits, also the values below and above them, the percentage within, and the time\n"
        "outside: each record stands for the time until the next record (the last one for none).\n"
        "\n"
        "  --from N            first record (default 1)\n"
        "  --to M              last record (default the file's last)\n"
        "  --limit Q=LOW:HIGH  limits of quantity Q (temp, rh, dew or wet) in the file's unit;\n"
        "                      either bound may be left empty (rh=:70); values on a bound are\n"
        "                      within; repeat for other quantities (a repeated Q replaces it)\n"
        "  --mkt-k K           dH/R of the MKT in kelvin (default 10000, 83.144 kJ/mol)\n"
        "  --json              one JSON object: unit, records, first, last, mkt, and temp, rh,\n"
        "                      dew, wet (null without a valid value, else valid, invalid, min,\n"
        "                      min_at, max, max_at, mean, stdev, and with a limit below, above,\n"
        "                      within_percent, outside_seconds); numbers at full precision,\n"
        "                      times as local ISO 8601 (2026-06-30T23:50:00)"),
    [](const QStringList &args, QTextStream &out, QTextStream &err) { return run(kCommand, args, out, err); }};

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
