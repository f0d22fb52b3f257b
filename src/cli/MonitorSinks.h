#pragma once

#include "core/monitor/Sink.h"

#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTextStream>
#include <QTimer>

#include <deque>
#include <memory>
#include <optional>

// --on-alarm: runs the command (program and arguments, no shell) once per
// alarm change, one at a time in their order, with TH_ID, TH_QUANTITY,
// TH_STATE, TH_VALUE, TH_LOW, TH_HIGH, TH_TIME, TH_LEVEL and TH_ALARM_ID in
// its environment. Its
// output goes to err; a failure, or a command ended after limitMs, is
// reported there. Never waits on the command, except in close().
class AlarmCommandSink : public QObject, public SampleSink {
    Q_OBJECT
public:
    AlarmCommandSink(const QString &id, const QStringList &command, QTextStream &err, int limitMs = 30000);
    ~AlarmCommandSink() override;

    void onSample(const Sample &) override {}
    void onAlarm(const AlarmEvent &event) override;
    // Lets the running command and the waiting ones finish within limitMs,
    // then ends what is left.
    void close() override { close(10000); }
    void close(int limitMs);

    // The words of a command as a POSIX shell splits them (blanks, '...',
    // "...", backslash), with nothing expanded; nullopt for an unterminated
    // quote or no word at all.
    static std::optional<QStringList> splitCommand(const QString &text);
    // The environment a change gives the command (added to this process's).
    static QProcessEnvironment environmentFor(const QString &id, const AlarmEvent &event);

private:
    void startNext();
    void finishCurrent();
    void say(const QString &text);

    QString id_;
    QStringList command_;
    QTextStream &err_;
    int limitMs_;
    std::deque<QProcessEnvironment> waiting_;
    std::unique_ptr<QProcess> running_;
    QString runningWhat_;
    QTimer limit_, kill_;
    bool timedOut_ = false;
    bool closing_ = false;
};

// --json: the state payload of every sample, one line each, on out.
class JsonLinesSink : public SampleSink {
public:
    explicit JsonLinesSink(QTextStream &out) : out_(out) {}
    void onSample(const Sample &sample) override;

private:
    QTextStream &out_;
};
