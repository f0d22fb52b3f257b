#include "cli/LinkCli.h"
#include "core/files/DataFile.h"
#include "core/files/Recording.h"
#include "core/reading/Decode.h"

#include <QDateTime>
#include <QElapsedTimer>

namespace {
int run(const QStringList &args, QTextStream &out, QTextStream &err);

const CliCommand kCommand{
    QStringLiteral("record"),
    QStringLiteral("record live readings into a data file (PC recording)"),
    QStringLiteral("termohigrometro-cli record --port DEV --interval S [--count N] [--unit C|F] [--timeout S] FILE\n"
                   "  Samples the live reading every S seconds (1..86400) into FILE as the panel records:\n"
                   "  three \"*\" lines, the heading line, records numbered from 1, a new file every 48000\n"
                   "  records (FILE-1.dlf, FILE-2.dlf ...). Prints each record line. Without --count it\n"
                   "  records until interrupted."),
    run,
    false,
    true};

int run(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    linkcli::Options common;
    common.addTo(parser);
    const QCommandLineOption interval(QStringLiteral("interval"), {}, QStringLiteral("S"));
    const QCommandLineOption count(QStringLiteral("count"), {}, QStringLiteral("N"));
    const QCommandLineOption unit(QStringLiteral("unit"), {}, QStringLiteral("C|F"), QStringLiteral("C"));
    parser.addOptions({interval, count, unit});
    if (const int code = linkcli::parse(parser, kCommand, args, err); code >= 0)
        return code;
    const QStringList pos = parser.positionalArguments();
    if (pos.size() != 1)
        return cliUsageError(err, kCommand,
                             pos.isEmpty() ? QStringLiteral("no file given") : QStringLiteral("one file only"));
    const auto seconds = linkcli::number(parser.value(interval));
    if (!parser.isSet(interval) || !seconds)
        return cliUsageError(err, kCommand, QStringLiteral("--interval needs a number of seconds"));
    const int every = clampPcSampleSeconds(*seconds);
    long long samples = -1;
    if (parser.isSet(count)) {
        bool ok = false;
        samples = parser.value(count).toLongLong(&ok);
        if (!ok || samples < 1)
            return cliUsageError(err, kCommand, QStringLiteral("--count needs a positive number"));
    }
    const QString u = parser.value(unit).toUpper();
    if (u != QLatin1String("C") && u != QLatin1String("F"))
        return cliUsageError(err, kCommand, QStringLiteral("--unit is C or F"));
    const bool celsius = u == QLatin1String("C");

    int code = 0;
    auto session = linkcli::open(parser, common, kCommand, err, &code);
    if (!session)
        return code;
    if (session->identify().isEmpty())
        return session->failure(err);

    SharedState state;
    PcRecorder recorder(state);
    QString error;
    if (!recorder.start(pos.first(), celsius, &error)) {
        err << "termohigrometro-cli: cannot create " << error << "\n";
        return cliexit::Failure;
    }
    linkcli::stopRequested(); // handlers in place before the run
    QElapsedTimer clock;
    clock.start();
    for (long long k = 0; samples < 0 || k < samples; ++k) {
        // Sample k is due k intervals after the start, whatever the reads took.
        while (clock.elapsed() < k * every * 1000LL && !linkcli::stopRequested())
            session->pause().Wait(qMin(0.1, (k * every * 1000LL - clock.elapsed()) / 1000.0));
        if (linkcli::stopRequested())
            break;
        // The sample carries the moment it was due, as the panel's samples
        // carry their timer tick: waiting for the next frame must not bunch
        // two samples into the same second.
        const QDateTime sampledAt = QDateTime::currentDateTime();
        const auto f = session->frame();
        if (!f) {
            recorder.stop();
            return session->failure(err);
        }
        Reading r;
        decodeFrame(r, *f);
        const SampleLines lines = buildSampleLines(r, sampledAt);
        if (recorder.writeSample(lines, celsius, &error) != PcRecorder::Outcome::Written) {
            err << "termohigrometro-cli: cannot write " << error << "\n";
            recorder.stop();
            return cliexit::Failure;
        }
        out << recordLine(state.RecordCount, celsius ? lines.celsius : lines.fahrenheit) << "\n";
        out.flush();
    }
    recorder.stop();
    return cliexit::Ok;
}

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
