#pragma once

#include "core/integrity/Minisign.h"
#include "core/integrity/Seal.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <functional>
#include <optional>

// The audit trail: JSON Lines, append-only, one entry per event, each entry
// chained to the one before by its hash, and signed checkpoints of the chain.
//
// An entry is one line. Its canonical encoding is the compact JSON of every
// member but "hash" (QJsonDocument::Compact: UTF-8, members sorted by name,
// no spaces, strings escaped as \" \\ \b \f \n \r \t and \u00XX for other
// control characters). "hash" is the lowercase hex SHA-256 of those bytes,
// and the line is the canonical encoding with `,"hash":"<hex>"` added before
// its closing brace. "prev" is the previous entry's hash (64 zeros for the
// first), so editing, removing, inserting or moving an entry breaks the chain.
namespace integrity {

inline constexpr int kCheckpointEvery = 100;

struct AuditEvent {
    QString action; // "recording.start" ...
    QJsonValue old, now;
    QString reason;
    QJsonValue instrument; // null: the process's instrument
};

// The line of an entry (with its end) and its hash, from the other members.
QByteArray entryLine(QJsonObject members, QString *hash = nullptr);

// What the chain needs of a line, found without a full parse (the canonical
// encoding puts "prev" and "seq" after every nested object). False: not an entry.
struct LineFacts {
    qint64 seq = 0;
    QByteArrayView prev, hash, action;
    bool hashMatches = false;
};
bool lineFacts(QByteArrayView line, LineFacts &facts);

class AuditTrail {
public:
    explicit AuditTrail(QString path);
    const QString &path() const { return path_; }
    QString checkpointPath() const { return path_ + QStringLiteral(".checkpoint"); }

    // Appends one entry under an exclusive lock of the file, after the last
    // entry on disk, fsync'ed before it returns. A line torn by a crash gets a
    // "trail.torn" entry after it. Every kCheckpointEvery entries the
    // checkpoint is renewed (when `key` is given).
    bool append(const AuditEvent &event, const SecretKey *key, QString *error, qint64 *seq = nullptr);
    // Renews the signed checkpoint: entries, size and last hash of the trail.
    bool writeCheckpoint(const SecretKey &key, QString *error);

private:
    bool writeCheckpointLocked(const SecretKey &key, QString *error);
    QString path_;
};

// The checkpoint's text and its signature, as one message to publish elsewhere.
std::optional<QByteArray> checkpointMessage(const QString &trailPath);

struct Checkpoint {
    qint64 entries = 0, size = 0;
    QByteArray last;
};
std::optional<Checkpoint> parseCheckpoint(QByteArrayView text);

struct TrailCheck {
    bool intact = true;
    qint64 entries = 0;
    qint64 badLine = 0;  // first bad line (1-based), 0 when none
    QString problem;     // the first bad entry and why
    QStringList crashes; // torn lines left by a crash (not tampering)
    bool checkpointChecked = false;
};
// Streams the trail: constant memory whatever its length. `key`: checks the
// checkpoint's signature with it (a missing checkpoint is not an error).
TrailCheck verifyTrail(const QString &path, const PublicKey *key);

// Every line of the trail that is an entry, in file order, read in blocks
// (lines that are not JSON objects are skipped). `visit` returns false to stop.
bool forEachEntry(const QString &path, const std::function<bool(const QJsonObject &entry)> &visit, QString *error);
// An entry's old or new value as one line of text for people ("" for null;
// objects as "name: value, ...").
QString valueText(const QJsonValue &value);

// --- the process's trail ----------------------------------------------------------

// One event in the trail this process was given (auditPath()), signed
// checkpoints with the process's key. False when it could not be written
// (the first failure goes to the notifier). Instrument-setting commands call
// this before reporting the change done.
bool auditRecord(const QString &action, const QJsonValue &old = QJsonValue::Null,
                 const QJsonValue &now = QJsonValue::Null, const QString &reason = {},
                 const QJsonValue &instrument = QJsonValue::Undefined);
// An entry's time in local time ("2026-12-08 10:00:00") and its change as
// people read it ("old → new", or the new value alone).
QString entryTimeText(const QJsonObject &entry);
QString entryChangeText(const QJsonObject &entry);

// At the program's end: renews the checkpoint when this process wrote entries.
void finishTrail();

} // namespace integrity
