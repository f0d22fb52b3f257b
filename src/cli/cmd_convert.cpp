#include "cli/Cli.h"
#include "cli/DataFileArgs.h"

#include "core/files/CsvFile.h"
#include "core/files/DataFile.h"
#include "core/files/DataRecords.h"
#include "core/files/LineProtocol.h"
#include "core/files/TextFile.h"

#include <QCommandLineParser>
#include <QFile>
#include <QTimeZone>

namespace {
// Writes `bytes` to `target` ("-": the standard output), the file atomically.
bool writeOutput(const QString &target, const QByteArray &bytes, QTextStream &err)
{
    if (target == QLatin1String("-")) {
        QFile stdOut;
        if (!stdOut.open(stdout, QIODevice::WriteOnly) || stdOut.write(bytes) != bytes.size()) {
            err << "termohigrometro-cli convert: cannot write to the standard output\n";
            return false;
        }
        return true;
    }
    QString error;
    if (!writeFileAtomically(target, bytes, &error, integrity::WrittenFile::Exported)) {
        err << "termohigrometro-cli convert: " << error << "\n";
        return false;
    }
    return true;
}

int runInflux(const CliCommand &self, const QCommandLineParser &parser, const QString &input, const QString &target,
              const QCommandLineOption &measurement, const QCommandLineOption &tag, const QCommandLineOption &tz,
              QTextStream &out, QTextStream &err)
{
    LineProtocolOptions options;
    QString error;
    if (parser.isSet(measurement)) {
        options.measurement = parser.value(measurement);
        if (!checkMeasurementName(options.measurement, &error))
            return cliUsageError(err, self, error);
    }
    for (const QString &t : parser.values(tag)) {
        LineProtocolTag parsed;
        if (!parseLineProtocolTag(t, parsed, &error))
            return cliUsageError(err, self, error);
        options.tags.append(parsed);
    }
    if (parser.isSet(tz)) {
        const QTimeZone zone(parser.value(tz).toUtf8());
        if (!zone.isValid())
            return cliUsageError(err, self,
                                 QStringLiteral("unknown time zone \"%1\" (an IANA name such as America/Sao_Paulo)")
                                     .arg(parser.value(tz)));
        options.zone = zone;
    }

    DataRecordFile file;
    if (const int code = readDataRecordsArg(self, input, file, err, RecordTexts::Lines); code >= 0)
        return code;
    file.records = {};
    const LineProtocolOutput lp = lineProtocolText(
        file.lines.size(), [&file](qsizetype i) { return splitRecordLine(file.lines[i]); }, file.celsius, options);
    if (!writeOutput(target, lp.text, err))
        return cliexit::Failure;
    if (lp.noField)
        err << "termohigrometro-cli convert: " << lp.noField << " records without any number skipped\n";
    if (lp.badTime)
        err << "termohigrometro-cli convert: " << lp.badTime
            << " records whose date or time is not DD/MM/YYYY hh:mm:ss (or not in the zone) skipped\n";
    if (target != QLatin1String("-"))
        out << lp.lines << " records written to " << target << "\n";
    return cliexit::Ok;
}

int run(const CliCommand &self, const QStringList &args, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")}, {},
                                    QStringLiteral("OUT.csv"));
    const QCommandLineOption sep(QStringLiteral("sep"), {}, QStringLiteral("C"));
    const QCommandLineOption comma(QStringLiteral("decimal-comma"));
    const QCommandLineOption bom(QStringLiteral("bom"));
    const QCommandLineOption format(QStringLiteral("format"), {}, QStringLiteral("csv|influx"));
    const QCommandLineOption measurement(QStringLiteral("measurement"), {}, QStringLiteral("M"));
    const QCommandLineOption tag(QStringLiteral("tag"), {}, QStringLiteral("K=V"));
    const QCommandLineOption tz(QStringLiteral("tz"), {}, QStringLiteral("ZONE"));
    parser.addOptions({output, sep, comma, bom, format, measurement, tag, tz});
    if (!parser.parse(QStringList{self.name} + args))
        return cliUsageError(err, self, parser.errorText());
    const QStringList pos = parser.positionalArguments();
    if (const int code = oneDataFileArg(pos, self, err); code >= 0)
        return code;
    if (!parser.isSet(output) || parser.value(output).isEmpty())
        return cliUsageError(err, self, QStringLiteral("-o OUT is required"));
    const QString formatName = parser.isSet(format) ? parser.value(format) : QStringLiteral("csv");
    if (formatName == QLatin1String("influx")) {
        for (const QCommandLineOption *csvOnly : {&sep, &comma, &bom})
            if (parser.isSet(*csvOnly))
                return cliUsageError(
                    err, self, QStringLiteral("--%1 is for CSV, not --format influx").arg(csvOnly->names().last()));
        return runInflux(self, parser, pos[0], parser.value(output), measurement, tag, tz, out, err);
    }
    if (formatName != QLatin1String("csv"))
        return cliUsageError(err, self, QStringLiteral("--format is csv or influx, not \"%1\"").arg(formatName));
    for (const QCommandLineOption *influxOnly : {&measurement, &tag, &tz})
        if (parser.isSet(*influxOnly))
            return cliUsageError(err, self,
                                 QStringLiteral("--%1 needs --format influx").arg(influxOnly->names().last()));
    QChar separator = QLatin1Char(',');
    if (parser.isSet(sep)) {
        const QString s = parser.value(sep);
        if (s == QLatin1String("tab") || s == QLatin1String("\\t"))
            separator = QLatin1Char('\t');
        else if (s.size() == 1 && s != QLatin1String("\"") && s != QLatin1String("\r") && s != QLatin1String("\n"))
            separator = s[0];
        else
            return cliUsageError(err, self, QStringLiteral("--sep takes one character (or \"tab\")"));
    }
    // One line of text a record, split as it is written: the CSV cells are
    // the file's own texts.
    DataRecordFile file;
    if (const int code = readDataRecordsArg(self, pos[0], file, err, RecordTexts::Lines); code >= 0)
        return code;
    file.records = {};
    CsvStyle style;
    style.separator = separator;
    style.decimalComma = parser.isSet(comma);
    style.bom = parser.isSet(bom);
    const QByteArray bytes = csvBytes(
        file.lines.size(), [&file](qsizetype i) { return splitRecordLine(file.lines[i]); }, file.celsius, style);
    const QString target = parser.value(output);
    if (!writeOutput(target, bytes, err))
        return cliexit::Failure;
    if (target != QLatin1String("-"))
        out << file.lines.size() << " records written to " << target << "\n";
    return cliexit::Ok;
}

const CliCommand kCommand{
    QStringLiteral("convert"),
    QStringLiteral("converts a data file (.dlf) to CSV or InfluxDB line protocol"),
    QStringLiteral("termohigrometro-cli convert FILE.dlf -o OUT.csv [--sep C] [--decimal-comma] [--bom]\n"
                   "termohigrometro-cli convert FILE.dlf -o OUT.lp --format influx [--measurement M] [--tag K=V]...\n"
                   "                                   [--tz ZONE]\n"
                   "\n"
                   "Writes the records of a data file as RFC 4180 CSV in UTF-8 with CR LF line ends:\n"
                   "a heading row, then one row per record with the columns N°, Data e hora (ISO 8601,\n"
                   "local time, e.g. 2026-12-08T09:05:07), Temperatura, Orvalho, Úmido (in the file's\n"
                   "unit, named in the heading) and UR (%). The name, sector and company lines are not\n"
                   "written. A value field without a number (----.0) becomes an empty cell; the\n"
                   "overload marks OL and -OL, and any other text, stay as they are. A date or time\n"
                   "that is not DD/MM/YYYY and hh:mm:ss is kept as its texts.\n"
                   "\n"
                   "  -o OUT.csv        the CSV file to write (replaced); \"-\" writes to the standard output\n"
                   "  --sep C           field separator, one character or \"tab\" (default \",\")\n"
                   "  --decimal-comma   numbers with \",\" as decimal separator; with --sep ';' for\n"
                   "                    spreadsheets set to Portuguese\n"
                   "  --bom             start the file with a UTF-8 byte order mark (for Excel)\n"
                   "\n"
                   "With --format influx it writes InfluxDB line protocol (UTF-8, one line per record),\n"
                   "for loading a logger set or an old file into InfluxDB:\n"
                   "    termohigrometro,sala=lab\\ 2,unit=C temp=23,dew=13.5,wet=17.2,rh=55 1796728142000000000\n"
                   "the tag unit=C or unit=F (the file's unit), the fields temp, dew, wet, rh as floats in\n"
                   "that unit, and the record's time in nanoseconds. A value that is not a number (----.0,\n"
                   "OL, -OL) leaves its field out; a record without any field, or whose date or time is\n"
                   "not DD/MM/YYYY hh:mm:ss, is skipped and counted on the standard error. Load it with\n"
                   "  influx -import -path OUT.lp -precision ns   (after a \"# DML\" header), or\n"
                   "  curl --data-binary @OUT.lp 'http://localhost:8086/write?db=DB'\n"
                   "\n"
                   "  --format F        csv (default) or influx\n"
                   "  --measurement M   the measurement (default \"termohigrometro\")\n"
                   "  --tag K=V         one more tag on every line; may be repeated\n"
                   "  --tz ZONE         the zone of the file's dates and times, an IANA name such as\n"
                   "                    America/Sao_Paulo (default: this machine's zone)"),
    {}};

const CliCommandRegistrar registrar{[] {
    CliCommand c = kCommand;
    c.run = [](const QStringList &args, QTextStream &out, QTextStream &err) { return run(kCommand, args, out, err); };
    return c;
}()};
} // namespace
