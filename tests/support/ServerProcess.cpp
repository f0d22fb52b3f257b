#include "support/ServerProcess.h"

#include <QFile>
#include <QHostAddress>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <csignal>

#include <sys/prctl.h>

ServerProcess::ServerProcess(const QString &program, const QStringList &args)
    : program_(program), args_(args), port_(freePort())
{
    process_.setProcessChannelMode(QProcess::MergedChannels);
}

ServerProcess::~ServerProcess()
{
    stop(5000);
}

quint16 ServerProcess::freePort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    return server.serverPort();
}

quint16 ServerProcess::extraPort(int index)
{
    while (extra_.size() <= index)
        extra_.append(freePort());
    return extra_.at(index);
}

QString ServerProcess::expand(QString text) const
{
    text.replace(QStringLiteral("{port}"), QString::number(port_));
    text.replace(QStringLiteral("{dir}"), dir_.path());
    for (int i = 0; i < extra_.size(); ++i)
        text.replace(QStringLiteral("{port%1}").arg(i + 1), QString::number(extra_.at(i)));
    return text;
}

QString ServerProcess::writeFile(const QString &name, const QString &text) const
{
    const QString p = dir_.filePath(name);
    QFile f(p);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(expand(text).toUtf8());
    return p;
}

bool ServerProcess::start(int limitMs)
{
    if (running())
        return true;
    QStringList args;
    for (const QString &a : args_)
        args << expand(a);
    // Each start appends to one log, so a restart does not hide why the first run failed.
    process_.setStandardOutputFile(dir_.filePath(QStringLiteral("server.log")), QIODevice::Append);
    process_.setWorkingDirectory(dir_.path());
    endWithThisProcess(process_);
    process_.start(program_, args);
    if (!process_.waitForStarted(10000)) {
        error_ = QStringLiteral("%1 did not start: %2").arg(program_, process_.errorString());
        return false;
    }
    const bool answered = QTest::qWaitFor(
        [&] {
            if (process_.state() == QProcess::NotRunning)
                return true;
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, port_);
            return s.waitForConnected(200);
        },
        limitMs);
    if (!answered || process_.state() == QProcess::NotRunning) {
        error_ = QStringLiteral("%1 did not answer on port %2:\n%3").arg(program_).arg(port_).arg(log());
        kill();
        return false;
    }
    return true;
}

void ServerProcess::stop(int limitMs)
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(limitMs))
        kill();
}

void ServerProcess::kill()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.kill();
    process_.waitForFinished(10000);
}

bool ServerProcess::running() const
{
    return process_.state() != QProcess::NotRunning;
}

qint64 ServerProcess::pid() const
{
    return process_.processId();
}

QString ServerProcess::log() const
{
    QFile f(dir_.filePath(QStringLiteral("server.log")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

void endWithThisProcess(QProcess &process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

bool haveProgram(const QString &program)
{
    if (program.contains(QLatin1Char('/')))
        return QFile::exists(program);
    return !QStandardPaths::findExecutable(program).isEmpty();
}
