#pragma once

#include "core/integrity/Minisign.h"

#include <QJsonValue>
#include <QString>

#include <functional>
#include <optional>

// Signing the files the programs write and checking them again. A file is
// sealed by the writer that closes it (the recording, the atomic whole-file
// writer): one call, sealFile(), with the process's key, created on first
// need. Everything here is process-wide and single-threaded, as the programs are.
namespace integrity {

// --- the process's configuration -------------------------------------------

// The secret key: TH_SIGNING_KEY, else $XDG_DATA_HOME/termohigrometro/assinatura.key.
QString defaultKeyPath();
// The key this process signs with (setKeyPath overrides the default, e.g. --key).
void setKeyPath(const QString &path);
QString keyPath();
// "x/assinatura.key" -> "x/assinatura.pub": the public key lives beside the secret one.
QString publicKeyPathFor(const QString &secretKeyPath);

// The trail: TH_AUDIT, else auditoria.jsonl beside the key.
void setAuditPath(const QString &path);
QString auditPath();

// "termohigrometro-cli/7.1.0": in trusted comments and audit entries.
void setProgram(const QString &nameAndVersion);
QString program();

// Writers seal their files, and events go to the trail, only where the
// program switched this on: a program that has not chosen its key and trail
// yet writes no key and no trail anywhere.
void setSigningEnabled(bool on);
bool signingEnabled();

// Said once per event to the user: a key was created (naming the .pub file),
// or signing or the trail failed for the first time. The tool prints it on
// stderr, the panel shows it.
void setNotifier(std::function<void(const QString &message)> notifier);
void notify(const QString &message);

// The instrument this process talks to, for the trusted comments and the trail.
struct Instrument {
    QString port, id, type;
    bool known() const { return !port.isEmpty() || !id.isEmpty(); }
    QJsonValue toJson() const; // object, or null when unknown
};
void setInstrument(const Instrument &instrument);
Instrument instrument();

// --- keys --------------------------------------------------------------------

enum class KeyCreation { Created, Exists, Failed };
// Creates a key pair at `secretKeyPath` (mode 0600 from the first byte, put
// in place without replacing anything) and its .pub. Never replaces a key.
KeyCreation createKey(const QString &secretKeyPath, PublicKey *publicKey, QString *error);
std::optional<SecretKey> loadSecretKey(const QString &path, QString *error);
std::optional<PublicKey> loadPublicKey(const QString &path, QString *error);
// The process's key: loaded, or created (announced through the notifier and
// written to the trail) when there is none yet. Loaded once per process.
const SecretKey *processKey(QString *error = nullptr);
// The public key to check against: `path` when given, else the process's own
// (from its .pub, or derived from the secret key).
std::optional<PublicKey> publicKeyFor(const QString &path, QString *error);

// --- sealing -------------------------------------------------------------------

// What a signature says about the file (the trusted comment). Unknown
// figures of data files are worked out from the file itself.
struct SealInfo {
    qint64 size = -1;    // bytes covered; -1: the whole file
    int records = -1;    // -1: counted from the file when it is a data file
    QString first, last; // first and last record's date and time
    QString auditAction; // "file.save" ...; empty: nothing goes to the trail
};

struct SealResult {
    bool ok = false;
    bool skipped = false; // signing is off in this process
    QString error;
    KeyId keyId{};
};

// Writes FILE.minisig atomically. A failure never touches the file itself;
// the first failure of the process goes to the notifier too.
SealResult sealFile(const QString &path, const SealInfo &info = {});
// Signs with a given key, no trail entry (checkpoints, tests, benchmarks).
SealResult sealFileWith(const SecretKey &key, const QString &path, const SealInfo &info);

// How often a recording in progress renews its signature, in seconds:
// TH_SIGN_RENEW_SECONDS, else ten minutes.
int renewSeconds();

// The action a file written whole gets in the trail, by its kind.
enum class WrittenFile { Saved, Exported, Report };
QString auditActionFor(WrittenFile kind);

// --- trusted comments ---------------------------------------------------------

// key=value words; values percent-encoded so that they hold no space.
QByteArray encodeTrustedComment(const QList<QPair<QString, QString>> &words);
QList<QPair<QString, QString>> decodeTrustedComment(const QByteArray &comment);
QString commentValue(const QList<QPair<QString, QString>> &words, const QString &key);

// Records of a data file's bytes: lines that start with a record number and
// hold the seven fields; first and last as "2026-12-08T09:05:07".
struct DataSummary {
    int records = 0;
    QString first, last;
};
DataSummary summarizeDataBytes(QByteArrayView bytes);
bool looksLikeDataFile(const QString &path);

// --- verification ---------------------------------------------------------------

enum class Status { Ok, Partial, Altered, Unsigned, Foreign };
QString statusName(Status s);

struct FileCheck {
    Status status = Status::Unsigned;
    QString file;
    QString keyId;    // of the signature
    qint64 size = 0;  // of the file now
    int records = -1; // in the file now (data files)
    qint64 coveredBytes = 0;
    int coveredRecords = -1;
    QString comment; // the trusted comment
    QString problem; // why it is not ok
};
FileCheck verifyFile(const QString &path, const PublicKey &key);

} // namespace integrity
