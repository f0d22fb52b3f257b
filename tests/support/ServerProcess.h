#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A real server (mosquitto, prometheus, influxd ...) started by a test on
// 127.0.0.1 and a port nobody listens on, with its files in a temporary
// folder. The destructor stops it by its process id, so a failing test never
// leaves it behind. It can be stopped and started again on the same port.
//
// In the arguments and in the files written with writeFile(), "{port}" stands
// for port(), "{portN}" for extraPort(N - 1) and "{dir}" for dir().
class ServerProcess {
public:
    ServerProcess(const QString &program, const QStringList &args);
    ~ServerProcess();
    ServerProcess(const ServerProcess &) = delete;
    ServerProcess &operator=(const ServerProcess &) = delete;

    // A port of 127.0.0.1 free at the moment of the call (bound to 0, read, released).
    static quint16 freePort();

    quint16 port() const { return port_; }
    // Another free port for a second listener, the same on every start.
    quint16 extraPort(int index);
    QString dir() const { return dir_.path(); }
    QString path(const QString &name) const { return dir_.filePath(name); }
    // Writes a file in dir() (placeholders expanded); the path written.
    QString writeFile(const QString &name, const QString &text) const;
    QString expand(QString text) const;

    // Starts the program and waits until its port accepts connections.
    // False (with the reason and the server's output in lastError()) when it
    // exits or does not answer within limitMs.
    bool start(int limitMs = 30000);
    // SIGTERM and a wait for the exit (SIGKILL after limitMs).
    void stop(int limitMs = 15000);
    // SIGKILL, as a crash or a power cut would end it.
    void kill();
    bool running() const;
    qint64 pid() const;
    // The server's output so far (stdout and stderr).
    QString log() const;
    QString lastError() const { return error_; }

private:
    QString program_;
    QStringList args_;
    QTemporaryDir dir_;
    quint16 port_ = 0;
    QList<quint16> extra_;
    QProcess process_;
    QString error_;
};

// Whether a program is installed (full path or found on PATH).
// The process started by `process` ends with the test that started it, even
// when the test crashes or is killed before it can stop it by its pid.
void endWithThisProcess(QProcess &process);

bool haveProgram(const QString &program);
