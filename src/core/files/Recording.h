#pragma once

#include "core/state/SharedState.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <memory>

// One PC sample: date "DD/MM/YYYY", time "hh:nn:ss" and the two unit lines
// (date TAB time TAB temp TAB dew TAB wet TAB rh), built once per sample from
// the last decoded reading.
struct SampleLines {
    QString date;
    QString time; // becomes SampleTime
    QString celsius;
    QString fahrenheit;
};
SampleLines buildSampleLines(const Reading &reading, const QDateTime &when);

// `Timer2_Timer` step 1: true when this tick takes a sample (and sets
// SampleTick to 1), else counts the tick.
bool sampleTickDue(SharedState &state);

// A PC recording run. It works on the shared state's PcRecording,
// RecordFilePath, RecordUnitCelsius, RecordCount and SplitNo so the panel's
// labels follow. The file is flushed to the disk after every record, so a
// crash loses no sampled record. Where the program signs its files, each file
// is sealed when it is complete (at a split and at the stop) and, while it
// grows, its signature is renewed over what is written so far, so a file
// left by a crash checks as "partial" up to the last renewal.
class PcRecorder {
public:
    enum class Outcome {
        Written,      // the record is in the file
        Failed,       // first failure of the run: report *error to the user
        StillFailing, // failing again; already reported
    };

    explicit PcRecorder(SharedState &state = sharedState());
    ~PcRecorder();
    PcRecorder(const PcRecorder &) = delete;
    PcRecorder &operator=(const PcRecorder &) = delete;

    // Starts a run into `path` (replacing the file): three "*" lines and the
    // heading line of `celsius`. Sets RecordFilePath, RecordUnitCelsius,
    // SplitNo 0, RecordCount 0, PcRecording. False (nothing started) with
    // *error when the file cannot be created or written.
    bool start(const QString &path, bool celsius, QString *error = nullptr);

    // One record: split every 48 000 records into "name-N.ext", RecordCount +1,
    // the record line of the displayed unit, flushed. A file that cannot be
    // created or written is tried again at the next record.
    Outcome writeSample(const SampleLines &lines, bool celsiusDisplay, QString *error = nullptr);

    // Ends the run: PcRecording false, RecordCount 0, FileChosen false, file closed.
    void stop();

    bool running() const { return state_.PcRecording; }
    // The file the records go to now (the run's file or its latest split).
    QString currentFile() const { return currentPath_; }

private:
    bool openCurrent(QString *error);
    // Signs what the current file holds; `complete`: the file is closed for good.
    void sealCurrent(bool complete);

    SharedState &state_;
    std::unique_ptr<QFile> file_;
    QString currentPath_;
    bool failing_ = false;
    // The current file's records, for its signature.
    int fileRecords_ = 0;
    QString firstIso_, lastIso_;
    QElapsedTimer sinceSeal_;
};
