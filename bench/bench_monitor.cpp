// The monitoring service against a real Mosquitto broker on the loopback,
// with the emulated instrument on a pseudo-terminal of this process:
// - `monitor` at a 1 s interval with MQTT, metrics (scraped every 15 s, as
//   Prometheus would) and recording: its CPU (share of one core) and memory
//   over a window (TH_BENCH_MONITOR_SECONDS, default 60), and the time from
//   each sample to its arrival at a subscriber;
// - 10 000 samples queued while the broker is away, and the time to deliver
//   them after it returns;
// - the broker killed (SIGKILL) and restarted 20 times under a running
//   `monitor`: samples lost, out of order, delivered twice;
// - bursts of 1 000 scrapes of the metrics endpoint of a running `monitor`
//   (no broker needed): their time, and whether a sample was missed meanwhile.
#include "support/Mosquitto.h"

#include "core/monitor/MqttPayload.h"
#include "core/reading/Decode.h"
#include "emulator/PtyHost.h"
#include "net/MqttSink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {
EmulatorOptions instrument()
{
    EmulatorOptions o;
    o.tempC = 22.0;
    o.rh = 48.0;
    return o;
}

QString cli()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/termohigrometro-cli");
}

// A process whose output lines are stamped on this process's monotonic clock.
class StampedProcess {
public:
    StampedProcess(const QString &program, const QStringList &args, const QElapsedTimer &clock) : clock_(clock)
    {
        QObject::connect(&p_, &QProcess::readyReadStandardOutput, [this] {
            buffer_ += p_.readAllStandardOutput();
            qsizetype nl;
            while ((nl = buffer_.indexOf('\n')) >= 0) {
                lines_.append({buffer_.left(nl), clock_.nsecsElapsed()});
                buffer_.remove(0, nl + 1);
            }
        });
        p_.start(program, args);
        p_.waitForStarted(10000);
    }
    ~StampedProcess()
    {
        if (p_.state() != QProcess::NotRunning) {
            p_.kill();
            p_.waitForFinished(5000);
        }
    }
    void terminate()
    {
        p_.terminate();
        (void)QTest::qWaitFor([this] { return p_.state() == QProcess::NotRunning; }, 30000);
    }
    qint64 pid() const { return p_.processId(); }
    const QList<QPair<QByteArray, qint64>> &lines() const { return lines_; }
    QByteArray errors() { return p_.readAllStandardError(); }

private:
    QProcess p_;
    const QElapsedTimer &clock_;
    QByteArray buffer_;
    QList<QPair<QByteArray, qint64>> lines_;
};

// user + system CPU seconds of a process.
double cpuSeconds(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray s = f.readAll();
    const QList<QByteArray> fields = s.mid(s.lastIndexOf(')') + 2).split(' ');
    // Fields from the state on: utime and stime are the 12th and 13th.
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

// The payloads in the order they came, each once.
QList<QByteArray> firstCopies(const QList<QByteArray> &in, int *duplicates)
{
    QList<QByteArray> out;
    QSet<QByteArray> seen;
    *duplicates = 0;
    for (const QByteArray &p : in) {
        if (seen.contains(p)) {
            ++*duplicates;
            continue;
        }
        seen.insert(p);
        out.append(p);
    }
    return out;
}

// The address a running `monitor --metrics 0` serves on, once it has said so
// and printed `samples` samples; empty when it does not within 30 s (what it
// printed on its standard error is in *err).
QString metricsUrl(StampedProcess &monitor, qsizetype samples, QByteArray *err)
{
    QString url;
    (void)QTest::qWaitFor(
        [&] {
            *err += monitor.errors();
            url = QRegularExpression(QStringLiteral("metrics on (http://\\S+)"))
                      .match(QString::fromUtf8(*err))
                      .captured(1);
            return !url.isEmpty() && monitor.lines().size() >= samples;
        },
        30000);
    return url;
}

void cpuAndLatency(int seconds)
{
    Mosquitto broker;
    if (!broker.start()) {
        std::printf("broker: %s\n", qPrintable(broker.server().lastError()));
        return;
    }
    PtyHost host(instrument());
    host.start();
    QTemporaryDir dir;
    QElapsedTimer clock;
    clock.start();
    const QString topic = QStringLiteral("termohigrometro/bench/state");
    StampedProcess sub(
        QStringLiteral("stdbuf"),
        {"-oL", "mosquitto_sub", "-h", "127.0.0.1", "-p", QString::number(broker.port()), "-q", "1", "-t", topic},
        clock);
    (void)QTest::qWaitFor([] { return false; }, 500); // the subscription is on its way
    StampedProcess monitor(cli(),
                           {"monitor", "--port", host.devicePath(), "--interval", "1", "--id", "bench", "--mqtt",
                            broker.address(), "--metrics", "0", "--record", dir.filePath("bench.dlf"), "--json"},
                           clock);
    QByteArray err;
    const QString url = metricsUrl(monitor, 3, &err);
    QNetworkAccessManager net;
    int scrapes = 0, scraped = 0;
    QTimer scraper;
    QObject::connect(&scraper, &QTimer::timeout, [&] {
        ++scrapes;
        QNetworkReply *reply = net.get(QNetworkRequest(QUrl(url)));
        QObject::connect(reply, &QNetworkReply::finished, [&scraped, reply] {
            scraped += reply->error() == QNetworkReply::NoError && reply->readAll().contains("termohigrometro_");
            reply->deleteLater();
        });
    });
    if (!url.isEmpty())
        scraper.start(15000);
    const double cpu0 = cpuSeconds(monitor.pid());
    const long rss0 = rssKb(monitor.pid());
    QElapsedTimer window;
    window.start();
    // A plain event loop: output is stamped as it arrives (qWaitFor would
    // sleep between its looks and stamp it late, by up to 10 ms).
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double cpu = cpuSeconds(monitor.pid()) - cpu0;
    const double wall = window.nsecsElapsed() / 1e9;
    const long rss1 = rssKb(monitor.pid());
    scraper.stop();
    monitor.terminate();

    QHash<QByteArray, qint64> arrived;
    for (const auto &[line, at] : sub.lines())
        if (!arrived.contains(line))
            arrived.insert(line, at);
    QVector<double> ms;
    int missing = 0;
    for (const auto &[line, at] : monitor.lines()) {
        if (!arrived.contains(line)) {
            ++missing;
            continue;
        }
        ms.append((arrived.value(line) - at) / 1e6);
    }
    std::printf("monitor at 1 s with MQTT, metrics and recording, %.0f s: CPU %.2f %% of one core (%.2f s), "
                "RSS %ld -> %ld kB; %d of %d scrapes answered%s\n",
                wall, 100.0 * cpu / wall, cpu, rss0, rss1, scraped, scrapes, url.isEmpty() ? " (NO ENDPOINT)" : "");
    std::printf("sample to subscriber (%lld samples, %d not seen): median %.2f ms, p99 %.2f ms, max %.2f ms\n",
                qsizetype(ms.size()), missing, percentile(ms, 0.5), percentile(ms, 0.99), percentile(ms, 1.0));
}

void queued10000()
{
    Mosquitto broker(QStringLiteral("max_queued_messages 0\nmax_inflight_messages 0\n"), true);
    if (!broker.start()) {
        std::printf("broker: %s\n", qPrintable(broker.server().lastError()));
        return;
    }
    const QString topic = QStringLiteral("termohigrometro/q/state");
    auto sub = std::make_unique<MqttSubscriber>(broker.port(), topic, QStringList{"-c", "-i", "bench-queue"});
    sub->waitReady();
    broker.stop(); // the subscriber's session is kept on disk

    MqttSinkOptions o;
    o.id = QStringLiteral("q");
    o.broker.host = QStringLiteral("127.0.0.1");
    o.broker.port = broker.port();
    o.broker.clientId = QStringLiteral("bench-q");
    MqttSink sink(o);
    sink.start();
    Sample s;
    decodeFrame(s.reading, QByteArray::fromHex("02001388283c03"));
    const QDateTime t0 = QDateTime::currentDateTime();
    for (int i = 0; i < 10000; ++i) {
        s.time = t0.addSecs(i);
        s.sequence = quint64(i + 1);
        sink.onSample(s);
    }
    // Let the sink find the broker away a few times, as in a real outage.
    (void)QTest::qWaitFor([] { return false; }, 6000);
    QElapsedTimer back;
    broker.start();
    back.start();
    const bool acked = QTest::qWaitFor([&] { return sink.queued() == 0; }, 60000);
    const double ackedS = back.nsecsElapsed() / 1e9;
    const bool all = QTest::qWaitFor([&] { return sub->count(topic) >= 10000; }, 60000);
    const double deliveredS = back.nsecsElapsed() / 1e9;
    int dup = 0;
    const QList<QByteArray> got = firstCopies(sub->payloads(topic), &dup);
    bool ordered = true;
    for (int i = 1; i < got.size(); ++i)
        ordered = ordered && got[i - 1] < got[i]; // the same day: ISO times sort as text
    std::printf("10000 queued samples: broker acknowledged all %s %.2f s after its return, subscriber had %lld%s "
                "after %.2f s (%d twice, %s)\n",
                acked ? "in" : "NOT within", ackedS, qsizetype(got.size()), all ? "" : " (NOT all)", deliveredS, dup,
                ordered ? "in order" : "OUT OF ORDER");
    sink.close(1000);
}

void brokerKilled20Times()
{
    Mosquitto broker(QStringLiteral("max_queued_messages 0\nautosave_on_changes true\n"), true);
    if (!broker.start()) {
        std::printf("broker: %s\n", qPrintable(broker.server().lastError()));
        return;
    }
    PtyHost host(instrument());
    host.start();
    const QString topic = QStringLiteral("termohigrometro/k/state");
    MqttSubscriber sub(broker.port(), topic, {"-c", "-i", "bench-kill"});
    sub.waitReady();
    QElapsedTimer clock;
    clock.start();
    StampedProcess monitor(
        cli(),
        {"monitor", "--port", host.devicePath(), "--interval", "1", "--id", "k", "--mqtt", broker.address(), "--json"},
        clock);
    (void)QTest::qWaitFor([&] { return sub.count(topic) >= 2; }, 30000);
    int restarts = 0;
    QElapsedTimer run;
    run.start();
    for (int i = 0; i < 20; ++i) {
        broker.kill();
        const qsizetype before = monitor.lines().size();
        (void)QTest::qWaitFor([&] { return monitor.lines().size() >= before + 2; }, 30000);
        if (!broker.start())
            break;
        ++restarts;
        const qsizetype taken = monitor.lines().size();
        int dup = 0;
        (void)QTest::qWaitFor([&] { return firstCopies(sub.payloads(topic), &dup).size() >= taken; }, 30000);
    }
    const bool alive = monitor.pid() != 0;
    monitor.terminate();
    (void)QTest::qWaitFor([] { return false; }, 500);
    QList<QByteArray> expected;
    for (const auto &[line, at] : monitor.lines())
        expected.append(line);
    int dup = 0;
    const QList<QByteArray> got = firstCopies(sub.payloads(topic), &dup);
    int lost = 0;
    for (const QByteArray &e : expected)
        lost += got.contains(e) ? 0 : 1;
    // In order: the delivered ones keep the monitor's order.
    qsizetype last = -1;
    int outOfOrder = 0;
    for (const QByteArray &g : got) {
        const qsizetype at = expected.indexOf(g);
        if (at >= 0 && at < last)
            ++outOfOrder;
        last = qMax(last, at);
    }
    std::printf("broker killed and restarted %d times in %.0f s: %lld samples taken, %d lost, %d out of order, "
                "%d delivered twice, monitor %s\n",
                restarts, run.nsecsElapsed() / 1e9, qsizetype(expected.size()), lost, outOfOrder, dup,
                alive ? "running to the end" : "DIED");
}

// 1 000 GETs of `url`, `parallel` at a time; the time of each in ms, the
// last body in *last, failures counted in *failed.
QVector<double> scrapeBurst(QNetworkAccessManager &net, const QString &url, int parallel, QByteArray *last, int *failed)
{
    QVector<double> ms;
    int started = 0, done = 0;
    QEventLoop loop;
    std::function<void()> next = [&] {
        if (started >= 1000)
            return;
        ++started;
        QElapsedTimer *t = new QElapsedTimer;
        t->start();
        QNetworkReply *r = net.get(QNetworkRequest(QUrl(url)));
        QObject::connect(r, &QNetworkReply::finished, [&, r, t] {
            ms.append(t->nsecsElapsed() / 1e6);
            delete t;
            if (r->error() != QNetworkReply::NoError)
                ++*failed;
            *last = r->readAll();
            r->deleteLater();
            if (++done == 1000)
                loop.quit();
            next();
        });
    };
    for (int i = 0; i < parallel; ++i)
        next();
    loop.exec();
    return ms;
}

void metricsScrapes()
{
    PtyHost host(instrument());
    host.start();
    QElapsedTimer clock;
    clock.start();
    StampedProcess monitor(
        cli(), {"monitor", "--port", host.devicePath(), "--interval", "1", "--id", "s", "--metrics", "0", "--json"},
        clock);
    QByteArray err;
    const QString url = metricsUrl(monitor, 2, &err);
    if (url.isEmpty()) {
        std::printf("metrics: no endpoint: %s\n", err.constData());
        return;
    }
    QNetworkAccessManager net;
    const double cpu0 = cpuSeconds(monitor.pid());
    const qsizetype before = monitor.lines().size();
    QElapsedTimer window;
    window.start();
    // Bursts until several sampling slots have passed under them.
    int bursts = 0, failed = 0;
    double slowest = 0;
    QVector<double> all;
    QByteArray last;
    while (window.elapsed() < 6000) {
        QElapsedTimer t;
        t.start();
        all += scrapeBurst(net, url, 4, &last, &failed);
        slowest = qMax(slowest, t.nsecsElapsed() / 1e9);
        ++bursts;
    }
    const double wall = window.nsecsElapsed() / 1e9;
    const double cpu = cpuSeconds(monitor.pid()) - cpu0;
    (void)QTest::qWaitFor([] { return false; }, 1500); // the JSON line of the last sample scraped
    const qsizetype after = monitor.lines().size();
    monitor.terminate();

    // Missed: a slot without its sample (samples about 1 s apart), or a
    // sample the endpoint did not count.
    int gaps = 0;
    QDateTime previous;
    for (qsizetype i = before - 1; i < after; ++i) {
        const QDateTime at = QDateTime::fromString(
            QJsonDocument::fromJson(monitor.lines()[i].first).object().value("time").toString(), Qt::ISODate);
        if (previous.isValid() && previous.secsTo(at) > 1)
            ++gaps;
        previous = at;
    }
    const QRegularExpression total(QStringLiteral("termohigrometro_samples_total\\{[^}]*\\} (\\d+)"));
    const qint64 counted = total.match(QString::fromUtf8(last)).captured(1).toLongLong();
    std::printf("metrics: %d bursts of 1000 scrapes (4 at a time) in %.2f s, slowest burst %.2f s (limit 5 s); "
                "per scrape median %.2f ms, p99 %.2f ms; %d failed; monitor CPU %.2f s\n",
                bursts, wall, slowest, percentile(all, 0.5), percentile(all, 0.99), failed, cpu);
    std::printf("metrics: %lld samples during the scrapes, %d slots missed, last scrape counted %lld of %lld%s\n",
                qsizetype(after - before), gaps, counted, qsizetype(after),
                counted <= after && counted >= after - 2 ? "" : " (MISMATCH)");
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    metricsScrapes();
    if (!haveProgram(QStringLiteral("/usr/sbin/mosquitto")) || !haveProgram(QStringLiteral("mosquitto_sub"))) {
        std::printf("mosquitto and mosquitto-clients are not installed: skipped\n");
        return 0;
    }
    const int seconds = qEnvironmentVariableIsSet("TH_BENCH_MONITOR_SECONDS")
                            ? qEnvironmentVariableIntValue("TH_BENCH_MONITOR_SECONDS")
                            : 60;
    cpuAndLatency(qMax(5, seconds));
    queued10000();
    brokerKilled20Times();
    return 0;
}
