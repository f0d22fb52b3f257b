#include "core/files/Recording.h"

#include "core/files/DataFile.h"
#include "core/integrity/Audit.h"

#include <QFileInfo>
#include <QJsonObject>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
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

// The file is unbuffered: a write reaches the system at once or fails, and
// a line cut short by a full disk is taken back, so that the record written
// once there is room again does not follow half a line.
bool writeAll(QFile &f, const QByteArray &bytes, QString *reason)
{
    const qint64 before = f.pos();
    if (f.write(bytes) == bytes.size() && flushToDisk(f))
        return true;
    *reason = f.error() != QFileDevice::NoError ? f.errorString() : QString::fromLocal8Bit(std::strerror(errno));
    if (f.resize(before))
        f.seek(before);
    return false;
}

// A file whose folder was removed during the run still takes writes, but
// they go nowhere anyone can find: that is a failure to report, not a record.
bool removedFromDisk(QFile &f)
{
#ifdef Q_OS_UNIX
    struct stat st;
    return ::fstat(f.handle(), &st) == 0 && st.st_nlink == 0;
#else
    return !f.exists();
#endif
}
} // namespace

PcRecorder::PcRecorder(SharedState &state) : state_(state) {}

PcRecorder::~PcRecorder() = default;

void PcRecorder::sealCurrent(bool complete)
{
    if (!integrity::signingEnabled() || currentPath_.isEmpty())
        return;
    integrity::SealInfo info;
    // Only what is on the disk: a line being written when the program dies is not signed.
    info.size = complete || !file_ ? -1 : file_->pos();
    info.records = fileRecords_;
    info.first = firstIso_;
    info.last = lastIso_;
    integrity::sealFile(currentPath_, info);
    sinceSeal_.start();
}

bool PcRecorder::openCurrent(QString *error)
{
    file_ = std::make_unique<QFile>(currentPath_);
    QString reason;
    if (!file_->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        reason = file_->errorString();
    else if (writeAll(*file_, recordingFileStart(state_.RecordUnitCelsius), &reason))
        return true;
    if (error)
        *error = QStringLiteral("%1: %2").arg(currentPath_, reason);
    file_.reset();
    return false;
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
    fileRecords_ = 0;
    firstIso_.clear();
    lastIso_.clear();
    if (!openCurrent(error)) {
        state_.PcRecording = false;
        return false;
    }
    state_.PcRecording = true;
    integrity::auditRecord(QStringLiteral("recording.start"), QJsonValue::Null,
                           QJsonObject{{QStringLiteral("file"), QFileInfo(path).absoluteFilePath()},
                                       {QStringLiteral("celsius"), celsius}});
    sealCurrent(false);
    return true;
}

PcRecorder::Outcome PcRecorder::writeSample(const SampleLines &lines, bool celsiusDisplay, QString *error)
{
    if (!state_.PcRecording)
        return Outcome::Written;
    if (state_.RecordCount != 0 && state_.RecordCount % kRecordsPerFile == 0) {
        file_.reset();
        sealCurrent(true);
        const QString previous = currentPath_;
        ++state_.SplitNo;
        currentPath_ = splitFileName(state_.RecordFilePath, state_.SplitNo);
        fileRecords_ = 0;
        firstIso_.clear();
        lastIso_.clear();
        integrity::auditRecord(QStringLiteral("recording.split"),
                               QJsonObject{{QStringLiteral("file"), QFileInfo(previous).absoluteFilePath()}},
                               QJsonObject{{QStringLiteral("file"), QFileInfo(currentPath_).absoluteFilePath()}});
    }
    ++state_.RecordCount;
    QString reason;
    bool ok = file_ || openCurrent(&reason);
    if (ok) {
        const QString line = recordLine(state_.RecordCount, celsiusDisplay ? lines.celsius : lines.fahrenheit);
        QString why;
        ok = writeAll(*file_, encodeDataText(crlfLines({line})), &why);
        if (!ok) {
            reason = QStringLiteral("%1: %2").arg(currentPath_, why);
        } else if (removedFromDisk(*file_)) {
            ok = false;
            reason = QStringLiteral("%1: o arquivo ou a sua pasta foi removido").arg(currentPath_);
            // The next record creates the file again if its folder comes back.
            file_.reset();
        }
    }
    if (ok) {
        failing_ = false;
        ++fileRecords_;
        if (integrity::signingEnabled()) {
            // The record's own date and time, "2026-12-08T09:05:07", for the signature.
            const QString iso = lines.date.mid(6, 4) + QLatin1Char('-') + lines.date.mid(3, 2) + QLatin1Char('-') +
                                lines.date.left(2) + QLatin1Char('T') + lines.time;
            if (fileRecords_ == 1)
                firstIso_ = iso;
            lastIso_ = iso;
            if (!sinceSeal_.isValid() || sinceSeal_.elapsed() >= integrity::renewSeconds() * 1000LL)
                sealCurrent(false);
        }
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
    const bool wasRunning = state_.PcRecording;
    state_.PcRecording = false;
    state_.RecordCount = 0;
    state_.FileChosen = false;
    file_.reset();
    if (!wasRunning)
        return;
    if (QFileInfo::exists(currentPath_))
        sealCurrent(true);
    integrity::auditRecord(QStringLiteral("recording.stop"), QJsonValue::Null,
                           QJsonObject{{QStringLiteral("file"), QFileInfo(currentPath_).absoluteFilePath()},
                                       {QStringLiteral("records"), fileRecords_}});
}
