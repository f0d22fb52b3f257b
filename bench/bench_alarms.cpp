// Alarm e-mails of `termohigrometro-cli monitor` through Debian's aiosmtpd on
// the loopback (STARTTLS, AUTH), the emulated instrument on a pseudo-terminal:
// - from the sample that starts or ends an alarm to the message accepted by
//   the server (median, max);
// - a server that takes a message and then does not answer for
//   TH_BENCH_SMTP_STALL_SECONDS (default 20) at 1 s sampling: samples missed
//   or late by more than 100 ms, memory after a warm-up and at the end
//   beside the size of the messages the sender had to hold, and every
//   message delivered after, once and in order;
// - `monitor` at 1 s with two levels on four quantities, MQTT, metrics and
//   e-mail for TH_BENCH_ALARMS_SECONDS (default 30): its CPU share.
// The exit status is 1 when a sample is missed or late by more than 100 ms,
// or a message is missing, repeated or out of order.
#include "support/Mosquitto.h"
#include "support/SmtpServer.h"

#include "emulator/PtyHost.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
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

// VmRSS, or RssAnon: what of it is the process's own data,
// without the pages of code and libraries it has touched so far.
long rssKb(qint64 pid, const char *field = "VmRSS:")
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLong();
    return -1;
}

double percentile(QVector<double> v, double p)
{
    if (v.isEmpty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[qMin(v.size() - 1, qsizetype(p * double(v.size() - 1) + 0.5))];
}

// Where the samples of lines [from, to) fell against their 1 s slots. Each
// sample goes to the slot nearest to its arrival; the grid's phase is the
// earliest sample's, the one the monitor's own clock put nearest its slot.
// Lateness is then measured from the slot, not from the sample before, so a
// run that is late all along is seen only when some sample is on time, and
// one whose lateness jumps is seen whatever its neighbours did.
struct SlotCheck {
    int samples = 0, late = 0, missed = 0;
    double worstMs = 0;
    QStringList lateOnes;
};

SlotCheck checkSlots(const QList<QPair<QByteArray, qint64>> &lines, qsizetype from, qsizetype to)
{
    SlotCheck c;
    if (to - from < 2)
        return c;
    const qint64 t0 = lines[from].second;
    QVector<qint64> slot;
    QVector<double> offset;
    for (qsizetype k = from; k < to; ++k) {
        const double ms = (lines[k].second - t0) / 1e6;
        slot.append(qint64(std::floor(ms / 1000 + 0.5)));
        offset.append(ms - double(slot.last()) * 1000);
    }
    const double phase = *std::min_element(offset.begin(), offset.end());
    for (qsizetype i = 0; i < slot.size(); ++i) {
        const double late = offset[i] - phase;
        c.worstMs = qMax(c.worstMs, late);
        if (late > 100) {
            ++c.late;
            c.lateOnes << QStringLiteral("sample %1 of the window, %2 ms after its slot").arg(i).arg(late, 0, 'f', 1);
        }
        // Two samples in one slot also show a slot without one.
        if (i > 0)
            c.missed += int(qMax<qint64>(0, slot[i] - slot[i - 1] - 1)) + (slot[i] == slot[i - 1] ? 1 : 0);
    }
    c.samples = int(slot.size());
    return c;
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

// The events `monitor` told on standard error since `from` (bytes), as the
// e-mails must carry them: alarm id and whether it ended, in order.
QList<QPair<int, bool>> toldEvents(const QByteArray &err, qsizetype from)
{
    QList<QPair<int, bool>> out;
    static const QRegularExpression re(QStringLiteral("alarm temp (\\w+) at [^(]*\\(id (\\d+)\\)"));
    for (auto it = re.globalMatch(QString::fromUtf8(err.mid(from))); it.hasNext();) {
        const auto m = it.next();
        out.append({m.captured(2).toInt(), m.captured(1) == QLatin1String("ok")});
    }
    return out;
}

// The same for the messages the server took from index `from` on.
QList<QPair<int, bool>> deliveredEvents(const SmtpServer &smtp, qsizetype from)
{
    QList<QPair<int, bool>> out;
    static const QRegularExpression re(QStringLiteral("Alarme nº: (\\d+)"));
    const QList<QJsonObject> all = smtp.messages();
    for (qsizetype i = from; i < all.size(); ++i)
        out.append({re.match(all[i].value(QStringLiteral("body")).toString()).captured(1).toInt(),
                    all[i].value(QStringLiteral("subject")).toString().contains(QStringLiteral("FIM "))});
    return out;
}

bool startToAccepted(SmtpServer &smtp)
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
    const qsizetype first = monitor.lines().size() - 1;
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
    const SlotCheck timing = checkSlots(monitor.lines(), first, monitor.lines().size());
    std::printf("sample that starts or ends an alarm to the message accepted by the server (%lld messages): "
                "median %.1f ms, max %.1f ms (limit: median 2000 ms); %d samples, %d missed, %d late by more than "
                "100 ms (worst %.1f ms after its slot)\n",
                qsizetype(ms.size()), percentile(ms, 0.5), percentile(ms, 1.0), timing.samples, timing.missed,
                timing.late, timing.worstMs);
    for (const QString &l : timing.lateOnes)
        std::printf("  late: %s\n", qPrintable(l));
    return ms.size() == 10 && percentile(ms, 0.5) <= 2000 && timing.late == 0 && timing.missed == 0;
}

bool stalledServer(SmtpServer &smtp, int stallSeconds)
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
    // Warm-up: an alarm's start and end through the server while it answers,
    // so what a process loads once (TLS, the CA file, the first message's
    // text) is in the figure before the stall, not in its growth.
    for (const double value : {25.0, 15.0}) {
        const int count = int(smtp.messages().size());
        host.model().setValues(value, 50);
        if (!runUntil([&] { return smtp.messages().size() > count; }, 30000)) {
            std::printf("SMTP server silent: the warm-up message never arrived\n%s\n", monitor.err().constData());
            return false;
        }
    }
    const int before = int(smtp.messages().size());
    const qsizetype toldFrom = monitor.err().size();
    smtp.stall(true);
    const qsizetype first = monitor.lines().size();
    const long rssWarm = rssKb(monitor.pid()), anonWarm = rssKb(monitor.pid(), "RssAnon:");
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
    // The resident size ten times over the window, to tell a step from a slope.
    QList<long> rssSeries;
    QTimer rssTimer;
    QObject::connect(&rssTimer, &QTimer::timeout, [&] { rssSeries << rssKb(monitor.pid()); });
    rssTimer.start(qMax(1000, stallSeconds * 100));
    runUntil([] { return false; }, stallSeconds * 1000);
    flip.stop();
    rssTimer.stop();
    const long rssEnd = rssKb(monitor.pid()), anonEnd = rssKb(monitor.pid(), "RssAnon:");
    const qsizetype last = monitor.lines().size();
    // A change still on its way from the instrument is told before the
    // server answers again, so the expected list is complete.
    runUntil([] { return false; }, 1500);
    smtp.stall(false);
    // Every change sent, in order, once the server answers again: the
    // sender may be in its longest pause (5 min) when it does.
    const QList<QPair<int, bool>> expected = toldEvents(monitor.err(), toldFrom);
    QElapsedTimer drain;
    drain.start();
    runUntil([&] { return int(smtp.messages().size()) - before >= expected.size(); }, 420000);
    const double drained = drain.elapsed() / 1000.0;
    // Messages the server finishes after the sender gave up on them come twice.
    runUntil([] { return false; }, 2000);
    const QList<QPair<int, bool>> delivered = deliveredEvents(smtp, before);
    // What the sender held while the server was silent: the texts it had
    // to keep to deliver them after.
    qint64 heldBytes = 0;
    for (const QJsonObject &m : smtp.messages().mid(before))
        heldBytes += m.value(QStringLiteral("subject")).toString().toUtf8().size() +
                     m.value(QStringLiteral("body")).toString().toUtf8().size();
    const bool inOrder = delivered == expected;
    const SlotCheck timing = checkSlots(monitor.lines(), first, last);
    QStringList series;
    for (long kb : rssSeries)
        series << QString::number(kb);
    std::printf("SMTP server silent for %d s at 1 s sampling: %d samples, %d missed, %d late by more than 100 ms "
                "(worst %.1f ms after its slot); RSS after the warm-up %ld kB, at the end %ld kB (%+ld kB; "
                "anonymous %ld -> %ld kB, %+ld kB); %lld of %lld alarm messages delivered %.1f s after it answered "
                "again, %s (%d value changes)\n",
                stallSeconds, timing.samples, timing.missed, timing.late, timing.worstMs, rssWarm, rssEnd,
                rssEnd - rssWarm, anonWarm, anonEnd, anonEnd - anonWarm, qsizetype(delivered.size()),
                qsizetype(expected.size()), drained, inOrder ? "each once and in order" : "NOT each once in order",
                changes);
    std::printf("  RSS over the window (kB): %s; the messages held meanwhile: %lld kB of subjects and bodies\n",
                qPrintable(series.join(QLatin1Char(' '))), heldBytes / 1024);
    for (const QString &l : timing.lateOnes)
        std::printf("  late: %s\n", qPrintable(l));
    if (!inOrder) {
        QStringList e, d;
        for (const auto &p : expected)
            e << QStringLiteral("%1%2").arg(p.first).arg(p.second ? "-end" : "");
        for (const auto &p : delivered)
            d << QStringLiteral("%1%2").arg(p.first).arg(p.second ? "-end" : "");
        std::printf("  told: %s\n  delivered: %s\n", qPrintable(e.join(' ')), qPrintable(d.join(' ')));
    }
    return timing.late == 0 && timing.missed == 0 && inOrder && !expected.isEmpty();
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
    bool ok = startToAccepted(smtp);
    ok = stalledServer(smtp, qMax(5, stall)) && ok;
    cpuShare(smtp, qMax(10, seconds));
    if (!ok)
        std::printf("FAILED: a sample missed or late by more than 100 ms, or an alarm message missing, repeated or "
                    "out of order\n");
    return ok ? 0 : 1;
}
