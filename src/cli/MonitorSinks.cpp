#include "cli/MonitorSinks.h"

#include "core/monitor/MqttPayload.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocale>

namespace {
constexpr int kMaxWaiting = 100;

QString numberText(const std::optional<double> &v)
{
    return v ? QString::number(*v, 'g', QLocale::FloatingPointShortest) : QString();
}
} // namespace

AlarmCommandSink::AlarmCommandSink(const QString &id, const QStringList &command, QTextStream &err, int limitMs)
    : id_(id), command_(command), err_(err), limitMs_(limitMs)
{
    limit_.setSingleShot(true);
    connect(&limit_, &QTimer::timeout, this, [this] {
        if (!running_)
            return;
        timedOut_ = true;
        running_->terminate();
        kill_.start(2000);
    });
    kill_.setSingleShot(true);
    connect(&kill_, &QTimer::timeout, this, [this] {
        if (running_)
            running_->kill();
    });
}

AlarmCommandSink::~AlarmCommandSink()
{
    if (running_) {
        running_->disconnect(this);
        running_->kill();
        running_->waitForFinished(2000);
    }
}

std::optional<QStringList> AlarmCommandSink::splitCommand(const QString &text)
{
    QStringList words;
    QString word;
    bool inWord = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\'') {
            const qsizetype end = text.indexOf(u'\'', i + 1);
            if (end < 0)
                return std::nullopt;
            word += text.mid(i + 1, end - i - 1);
            inWord = true;
            i = end;
        } else if (c == u'"') {
            inWord = true;
            for (++i;; ++i) {
                if (i >= text.size())
                    return std::nullopt;
                const QChar d = text[i];
                if (d == u'"')
                    break;
                // Inside double quotes a backslash only escapes these.
                if (d == u'\\' && i + 1 < text.size() && QStringView(u"\"\\$`").contains(text[i + 1])) {
                    word += text[++i];
                    continue;
                }
                word += d;
            }
        } else if (c == u'\\') {
            if (i + 1 < text.size())
                word += text[++i];
            inWord = true;
        } else if (c == u' ' || c == u'\t' || c == u'\n') {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words << word;
    if (words.isEmpty())
        return std::nullopt;
    return words;
}

QProcessEnvironment AlarmCommandSink::environmentFor(const QString &id, const AlarmEvent &e)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The broker's password is this process's alone, not every alarm script's.
    env.remove(QStringLiteral("TH_MQTT_PASSWORD"));
    env.insert(QStringLiteral("TH_ID"), id);
    env.remove(QStringLiteral("TH_SMTP_PASSWORD"));
    env.insert(QStringLiteral("TH_QUANTITY"), alarmSubjectKey(e));
    env.insert(QStringLiteral("TH_STATE"), alarmEventStateKey(e));
    env.insert(QStringLiteral("TH_LEVEL"), alarmLevelKey(e.level));
    env.insert(QStringLiteral("TH_ALARM_ID"), QString::number(e.id));
    env.insert(QStringLiteral("TH_VALUE"), numberText(e.value));
    env.insert(QStringLiteral("TH_LOW"), numberText(e.bounds.low));
    env.insert(QStringLiteral("TH_HIGH"), numberText(e.bounds.high));
    env.insert(QStringLiteral("TH_TIME"), isoTimeWithOffset(e.time));
    return env;
}

void AlarmCommandSink::onAlarm(const AlarmEvent &event)
{
    if (closing_)
        return;
    if (waiting_.size() >= size_t(kMaxWaiting)) {
        waiting_.pop_front();
        say(QStringLiteral("--on-alarm: %1 changes wait for the command; the oldest is not run").arg(kMaxWaiting));
    }
    waiting_.push_back(environmentFor(id_, event));
    startNext();
}

void AlarmCommandSink::startNext()
{
    if (running_ || waiting_.empty())
        return;
    const QProcessEnvironment env = waiting_.front();
    waiting_.pop_front();
    runningWhat_ =
        QStringLiteral("%1 %2").arg(env.value(QStringLiteral("TH_QUANTITY")), env.value(QStringLiteral("TH_STATE")));
    running_ = std::make_unique<QProcess>();
    QProcess *p = running_.get();
    p->setProgram(command_.first());
    p->setArguments(command_.mid(1));
    p->setProcessEnvironment(env);
    p->setProcessChannelMode(QProcess::MergedChannels);
    p->setStandardInputFile(QProcess::nullDevice());
    connect(p, &QProcess::readyReadStandardOutput, this, [this, p] {
        err_ << QString::fromLocal8Bit(p->readAllStandardOutput());
        err_.flush();
    });
    connect(p, &QProcess::finished, this, &AlarmCommandSink::finishCurrent);
    connect(p, &QProcess::errorOccurred, this, [this, p](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart)
            return;
        say(QStringLiteral("--on-alarm: cannot run %1: %2").arg(command_.first(), p->errorString()));
        QTimer::singleShot(0, this, &AlarmCommandSink::finishCurrent);
    });
    timedOut_ = false;
    p->start();
    limit_.start(limitMs_);
}

void AlarmCommandSink::finishCurrent()
{
    if (!running_)
        return;
    limit_.stop();
    kill_.stop();
    QProcess *p = running_.get();
    if (p->state() != QProcess::NotRunning)
        return; // finished comes later
    const QByteArray rest = p->readAllStandardOutput();
    if (!rest.isEmpty())
        err_ << QString::fromLocal8Bit(rest);
    if (p->error() != QProcess::FailedToStart) {
        if (timedOut_)
            say(QStringLiteral("--on-alarm: the command for %1 was still running after %2 s and was ended")
                    .arg(runningWhat_)
                    .arg(limitMs_ / 1000));
        else if (p->exitStatus() != QProcess::NormalExit)
            say(QStringLiteral("--on-alarm: the command for %1 crashed").arg(runningWhat_));
        else if (p->exitCode() != 0)
            say(QStringLiteral("--on-alarm: the command for %1 failed with exit code %2")
                    .arg(runningWhat_)
                    .arg(p->exitCode()));
    }
    running_->disconnect(this);
    running_.release()->deleteLater();
    startNext();
}

void AlarmCommandSink::close(int limitMs)
{
    closing_ = true;
    QElapsedTimer t;
    t.start();
    while ((running_ || !waiting_.empty()) && t.elapsed() < limitMs) {
        if (running_)
            running_->waitForFinished(int(qMax<qint64>(1, qMin<qint64>(200, limitMs - t.elapsed()))));
        QCoreApplication::processEvents();
        startNext();
    }
    if (running_) {
        say(QStringLiteral("--on-alarm: the command for %1 is ended at the exit").arg(runningWhat_));
        running_->disconnect(this);
        running_->kill();
        running_->waitForFinished(2000);
        running_.reset();
    }
    if (!waiting_.empty())
        say(QStringLiteral("--on-alarm: %1 changes were not passed on before the exit").arg(waiting_.size()));
    waiting_.clear();
}

void AlarmCommandSink::say(const QString &text)
{
    err_ << "termohigrometro-cli monitor: " << text << "\n";
    err_.flush();
}

void JsonLinesSink::onSample(const Sample &sample)
{
    out_ << QString::fromUtf8(statePayload(sample)) << "\n";
    out_.flush();
}
