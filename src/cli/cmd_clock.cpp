#include "cli/LinkCli.h"

#include <QDateTime>

namespace {
int run(const QStringList &args, QTextStream &out, QTextStream &err);

const CliCommand kCommand{
    QStringLiteral("clock"), QStringLiteral("read or set the instrument's clock"),
    QStringLiteral("termohigrometro-cli clock --port DEV (get | set [--at \"YYYY-MM-DD hh:mm:ss\"]) [--timeout S]\n"
                   "  get: prints the instrument clock as yy/mm/dd hh:mm:ss\n"
                   "  set: sets it from the PC clock or the given time (2000..2099); refused while logging"),
    run};

int run(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    linkcli::Options common;
    common.addTo(parser);
    const QCommandLineOption at(QStringLiteral("at"), {}, QStringLiteral("YYYY-MM-DD hh:mm:ss"));
    parser.addOption(at);
    if (const int code = linkcli::parse(parser, kCommand, args, err); code >= 0)
        return code;
    const QStringList pos = parser.positionalArguments();
    const QString action = pos.value(0);
    if (pos.size() != 1 || (action != QLatin1String("get") && action != QLatin1String("set")))
        return cliUsageError(err, kCommand, QStringLiteral("choose get or set"));
    QDateTime when;
    if (parser.isSet(at)) {
        if (action != QLatin1String("set"))
            return cliUsageError(err, kCommand, QStringLiteral("--at goes with set"));
        when = QDateTime::fromString(parser.value(at).trimmed(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!when.isValid() || when.date().year() < 2000 || when.date().year() > 2099)
            return cliUsageError(err, kCommand, QStringLiteral("--at needs \"YYYY-MM-DD hh:mm:ss\" in 2000..2099"));
    }

    int code = 0;
    auto session = linkcli::open(parser, common, kCommand, err, &code);
    if (!session)
        return code;
    if (session->identify().isEmpty())
        return session->failure(err);

    if (action == QLatin1String("get")) {
        // One exchange per try, as the clock window does; tried until the limit.
        const auto six = session->untilAnswered([](LinkContext &step) { return readInstrumentClock(step); });
        if (!six)
            return session->failure(err);
        out << clockText(*six) << "\n";
        return cliexit::Ok;
    }
    if (const auto refused = session->refuseWhileLogging(err))
        return *refused;
    if (!writeInstrumentClock(session->ctx(), when.isValid() ? when : QDateTime::currentDateTime()))
        return session->failure(err);
    return cliexit::Ok;
}

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
