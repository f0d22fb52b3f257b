#include "cli/LinkCli.h"
#include "emulator/PtyHost.h"

#include <QCoreApplication>
#include <QTimer>

namespace {
int run(const QStringList &args, QTextStream &out, QTextStream &err);

const CliCommand kCommand{
    QStringLiteral("emulate"), QStringLiteral("run the emulated instrument on a pseudo-terminal"),
    QStringLiteral("termohigrometro-cli emulate [--type new|old] [--temp C] [--rh P] [--sets N] [--frame-ms MS] "
                   "[--baud-pacing] [--link PATH]\n"
                   "  Prints the device path on the first line, then runs until interrupted.\n"
                   "  --temp/--rh fix a value (an unset one drifts slowly); --sets starts with N\n"
                   "  recording sets in the logger memory; --baud-pacing sends every byte at 9600 baud;\n"
                   "  --link also offers the device under PATH.\n"
                   "  Faults: --noise, --mid-frame, --truncate N (first N answers of each command cut),\n"
                   "  --bad-first-dump, --silent-after N (commands), --full (memory filled), --seed N"),
    run};

int run(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QCommandLineParser parser;
    const QCommandLineOption type(QStringLiteral("type"), {}, QStringLiteral("new|old"), QStringLiteral("new"));
    const QCommandLineOption temp(QStringLiteral("temp"), {}, QStringLiteral("C"));
    const QCommandLineOption rh(QStringLiteral("rh"), {}, QStringLiteral("P"));
    const QCommandLineOption sets(QStringLiteral("sets"), {}, QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption frameMs(QStringLiteral("frame-ms"), {}, QStringLiteral("MS"), QStringLiteral("250"));
    const QCommandLineOption pacing(QStringLiteral("baud-pacing"));
    const QCommandLineOption link(QStringLiteral("link"), {}, QStringLiteral("PATH"));
    const QCommandLineOption noise(QStringLiteral("noise"));
    const QCommandLineOption midFrame(QStringLiteral("mid-frame"));
    const QCommandLineOption truncate(QStringLiteral("truncate"), {}, QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption badDump(QStringLiteral("bad-first-dump"));
    const QCommandLineOption silentAfter(QStringLiteral("silent-after"), {}, QStringLiteral("N"), QStringLiteral("-1"));
    const QCommandLineOption full(QStringLiteral("full"));
    const QCommandLineOption seed(QStringLiteral("seed"), {}, QStringLiteral("N"), QStringLiteral("1"));
    parser.addOptions(
        {type, temp, rh, sets, frameMs, pacing, link, noise, midFrame, truncate, badDump, silentAfter, full, seed});
    if (const int code = linkcli::parse(parser, kCommand, args, err); code >= 0)
        return code;
    if (!parser.positionalArguments().isEmpty())
        return cliUsageError(err, kCommand, QStringLiteral("unexpected argument"));

    EmulatorOptions o;
    const QString t = parser.value(type);
    if (t != QLatin1String("new") && t != QLatin1String("old"))
        return cliUsageError(err, kCommand, QStringLiteral("--type is new or old"));
    o.newType = t == QLatin1String("new");
    if (parser.isSet(temp)) {
        const auto v = linkcli::number(parser.value(temp));
        if (!v || *v < -50 || *v > 270)
            return cliUsageError(err, kCommand, QStringLiteral("--temp needs degrees Celsius (-50..270)"));
        o.tempC = *v;
    }
    if (parser.isSet(rh)) {
        const auto v = linkcli::number(parser.value(rh));
        if (!v || *v < 0 || *v > 100)
            return cliUsageError(err, kCommand, QStringLiteral("--rh needs a humidity 0..100"));
        o.rh = *v;
    }
    auto integer = [&](const QCommandLineOption &opt, int low, int high, int *to) {
        bool ok = false;
        const int v = parser.value(opt).toInt(&ok);
        if (!ok || v < low || v > high)
            return false;
        *to = v;
        return true;
    };
    int seedValue = 1;
    if (!integer(sets, 0, 255, &o.initialSets) || !integer(frameMs, 10, 60000, &o.frameMs) ||
        !integer(truncate, 0, 1000000, &o.truncatedAnswers) ||
        !integer(silentAfter, -1, 1000000000, &o.silentAfterCommands) || !integer(seed, 0, INT_MAX, &seedValue))
        return cliUsageError(err, kCommand, QStringLiteral("a number option is out of range"));
    o.seed = quint32(seedValue);
    o.bytePacing = parser.isSet(pacing);
    o.noise = parser.isSet(noise);
    o.startMidFrame = parser.isSet(midFrame);
    o.badFirstDump = parser.isSet(badDump);

    PtyHost host(o);
    QString error;
    if (!host.start(&error)) {
        err << "termohigrometro-cli: cannot create a pseudo-terminal: " << error << "\n";
        return cliexit::Failure;
    }
    if (parser.isSet(full))
        host.model().fillMemory(host.driver().nowMs());
    if (parser.isSet(link) && !host.linkAs(parser.value(link), &error)) {
        err << "termohigrometro-cli: " << error << "\n";
        return cliexit::Failure;
    }
    out << host.devicePath() << "\n";
    out.flush();

    linkcli::stopRequested();
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [] {
        if (linkcli::stopRequested())
            QCoreApplication::quit();
    });
    watch.start(100);
    QCoreApplication::exec();
    return cliexit::Ok;
}

const CliCommandRegistrar kRegistrar(kCommand);
} // namespace
