// Alarm e-mails of `termohigrometro-cli monitor` through Debian's aiosmtpd on
// the loopback (STARTTLS, AUTH), the emulated instrument on a pseudo-terminal:
// - from the sample that starts or ends an alarm to the message accepted by
//   the server (median, max);
// - a server that takes a message and then does not answer for
//   TH_BENCH_SMTP_STALL_SECONDS (default 20) at 1 s sampling: samples missed
//   or late by more than 100 ms, memory, and every message delivered after;
// - `monitor` at 1 s with two levels on four quantities, MQTT, metrics and
//   e-mail for TH_BENCH_ALARMS_SECONDS (default 30): its CPU share.
#include "support/Mosquitto.h"
#include "support/SmtpServer.h"

#include "emulator/PtyHost.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {
QString cli()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/termohigrometro-cli");
}

// `monitor` with its --json lines stamped on this process's monotonic clock.
class Stamped {
public:
    Stamped(const QStringList &args, const QElapsedTimer &clock) : clock_(clock)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TH_SMTP_PASSWORD"), QStringLiteral("s3nha"));
        p_.setProcessEnvironment(env);
        QObject::connect(&p_, &QProcess::readyReadStandardOutput, [this] {
            buffer_ += p_.readAllStandardOutput();
            qsizetype nl;
            while ((nl = buffer_.indexOf('\n')) >= 0) {
                lines_.append({buffer_.left(nl), clock_.nsecsElapsed()});
                buffer_.remove(0, nl + 1);
            }
        });
        QObject::connect(&p_, &QProcess::readyReadStandardError, [this] { err_ += p_.readAllStandardError(); });
        p_.start(cli(), QStringList{"monitor"} + args);
        p_.waitForStarted(10000);
    }
    ~Stamped()
    {
        if (p_.state() != QProcess::NotRunning) {
            p_.terminate();
            if (!p_.waitForFinished(30000))
                p_.kill();
        }
    }
    qint64 pid() const { return p_.processId(); }
    const QList<QPair<QByteArray, qint64>> &lines() const { return lines_; }
    const QByteArray &err() const { return err_; }

private:
    QProcess p_;
    const QElapsedTimer &clock_;
    QByteArray buffer_, err_;
    QList<QPair<QByteArray, qint64>> lines_;
};

double cpuSeconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray s = f.readAll();
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

long rssKb(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

double percentile(QVector<double> v, double p)
{
    if (v.isEmpty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[qMin(v.size() - 1, qsizetype(p * double(v.size() - 1) + 0.5))];
}

// Runs the event loop until `done` or limitMs, looking every 5 ms: output
// is stamped as it arrives.
bool runUntil(const std::function<bool()> &done, int limitMs)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < limitMs) {
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

QStringList mailArgs(const SmtpServer &smtp)
{
    return {"--smtp",  smtp.url(),     "--smtp-cafile",     smtp.caFile(), "--smtp-user",
            "alarmes", "--email-from", "termo@example.org", "--email-to",  "ops@example.org"};
}

void startToAccepted(SmtpServer &smtp)
{
    PtyHost host([] {
        EmulatorOptions o;
        o.tempC = 15;
        o.rh = 50;
        return o;
    }());
    host.start();
    QElapsedTimer clock;
    clock.start();
    Stamped monitor(QStringList{"--port", host.devicePath(), "--interval", "1", "--id", "lat", "--limit", "temp=:20",
                                "--email-repeat", "0", "--json"} +
                        mailArgs(smtp),
                    clock);
    runUntil([&] { return monitor.lines().size() >= 2; }, 30000);
    const QString file = smtp.server().path(QStringLiteral("messages.jsonl"));
    QVector<double> ms;
    for (int i = 0; i < 10; ++i) {
        const double value = i % 2 == 0 ? 25 : 15;
        host.model().setValues(value, 50);
        const QByteArray mark = QByteArray("\"temp_c\":") + QByteArray::number(value);
        // The first sample with the new value is the one that makes the change.
        const qsizetype before = monitor.lines().size();
        qint64 sampled = -1;
        const int count = int(smtp.messages().size());
        if (!runUntil(
                [&] {
                    for (qsizetype k = before; sampled < 0 && k < monitor.lines().size(); ++k)
                        if (monitor.lines()[k].first.contains(mark))
                            sampled = monitor.lines()[k].second;
                    return sampled >= 0 && QFileInfo(file).size() > 0 && smtp.messages().size() > count;
                },
                30000))
            break;
        ms.append((clock.nsecsElapsed() - sampled) / 1e6);
    }
    // The same slot check as with a silent server, for comparison: here the
    // server answers at once and the values change as often.
    int off = 0;
    for (qsizetype k = 2; k < monitor.lines().size(); ++k)
        off += qAbs((monitor.lines()[k].second - monitor.lines()[k - 1].second) / 1e6 - 1000) > 100;
    std::printf("sample that starts or ends an alarm to the message accepted by the server (%lld messages): "
                "median %.1f ms, max %.1f ms (limit: median 2000 ms); %d of %lld samples off their slot by more "
                "than 100 ms\n",
                qsizetype(ms.size()), percentile(ms, 0.5), percentile(ms, 1.0), off, qsizetype(monitor.lines().size()));
}

void stalledServer(SmtpServer &smtp, int stallSeconds)
{
    PtyHost host([] {
        EmulatorOptions o;
        o.tempC = 15;
        o.rh = 50;
        return o;
    }());
    host.start();
    QElapsedTimer clock;
    clock.start();
    Stamped monitor(QStringList{"--port", host.devicePath(), "--interval", "1", "--id", "stall", "--limit", "temp=:20",
                                "--email-repeat", "0", "--json"} +
                        mailArgs(smtp),
                    clock);
    runUntil([&] { return monitor.lines().size() >= 3; }, 30000);
    const int before = int(smtp.messages().size());
    smtp.stall(true);
    const qsizetype first = monitor.lines().size();
    const long rss0 = rssKb(monitor.pid());
    // An alarm change every 3 s while the server holds the first message.
    QTimer flip;
    bool high = false;
    int changes = 0;
    QObject::connect(&flip, &QTimer::timeout, [&] {
        high = !high;
        host.model().setValues(high ? 25 : 15, 50);
        ++changes;
    });
    flip.start(3000);
    runUntil([] { return false; }, stallSeconds * 1000);
    flip.stop();
    const long rss1 = rssKb(monitor.pid());
    const qsizetype last = monitor.lines().size();
    smtp.stall(false);
    // Every change sent, in order, once the server answers again.
    const int expected = int(QString::fromUtf8(monitor.err()).count(QStringLiteral("alarm temp")));
    QElapsedTimer drain;
    drain.start();
    runUntil([&] { return int(smtp.messages().size()) - before >= expected; }, 120000);
    const double drained = drain.elapsed() / 1000.0;
    int late = 0, missed = 0;
    double worst = 0;
    QStringList lateOnes;
    for (qsizetype k = first + 1; k < last; ++k) {
        const double gap = (monitor.lines()[k].second - monitor.lines()[k - 1].second) / 1e6;
        worst = qMax(worst, qAbs(gap - 1000));
        if (qAbs(gap - 1000) > 100) {
            ++late;
            lateOnes << QStringLiteral("sample %1 of the window, %2 ms after the one before").arg(k - first).arg(gap);
        }
        missed += gap > 1500 ? int(gap / 1000 + 0.5) - 1 : 0;
    }
    std::printf("SMTP server silent for %d s at 1 s sampling: %lld samples, %d missed, %d late by more than 100 ms "
                "(worst %.1f ms), RSS %ld -> %ld kB; %d of %d alarm messages delivered %.1f s after it answered "
                "again (%d value changes)\n",
                stallSeconds, qsizetype(last - first), missed, late, worst, rss0, rss1,
                int(smtp.messages().size()) - before, expected, drained, changes);
    for (const QString &l : lateOnes)
        std::printf("  late: %s\n", qPrintable(l));
}

void cpuShare(SmtpServer &smtp, int seconds)
{
    Mosquitto broker;
    if (!broker.start()) {
        std::printf("broker: %s\n", qPrintable(broker.server().lastError()));
        return;
    }
    PtyHost host([] {
        EmulatorOptions o;
        o.tempC = 22;
        o.rh = 48;
        return o;
    }());
    host.start();
    QElapsedTimer clock;
    clock.start();
    Stamped monitor(QStringList{"--port",  host.devicePath(), "--interval",   "1",         "--id",    "cpu",
                                "--mqtt",  broker.address(),  "--metrics",    "0",         "--warn",  "temp=10:20",
                                "--limit", "temp=5:25",       "--warn",       "rh=30:60",  "--limit", "rh=20:70",
                                "--warn",  "dew=0:15",        "--limit",      "dew=-5:18", "--warn",  "wet=5:20",
                                "--limit", "wet=0:25",        "--hysteresis", "temp=0.5",  "--json"} +
                        mailArgs(smtp),
                    clock);
    runUntil([&] { return monitor.lines().size() >= 3; }, 30000);
    // One alarm in the window, so every channel has its share.
    QTimer::singleShot(seconds * 500, [&] { host.model().setValues(26, 48); });
    const double cpu0 = cpuSeconds(monitor.pid());
    QElapsedTimer window;
    window.start();
    runUntil([] { return false; }, seconds * 1000);
    const double cpu = cpuSeconds(monitor.pid()) - cpu0;
    const double wall = window.nsecsElapsed() / 1e9;
    std::printf("monitor at 1 s, two levels on four quantities, MQTT, metrics and e-mail, %.0f s: CPU %.2f %% of "
                "one core (%.2f s; limit 1 %%)\n",
                wall, 100.0 * cpu / wall, cpu);
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (QProcess::execute(QStringLiteral("/usr/bin/python3"), {"-c", "import aiosmtpd"}) != 0 ||
        !QFile::exists(QStringLiteral("/usr/sbin/mosquitto"))) {
        std::printf("python3-aiosmtpd or mosquitto is not installed: skipped\n");
        return 0;
    }
    SmtpServer smtp(QStringLiteral("alarmes"), QStringLiteral("s3nha"));
    if (!smtp.start()) {
        std::printf("smtp: %s\n", qPrintable(smtp.server().lastError()));
        return 1;
    }
    const int stall = qEnvironmentVariableIsSet("TH_BENCH_SMTP_STALL_SECONDS")
                          ? qEnvironmentVariableIntValue("TH_BENCH_SMTP_STALL_SECONDS")
                          : 20;
    const int seconds = qEnvironmentVariableIsSet("TH_BENCH_ALARMS_SECONDS")
                            ? qEnvironmentVariableIntValue("TH_BENCH_ALARMS_SECONDS")
                            : 30;
    startToAccepted(smtp);
    stalledServer(smtp, qMax(5, stall));
    cpuShare(smtp, qMax(10, seconds));
    return 0;
}
