#include "cli/DataFileArgs.h"

#include <QFileInfo>

#include "core/files/DataFile.h"
#include "core/files/DataRecords.h"
#include "core/stats/Stats.h"

#include <cmath>

int oneDataFileArg(const QStringList &positional, const CliCommand &command, QTextStream &err)
{
    if (positional.size() == 1)
        return -1;
    return cliUsageError(err, command,
                         positional.isEmpty() ? QStringLiteral("no data file given")
                                              : QStringLiteral("one data file at a time"));
}

int readDataFileArg(const CliCommand &command, const QString &path, DataFileContents &file, QTextStream &err)
{
    QString error;
    if (readDataFile(path, file, &error))
        return -1;
    err << "termohigrometro-cli " << command.name << ": " << error << "\n";
    return cliexit::Failure;
}

int readDataRecordsArg(const CliCommand &command, const QString &path, DataRecordFile &file, QTextStream &err,
                       RecordTexts texts)
{
    QString error;
    if (readDataRecords(path, file, &error, texts))
        return -1;
    err << "termohigrometro-cli " << command.name << ": " << error << "\n";
    return cliexit::Failure;
}

bool parseCount(const QString &text, int &value)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < 0)
        return false;
    value = v;
    return true;
}

int parseRecordRange(const QCommandLineParser &parser, const RecordRangeOptions &options, const CliCommand &command,
                     QTextStream &err, RecordRange &range)
{
    if (parser.isSet(options.from) && !parseCount(parser.value(options.from), range.from))
        return cliUsageError(err, command, QStringLiteral("--from takes a record number"));
    if (parser.isSet(options.to) && !parseCount(parser.value(options.to), range.to))
        return cliUsageError(err, command, QStringLiteral("--to takes a record number"));
    range.given = parser.isSet(options.from) || parser.isSet(options.to);
    return -1;
}

int fitRecordRange(RecordRange &range, int count, const CliCommand &command, QTextStream &err)
{
    if (range.to < 0)
        range.to = count;
    if (range.given && (range.from < 1 || range.to < range.from || range.to > count)) {
        err << "termohigrometro-cli " << command.name << ": the range must lie within 1.." << count
            << " with --from <= --to\n";
        return cliexit::Usage;
    }
    if (count == 0)
        range.from = 1, range.to = 0;
    return -1;
}

int parseStatsOptions(const QCommandLineParser &parser, const StatsOptions &options, const CliCommand &command,
                      QTextStream &err, Limits &limits, double &mktKelvin)
{
    for (const QString &text : parser.values(options.limit)) {
        QString error;
        if (!parseLimit(text, limits, &error))
            return cliUsageError(err, command, error);
    }
    mktKelvin = kDefaultMktKelvin;
    if (parser.isSet(options.mktKelvin)) {
        bool ok = false;
        mktKelvin = QLocale::c().toDouble(parser.value(options.mktKelvin), &ok);
        if (!ok || !std::isfinite(mktKelvin) || mktKelvin <= 0)
            return cliUsageError(err, command, QStringLiteral("--mkt-k takes a positive number of kelvin"));
    }
    return -1;
}

int outputFileArg(const QString &target, const QStringList &suffixes, const CliCommand &command, QTextStream &err,
                  QString *suffix)
{
    QStringList outs, ends;
    for (const QString &s : suffixes) {
        outs << QStringLiteral("-o OUT.") + s;
        ends << QStringLiteral(".") + s;
    }
    if (target.isEmpty())
        return cliUsageError(err, command, outs.join(QStringLiteral(" or ")) + QStringLiteral(" is required"));
    *suffix = QFileInfo(target).suffix().toLower();
    if (!suffixes.contains(*suffix))
        return cliUsageError(err, command,
                             QStringLiteral("the output must end in ") + ends.join(QStringLiteral(" or ")));
    return -1;
}
