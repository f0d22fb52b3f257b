#pragma once

#include "emulator/InstrumentModel.h"
#include "support/CliRun.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTest>

// The instrument the monitoring tests watch: steady values whose payloads
// the tests can spell out.
inline EmulatorOptions monitoredInstrument()
{
    EmulatorOptions o;
    o.tempC = 25.0;
    o.rh = 50.0;
    return o;
}

inline QJsonObject jsonPayload(const QByteArray &payload)
{
    return QJsonDocument::fromJson(payload).object();
}

// `termohigrometro-cli monitor ARGS` running beside the test, which keeps its
// own events running while it waits (an emulated instrument of the test goes
// on answering). Ended by its process id when the test is done with it, also
// when the test fails.
class MonitorRun {
public:
    explicit MonitorRun(const QStringList &args,
                        const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
    {
        process_.setProcessEnvironment(env);
        process_.start(qEnvironmentVariable("TH_CLI"), QStringList{QStringLiteral("monitor")} + args);
        process_.waitForStarted(10000);
    }
    ~MonitorRun()
    {
        if (running())
            kill();
    }
    MonitorRun(const MonitorRun &) = delete;
    MonitorRun &operator=(const MonitorRun &) = delete;

    bool running() const { return process_.state() != QProcess::NotRunning; }
    qint64 pid() const { return process_.processId(); }
    // SIGTERM, then the wait for the exit.
    bool terminate(int limitMs = 30000)
    {
        process_.terminate();
        return QTest::qWaitFor([this] { return !running(); }, limitMs);
    }
    void kill()
    {
        process_.kill();
        process_.waitForFinished(10000);
    }
    int exitCode() const { return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -2; }
    // Standard output so far, by line (with --json: one state per sample).
    QStringList outLines()
    {
        out_ += QString::fromUtf8(process_.readAllStandardOutput());
        return out_.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    int samples() { return int(outLines().size()); }
    QString err()
    {
        err_ += QString::fromUtf8(process_.readAllStandardError());
        return err_;
    }

private:
    QProcess process_;
    QString out_, err_;
};
