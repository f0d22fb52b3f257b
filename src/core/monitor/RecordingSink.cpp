#include "core/monitor/RecordingSink.h"

RecordingSink::RecordingSink(std::function<void(const QString &)> report)
    : recorder_(state_), report_(std::move(report))
{
}

RecordingSink::~RecordingSink()
{
    close();
}

bool RecordingSink::start(const QString &path, bool celsius, QString *error)
{
    celsius_ = celsius;
    return recorder_.start(path, celsius, error);
}

void RecordingSink::onSample(const Sample &sample)
{
    if (!recorder_.running())
        return;
    QString error;
    const auto outcome = recorder_.writeSample(buildSampleLines(sample.reading, sample.time), celsius_, &error);
    if (outcome == PcRecorder::Outcome::Failed && report_)
        report_(QStringLiteral("cannot write %1").arg(error));
}

void RecordingSink::close()
{
    if (recorder_.running())
        recorder_.stop();
}
