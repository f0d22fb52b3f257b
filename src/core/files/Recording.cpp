#include "core/files/Recording.h"

#include "core/files/DataFile.h"

#include <cerrno>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

SampleLines buildSampleLines(const Reading &reading, const QDateTime &when)
{
    SampleLines s;
    s.date = when.date().toString(QStringLiteral("dd/MM/yyyy"));
    s.time = when.time().toString(QStringLiteral("hh:mm:ss"));
    s.celsius = sampleLine(when, reading, true);
    s.fahrenheit = sampleLine(when, reading, false);
    return s;
}

bool sampleTickDue(SharedState &state)
{
    if (state.SampleTick == 0 || state.SampleTick >= state.PcSampleSeconds) {
        state.SampleTick = 1;
        return true;
    }
    ++state.SampleTick;
    return false;
}

namespace {
// Out of the program's buffers and onto the disk: a crash or a power cut
// loses no record that was written.
bool flushToDisk(QFile &f)
{
    if (!f.flush())
        return false;
#ifdef Q_OS_UNIX
    if (::fsync(f.handle()) != 0 && errno != EINVAL && errno != EROFS)
        return false;
#endif
    return true;
}

bool writeAll(QFile &f, const QByteArray &bytes)
{
    return f.write(bytes) == bytes.size() && flushToDisk(f);
}
} // namespace

PcRecorder::PcRecorder(SharedState &state) : state_(state) {}

PcRecorder::~PcRecorder() = default;

bool PcRecorder::openCurrent(QString *error)
{
    file_ = std::make_unique<QFile>(currentPath_);
    if (!file_->open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        !writeAll(*file_, recordingFileStart(state_.RecordUnitCelsius))) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(currentPath_, file_->errorString());
        file_.reset();
        return false;
    }
    return true;
}

bool PcRecorder::start(const QString &path, bool celsius, QString *error)
{
    file_.reset();
    state_.RecordFilePath = path;
    state_.RecordUnitCelsius = celsius;
    state_.SplitNo = 0;
    state_.RecordCount = 0;
    currentPath_ = path;
    failing_ = false;
    if (!openCurrent(error)) {
        state_.PcRecording = false;
        return false;
    }
    state_.PcRecording = true;
    return true;
}

PcRecorder::Outcome PcRecorder::writeSample(const SampleLines &lines, bool celsiusDisplay, QString *error)
{
    if (!state_.PcRecording)
        return Outcome::Written;
    if (state_.RecordCount != 0 && state_.RecordCount % kRecordsPerFile == 0) {
        file_.reset();
        ++state_.SplitNo;
        currentPath_ = splitFileName(state_.RecordFilePath, state_.SplitNo);
    }
    ++state_.RecordCount;
    QString reason;
    bool ok = file_ || openCurrent(&reason);
    if (ok) {
        const QString line = recordLine(state_.RecordCount, celsiusDisplay ? lines.celsius : lines.fahrenheit);
        ok = writeAll(*file_, encodeDataText(crlfLines({line})));
        if (!ok)
            reason = QStringLiteral("%1: %2").arg(currentPath_, file_->errorString());
    }
    if (ok) {
        failing_ = false;
        return Outcome::Written;
    }
    if (failing_)
        return Outcome::StillFailing;
    failing_ = true;
    if (error)
        *error = reason;
    return Outcome::Failed;
}

void PcRecorder::stop()
{
    state_.PcRecording = false;
    state_.RecordCount = 0;
    state_.FileChosen = false;
    file_.reset();
}
