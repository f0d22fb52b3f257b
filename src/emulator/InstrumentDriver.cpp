#include "emulator/InstrumentDriver.h"

#include <cmath>

namespace {
constexpr double kLatencyMs = 1.0; // the instrument's reaction time
constexpr int kPacedChunkMs = 3;   // paced bytes leave in chunks this far apart
constexpr int kTickMs = 100;
} // namespace

InstrumentDriver::InstrumentDriver(const EmulatorOptions &options, QObject *parent) : QObject(parent), model_(options)
{
    clock_.start();
    for (QTimer *t : {&frameTimer_, &deliverTimer_, &noiseTimer_}) {
        t->setSingleShot(true);
        t->setTimerType(Qt::PreciseTimer);
    }
    tickTimer_.setInterval(kTickMs);
    connect(&frameTimer_, &QTimer::timeout, this, &InstrumentDriver::sendFrame);
    connect(&deliverTimer_, &QTimer::timeout, this, &InstrumentDriver::flushDue);
    connect(&noiseTimer_, &QTimer::timeout, this, &InstrumentDriver::sendNoise);
    connect(&tickTimer_, &QTimer::timeout, this, &InstrumentDriver::tick);
}

void InstrumentDriver::setRunning(bool running)
{
    if (running == running_)
        return;
    running_ = running;
    queue_.clear();
    due_.clear();
    sent_ = 0;
    wireFreeMs_ = 0;
    if (running) {
        firstFrame_ = true;
        streamStopped_ = false;
        tickTimer_.start();
        if (!model_.silent())
            frameTimer_.start(qMin(10, model_.options().frameMs));
    } else {
        frameTimer_.stop();
        deliverTimer_.stop();
        noiseTimer_.stop();
        tickTimer_.stop();
    }
}

void InstrumentDriver::setSilent(bool silent)
{
    model_.setSilent(silent);
    if (silent) {
        frameTimer_.stop();
        noiseTimer_.stop();
    } else if (running_ && !streamStopped_ && !frameTimer_.isActive()) {
        frameTimer_.start(model_.options().frameMs);
    }
}

void InstrumentDriver::receive(const QByteArray &bytes)
{
    if (!running_ || bytes.isEmpty())
        return;
    // The stream stops at the first byte of a command.
    streamStopped_ = true;
    frameTimer_.stop();
    noiseTimer_.stop();
    bool done = false;
    QByteArray answer = model_.receive(bytes, clock_.elapsed(), &done);
    if (!answer.isEmpty() && !model_.silent()) {
        int &count = answered_[model_.lastCommand()];
        if (count++ < model_.options().truncatedAnswers)
            answer.truncate(answer.size() / 2);
        queue(answer);
    }
    const int silentAfter = model_.options().silentAfterCommands;
    if (done && silentAfter >= 0 && model_.commandsReceived() >= silentAfter)
        setSilent(true);
    if (!model_.midCommand())
        resumeStream();
}

void InstrumentDriver::resumeStream()
{
    streamStopped_ = false;
    if (!running_ || model_.silent())
        return;
    // The stream resumes resumeMs after the answer has left; its first frame
    // then follows one frame period later.
    const double now = preciseNow();
    const double resumeAt = qMax(now, wireFreeMs_) + model_.options().resumeMs;
    frameTimer_.start(int(std::ceil(resumeAt - now)) + model_.options().frameMs);
}

void InstrumentDriver::tick()
{
    const qint64 now = clock_.elapsed();
    model_.advance(now);
    // The model may have been made silent or talkative directly.
    if (model_.silent())
        frameTimer_.stop();
    else if (!streamStopped_ && !frameTimer_.isActive())
        frameTimer_.start(model_.options().frameMs);
    if (model_.midCommand()) {
        model_.expireCommand(now);
        if (!model_.midCommand())
            resumeStream();
    }
}

void InstrumentDriver::sendFrame()
{
    if (!running_ || model_.silent() || streamStopped_)
        return;
    model_.advance(clock_.elapsed());
    QByteArray f = model_.frame();
    if (firstFrame_ && model_.options().startMidFrame)
        f = f.mid(1 + int(model_.random().bounded(6)));
    firstFrame_ = false;
    queue(f);
    const int period = model_.options().frameMs;
    if (model_.options().noise)
        noiseTimer_.start(period / 2);
    frameTimer_.start(period);
}

void InstrumentDriver::sendNoise()
{
    if (!running_ || model_.silent() || streamStopped_)
        return;
    QByteArray noise;
    const int n = 1 + int(model_.random().bounded(4));
    while (noise.size() < n) {
        // STX and ETX are left out so that noise never completes a false frame.
        const char c = char(model_.random().bounded(256));
        if (c != 2 && c != 3)
            noise.append(c);
    }
    queue(noise);
}

void InstrumentDriver::queue(const QByteArray &bytes)
{
    const double now = preciseNow();
    if (sent_ > 0 && sent_ == queue_.size()) {
        queue_.clear();
        due_.clear();
        sent_ = 0;
    }
    if (model_.options().bytePacing) {
        const double start = qMax(now + kLatencyMs, wireFreeMs_);
        for (qsizetype i = 0; i < bytes.size(); ++i)
            due_.append(start + double(i + 1) * kByteMs);
        wireFreeMs_ = due_.last();
    } else {
        wireFreeMs_ = now + kLatencyMs;
        for (qsizetype i = 0; i < bytes.size(); ++i)
            due_.append(wireFreeMs_);
    }
    queue_.append(bytes);
    scheduleDelivery();
}

void InstrumentDriver::scheduleDelivery()
{
    if (sent_ >= queue_.size() || deliverTimer_.isActive())
        return;
    const double wait = due_[sent_] - preciseNow();
    const int floor = model_.options().bytePacing ? kPacedChunkMs : 0;
    deliverTimer_.start(qMax(floor, int(std::ceil(wait))));
}

void InstrumentDriver::flushDue()
{
    const double now = preciseNow();
    qsizetype end = sent_;
    while (end < queue_.size() && due_[end] <= now + 0.01)
        ++end;
    if (end > sent_) {
        const QByteArray chunk = queue_.mid(sent_, end - sent_);
        sent_ = end;
        if (sink_)
            sink_(chunk);
    }
    if (sent_ == queue_.size()) {
        queue_.clear();
        due_.clear();
        sent_ = 0;
    }
    scheduleDelivery();
}
