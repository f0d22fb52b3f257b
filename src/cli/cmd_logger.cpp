#include "cli/LinkCli.h"
#include "core/files/DataFile.h"
#include "core/files/Logger.h"
#include "core/integrity/Audit.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {
int run(const QStringList &args, QTextStream &out, QTextStream &err);

const CliCommand kCommand{
    QStringLiteral("logger"), QStringLiteral("download, list, save or clear the instrument's logger memory"),
    QStringLiteral("termohigrometro-cli logger --port DEV (list [--json] | save --set N [--unit C|F] FILE | "
                   "clear --yes [--reason TEXT]) [--timeout S]\n"
                   "  list: downloads the memory and lists its sets (set, interval, readings, start);\n"
                   "        --json: {\"sets\":[{\"set\":1,\"interval_s\":60,\"readings\":N,\"start\":\"DD/MM/YYYY "
                   "hh:nn:ss\"}],\"used_percent\":X}\n"
                   "        (a set the dump did not bring whole has \"damaged\":true; an empty memory lists no "
                   "sets)\n"
                   "  save: writes set N as the logger data list saves it (grid dump, default unit C)\n"
                   "  clear: erases the memory (NewType instruments only)\n"
                   "  Refused (exit 5) while the instrument is logging."),
    run};

QString startText(const LoggerSet &set, const QString &type)
{
    const QDateTime start = loggerSetStart(set, type);
    return start.isValid() ? start.toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")) : QString();
}

int run(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    linkcli::Options common;
    common.addTo(parser);
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption setOpt(QStringLiteral("set"), {}, QStringLiteral("N"));
    const QCommandLineOption unit(QStringLiteral("unit"), {}, QStringLiteral("C|F"), QStringLiteral("C"));
    const QCommandLineOption yes(QStringLiteral("yes"));
    parser.addOptions({json, setOpt, unit, yes, common.reason});
    if (const int code = linkcli::parse(parser, kCommand, args, err); code >= 0)
        return code;
    const QStringList pos = parser.positionalArguments();
    const QString action = pos.value(0);
    int setNo = 0;
    bool celsius = true;
    if (action == QLatin1String("list")) {
        if (pos.size() != 1)
            return cliUsageError(err, kCommand, QStringLiteral("list takes no file"));
    } else if (action == QLatin1String("save")) {
        if (pos.size() != 2)
            return cliUsageError(err, kCommand, QStringLiteral("save needs one file"));
        bool ok = false;
        setNo = parser.value(setOpt).toInt(&ok);
        if (!ok || setNo < 1)
            return cliUsageError(err, kCommand, QStringLiteral("--set needs a set number from 1"));
        const QString u = parser.value(unit).toUpper();
        if (u != QLatin1String("C") && u != QLatin1String("F"))
            return cliUsageError(err, kCommand, QStringLiteral("--unit is C or F"));
        celsius = u == QLatin1String("C");
    } else if (action == QLatin1String("clear")) {
        if (pos.size() != 1)
            return cliUsageError(err, kCommand, QStringLiteral("clear takes no file"));
        if (!parser.isSet(yes))
            return cliUsageError(err, kCommand, QStringLiteral("clear needs --yes: every set will be erased"));
    } else {
        return cliUsageError(err, kCommand, QStringLiteral("choose list, save or clear"));
    }

    int code = 0;
    auto session = linkcli::open(parser, common, kCommand, err, &code);
    if (!session)
        return code;
    const QString type = session->identify();
    if (type.isEmpty())
        return session->failure(err);
    if (const auto refused = session->refuseWhileLogging(err))
        return *refused;

    if (action == QLatin1String("clear")) {
        if (type != QLatin1String("NewType")) {
            err << "termohigrometro-cli: an OldType instrument cannot clear its memory\n";
            return cliexit::Refused;
        }
        if (!clearLoggerMemory(session->ctx()))
            return session->failure(err);
        integrity::auditRecord(QStringLiteral("logger.clear"), QJsonValue::Null, QJsonValue::Null,
                               parser.value(common.reason));
        return cliexit::Ok;
    }

    LoggerMemory mem;
    const LoggerDownloadResult result = downloadLoggerMemory(session->ctx(), type, mem);
    if (result == LoggerDownloadResult::Failed)
        return session->failure(err);
    const bool empty = result == LoggerDownloadResult::Empty;
    integrity::auditRecord(QStringLiteral("logger.download"), QJsonValue::Null,
                           QJsonObject{{QStringLiteral("sets"), int(mem.sets.size())}});

    if (action == QLatin1String("list")) {
        if (parser.isSet(json)) {
            QStringList sets;
            for (int i = 0; i < mem.sets.size(); ++i) {
                const LoggerSet &s = mem.sets[i];
                QList<QPair<QString, QJsonValue>> members{{"set", i + 1},
                                                          {"interval_s", s.interval},
                                                          {"readings", completeReadings(s, type)},
                                                          {"start", startText(s, type)}};
                if (s.damaged)
                    members.append({"damaged", true});
                sets << linkcli::jsonObject(members);
            }
            const double used = empty ? 0.0 : qRound(mem.usedPercent * 100.0) / 100.0;
            out << "{\"sets\":[" << sets.join(QLatin1Char(',')) << "],\"used_percent\":"
                << QString::fromUtf8(QJsonDocument(QJsonArray{used}).toJson(QJsonDocument::Compact)).mid(1).chopped(1)
                << "}\n";
        } else {
            if (empty)
                out << "Sem dados na memória\n";
            for (int i = 0; i < mem.sets.size(); ++i) {
                const LoggerSet &s = mem.sets[i];
                out << "set " << (i + 1) << "\tinterval " << s.interval << " s\treadings " << completeReadings(s, type)
                    << "\tstart " << startText(s, type) << (s.damaged ? "\tdamaged" : "") << "\n";
            }
            if (!empty)
                out << "used " << QString::number(mem.usedPercent, 'f', 1) << " %\n";
        }
        return cliexit::Ok;
    }

    // save
    if (empty || setNo > mem.sets.size()) {
        err << "termohigrometro-cli: the memory holds " << mem.sets.size() << " set(s); there is no set " << setNo
            << "\n";
        return cliexit::Usage;
    }
    QVector<QStringList> rows{dataFileHeadings(celsius)};
    for (const LoggerRow &row : listLoggerSet(mem.sets[setNo - 1], type))
        rows.append((celsius ? row.celsiusLine : row.fahrenheitLine).split(QLatin1Char('\t')));
    QString error;
    if (!writeGridDump(pos[1], {}, {}, {}, rows, &error)) {
        err << "termohigrometro-cli: " << error << "\n";
        return cliexit::Failure;
    }
    return cliexit::Ok;
}

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
