// Figures of signing and checking: a full recording file's 48 000 records
// signed and verified (20 ms each at most), and `termohigrometro-cli audit
// verify` over a trail of 1 000 000 entries (5 s and 100 MB resident at most).
#include "core/files/DataFile.h"
#include "core/integrity/Audit.h"
#include "core/integrity/Seal.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {
QByteArray recordingBytes(int count)
{
    QByteArray b = recordingFileStart(true);
    const QDateTime start(QDate(2026, 6, 1), QTime(0, 0));
    for (int i = 0; i < count; ++i) {
        const QDateTime at = start.addSecs(60LL * i);
        b += QByteArray::number(i + 1) + '\t' + at.toString(QStringLiteral("dd/MM/yyyy\thh:mm:ss")).toLatin1() +
             "\t25.0\t13.9\t18.0\t50.0\r\n";
    }
    return b;
}

// Best of ten runs of `f`, in milliseconds.
template <class F> double bestMs(F f)
{
    double best = 1e300;
    for (int i = 0; i < 10; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        best = std::min(best, double(t.nsecsElapsed()) / 1e6);
    }
    return best;
}

// A trail of `n` entries written straight to the file, as appends would
// have left it (without a lock and an fsync per entry, which only cost time here).
bool writeTrail(const QString &path, qint64 n)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QString prev(64, QLatin1Char('0'));
    const QJsonObject instrument{{QStringLiteral("port"), QStringLiteral("/dev/ttyUSB0")},
                                 {QStringLiteral("id"), QJsonValue()},
                                 {QStringLiteral("type"), QStringLiteral("NewType")}};
    QByteArray block;
    for (qint64 seq = 1; seq <= n; ++seq) {
        QJsonObject o{{QStringLiteral("seq"), seq},
                      {QStringLiteral("time"), QStringLiteral("2026-12-09T10:00:00-03:00")},
                      {QStringLiteral("user"), QStringLiteral("farmacia")},
                      {QStringLiteral("host"), QStringLiteral("balcao-1")},
                      {QStringLiteral("program"), QStringLiteral("termohigrometro/7.1.0")},
                      {QStringLiteral("instrument"), instrument},
                      {QStringLiteral("action"), QStringLiteral("instrument.interval.set")},
                      {QStringLiteral("old"), 60},
                      {QStringLiteral("new"), 300},
                      {QStringLiteral("reason"), QStringLiteral("rotina")},
                      {QStringLiteral("prev"), prev}};
        block += integrity::entryLine(o, &prev);
        if (block.size() > (1 << 20)) {
            f.write(block);
            block.clear();
        }
    }
    return f.write(block) == block.size();
}

// Runs the tool; its exit code, wall time and peak resident memory (MB).
int runTool(const QByteArray &exe, const QList<QByteArray> &args, double *ms, double *peakMb)
{
    std::vector<char *> argv{const_cast<char *>(exe.constData())};
    for (const QByteArray &a : args)
        argv.push_back(const_cast<char *>(a.constData()));
    argv.push_back(nullptr);
    QElapsedTimer t;
    t.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, exe.constData(), nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    *ms = double(t.nsecsElapsed()) / 1e6;
    *peakMb = usage.ru_maxrss / 1024.0;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
} // namespace

int main()
{
    QTemporaryDir dir;
    int status = 0;
    const integrity::SecretKey key = integrity::generateKey();
    const QString file = dir.filePath(QStringLiteral("gravacao.dlf"));
    {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly) || f.write(recordingBytes(kRecordsPerFile)) < 0)
            return 1;
    }
    integrity::SealInfo info;
    const double sign = bestMs([&] { integrity::sealFileWith(key, file, info); });
    integrity::FileCheck check;
    const double verify = bestMs([&] { check = integrity::verifyFile(file, key.publicKey()); });
    std::printf("Sign a %d-record data file (%lld bytes): %.2f ms best of 10 (limit 20 ms)\n", kRecordsPerFile,
                static_cast<long long>(QFileInfo(file).size()), sign);
    std::printf("Verify it: %.2f ms best of 10 (limit 20 ms), status %s, %d records\n", verify,
                qPrintable(integrity::statusName(check.status)), check.records);
    if (sign > 20 || verify > 20 || check.status != integrity::Status::Ok)
        status = 1;

    constexpr qint64 kEntries = 1000000;
    const QString trail = dir.filePath(QStringLiteral("auditoria.jsonl"));
    if (!writeTrail(trail, kEntries))
        return 1;
    char self[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    const QByteArray cli =
        QFileInfo(QString::fromLocal8Bit(self, int(qMax<ssize_t>(0, n)))).absolutePath().toLocal8Bit() +
        "/termohigrometro-cli";
    double ms = 0, peak = 0;
    int code = -1;
    if (QFileInfo::exists(QString::fromLocal8Bit(cli))) {
        code = runTool(cli, {"audit", "verify", "--audit", trail.toLocal8Bit()}, &ms, &peak);
        std::printf("termohigrometro-cli audit verify, %lld entries (%.0f MB): %.0f ms (limit 5000 ms), peak %.1f MB "
                    "resident (limit 100 MB), exit %d\n",
                    static_cast<long long>(kEntries), QFileInfo(trail).size() / 1e6, ms, peak, code);
    } else {
        QElapsedTimer t;
        t.start();
        const integrity::TrailCheck c = integrity::verifyTrail(trail, nullptr);
        ms = double(t.nsecsElapsed()) / 1e6;
        code = c.intact && c.entries == kEntries ? 0 : 6;
        std::printf("verifyTrail (the tool was not built), %lld entries: %.0f ms (limit 5000 ms), exit %d\n",
                    static_cast<long long>(kEntries), ms, code);
    }
    if (code != 0 || ms > 5000 || peak > 100)
        status = 1;
    return status;
}
