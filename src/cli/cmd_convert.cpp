#include "cli/Cli.h"

#include "core/files/DataFile.h"
#include "core/files/TextFile.h"

#include <QCommandLineParser>
#include <QDate>
#include <QFile>
#include <QTime>

namespace {
QString csvField(const QString &text, QChar sep)
{
    if (!text.contains(sep) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\r')) &&
        !text.contains(QLatin1Char('\n')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
}

// A value field: "----.0" (no value) becomes an empty cell; overload marks
// and any other text stay as they are; numbers take the decimal comma on request.
QString valueCell(const QString &field, bool decimalComma)
{
    if (field == QLatin1String("----.0"))
        return {};
    if (!decimalComma)
        return field;
    bool ok = false;
    QLocale::c().toDouble(field, &ok);
    return ok ? QString(field).replace(QLatin1Char('.'), QLatin1Char(',')) : field;
}

// ISO 8601 local date-time; a date or time that does not parse keeps its texts.
QString dateTimeCell(const QString &date, const QString &time)
{
    const QDate d = QDate::fromString(date, QStringLiteral("dd/MM/yyyy"));
    const QTime t = QTime::fromString(time, QStringLiteral("hh:mm:ss"));
    if (d.isValid() && t.isValid())
        return d.toString(Qt::ISODate) + QLatin1Char('T') + t.toString(Qt::ISODate);
    if (date.isEmpty() || time.isEmpty())
        return date + time;
    return date + QLatin1Char(' ') + time;
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
    parser.addOptions({output, sep, comma, bom});
    if (!parser.parse(QStringList{self.name} + args))
        return cliUsageError(err, self, parser.errorText());
    const QStringList pos = parser.positionalArguments();
    if (pos.size() != 1)
        return cliUsageError(err, self,
                             pos.isEmpty() ? QStringLiteral("no data file given")
                                           : QStringLiteral("one data file at a time"));
    if (!parser.isSet(output) || parser.value(output).isEmpty())
        return cliUsageError(err, self, QStringLiteral("-o OUT.csv is required"));
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
    const bool decimalComma = parser.isSet(comma);

    DataFileContents file;
    QString error;
    if (!readDataFile(pos[0], file, &error)) {
        err << "termohigrometro-cli convert: " << error << "\n";
        return cliexit::Failure;
    }
    const QString unit = file.celsius ? QStringLiteral("°C") : QStringLiteral("°F");
    const QStringList header{QStringLiteral("N°"),
                             QStringLiteral("Data e hora"),
                             QStringLiteral("Temperatura (%1)").arg(unit),
                             QStringLiteral("Orvalho (%1)").arg(unit),
                             QStringLiteral("Úmido (%1)").arg(unit),
                             QStringLiteral("UR (%)")};
    QString csv;
    csv.reserve(file.records.size() * 48 + 128);
    auto line = [&](const QStringList &cells) {
        for (qsizetype i = 0; i < cells.size(); ++i) {
            if (i)
                csv += separator;
            csv += csvField(cells[i], separator);
        }
        csv += QLatin1String("\r\n");
    };
    line(header);
    for (const QStringList &r : file.records)
        line({r[0], dateTimeCell(r[1], r[2]), valueCell(r[3], decimalComma), valueCell(r[4], decimalComma),
              valueCell(r[5], decimalComma), valueCell(r[6], decimalComma)});

    QByteArray bytes = parser.isSet(bom) ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    bytes += csv.toUtf8();
    const QString target = parser.value(output);
    if (target == QLatin1String("-")) {
        QFile stdOut;
        if (!stdOut.open(stdout, QIODevice::WriteOnly) || stdOut.write(bytes) != bytes.size()) {
            err << "termohigrometro-cli convert: cannot write to the standard output\n";
            return cliexit::Failure;
        }
        return cliexit::Ok;
    }
    if (!writeFileAtomically(target, bytes, &error)) {
        err << "termohigrometro-cli convert: " << error << "\n";
        return cliexit::Failure;
    }
    out << file.records.size() << " records written to " << target << "\n";
    return cliexit::Ok;
}

const CliCommand kCommand{
    QStringLiteral("convert"),
    QStringLiteral("converts a data file (.dlf) to CSV"),
    QStringLiteral("termohigrometro-cli convert FILE.dlf -o OUT.csv [--sep C] [--decimal-comma] [--bom]\n"
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
                   "  --bom             start the file with a UTF-8 byte order mark (for Excel)"),
    {}};

const CliCommandRegistrar registrar{[] {
    CliCommand c = kCommand;
    c.run = [](const QStringList &args, QTextStream &out, QTextStream &err) { return run(kCommand, args, out, err); };
    return c;
}()};
} // namespace
