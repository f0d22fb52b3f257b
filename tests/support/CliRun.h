#pragma once

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

// What termohigrometro-cli said and how it ended (code -1: it did not end in
// time and was killed; -2: it crashed).
struct CliResult {
    int code = -1;
    QString out, err;
};

// Runs the tool (TH_CLI) while this process's events keep running, so an
// instrument emulated in this process goes on answering it.
inline CliResult runCli(const QStringList &args, int limitMs = 60000,
                        const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(qEnvironmentVariable("TH_CLI"), args);
    CliResult r;
    if (!p.waitForStarted(10000))
        return r;
    // Without an application object there are no events to keep running.
    const bool finished = QCoreApplication::instance()
                              ? QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, limitMs)
                              : p.waitForFinished(limitMs);
    if (!finished) {
        p.kill();
        p.waitForFinished(5000);
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}
