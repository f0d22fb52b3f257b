#pragma once

#include "core/files/Recording.h"
#include "core/monitor/Sink.h"

#include <functional>

// PC recording as a sink: every sample becomes a record of the data file,
// exactly as `record` and the panel write them (splits every 48 000 records,
// flushed after each one). A file that cannot be written is reported once
// through `report`; the next samples try again.
class RecordingSink : public SampleSink {
public:
    explicit RecordingSink(std::function<void(const QString &)> report = {});
    ~RecordingSink() override;

    // Creates the file; false with *error when it cannot.
    bool start(const QString &path, bool celsius, QString *error = nullptr);
    void onSample(const Sample &sample) override;
    void close() override;
    const PcRecorder &recorder() const { return recorder_; }
    int records() const { return state_.RecordCount; }

private:
    SharedState state_;
    PcRecorder recorder_;
    bool celsius_ = true;
    std::function<void(const QString &)> report_;
};
