#pragma once

#include "core/integrity/Seal.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// What a program said and how it ended (code -1: it did not end in time and
// was killed; -2: it crashed).
struct CliResult {
    int code = -1;
    QString out, err;
};

// The tool signs every file it writes with the user's key, made on first
// need. Tests get a key of their own instead, made before anything runs, so
// that no run writes into the user's folders or announces a new key; the
// programs a test starts inherit it (a test that wants another key sets
// TH_SIGNING_KEY itself).
inline const bool kTestSigningKeyReady = [] {
    if (qEnvironmentVariableIsSet("TH_SIGNING_KEY"))
        return true;
    static QTemporaryDir dir;
    const QString key = dir.filePath(QStringLiteral("assinatura.key"));
    integrity::createKey(key, nullptr, nullptr);
    qputenv("TH_SIGNING_KEY", QFile::encodeName(key));
    return true;
}();

// This process's environment without a display: for programs that must not need one.
inline QProcessEnvironment environmentWithoutDisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return env;
}

// Runs a program while this process's events keep running, so an instrument
// emulated in this process goes on answering it.
inline CliResult runProgram(const QString &program, const QStringList &args, int limitMs,
                            const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
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

// Runs termohigrometro-cli (TH_CLI).
inline CliResult runCli(const QStringList &args, int limitMs = 60000,
                        const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    return runProgram(qEnvironmentVariable("TH_CLI"), args, limitMs, env);
}
