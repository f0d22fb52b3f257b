#include "core/integrity/Seal.h"

#include "core/integrity/Audit.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

#include <sodium.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace integrity {
namespace {

struct ProcessState {
    QString keyPath, auditPath, program;
    bool enabled = false;
    std::function<void(const QString &)> notifier;
    Instrument instrument;
    std::optional<SecretKey> key;
    bool keyTried = false;
    bool sealFailureReported = false;
};

ProcessState &state()
{
    static ProcessState s;
    return s;
}

QByteArray readSmallFile(const QString &path, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = path + QStringLiteral(": ") + f.errorString();
        return {};
    }
    // Key and signature files are a few hundred bytes; never read a huge file whole.
    return f.read(64 * 1024);
}

QString isoNow()
{
    return QDateTime::currentDateTime()
        .toOffsetFromUtc(QDateTime::currentDateTime().offsetFromUtc())
        .toString(Qt::ISODate);
}

// "dd/MM/yyyy" and "hh:mm:ss" of a record line into one ISO word.
QString isoOf(QByteArrayView date, QByteArrayView time)
{
    if (date.size() != 10 || time.size() != 8)
        return QString::fromLatin1(date) + QLatin1Char('T') + QString::fromLatin1(time);
    return QString::fromLatin1(date.sliced(6, 4)) + QLatin1Char('-') + QString::fromLatin1(date.sliced(3, 2)) +
           QLatin1Char('-') + QString::fromLatin1(date.sliced(0, 2)) + QLatin1Char('T') + QString::fromLatin1(time);
}
} // namespace

QString defaultKeyPath()
{
    const QString env = qEnvironmentVariable("TH_SIGNING_KEY");
    if (!env.isEmpty())
        return env;
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/termohigrometro/assinatura.key");
}

void setKeyPath(const QString &path)
{
    if (state().keyPath != path) {
        state().keyPath = path;
        state().key.reset();
        state().keyTried = false;
    }
}

QString keyPath()
{
    return state().keyPath.isEmpty() ? defaultKeyPath() : state().keyPath;
}

QString publicKeyPathFor(const QString &secretKeyPath)
{
    if (secretKeyPath.endsWith(QLatin1String(".key")))
        return secretKeyPath.chopped(4) + QStringLiteral(".pub");
    return secretKeyPath + QStringLiteral(".pub");
}

void setAuditPath(const QString &path)
{
    state().auditPath = path;
}

QString auditPath()
{
    if (!state().auditPath.isEmpty())
        return state().auditPath;
    const QString env = qEnvironmentVariable("TH_AUDIT");
    if (!env.isEmpty())
        return env;
    return QFileInfo(keyPath()).absolutePath() + QStringLiteral("/auditoria.jsonl");
}

void setProgram(const QString &nameAndVersion)
{
    state().program = nameAndVersion;
}

QString program()
{
    return state().program.isEmpty() ? QStringLiteral("termohigrometro/" TH_VERSION) : state().program;
}

void setSigningEnabled(bool on)
{
    state().enabled = on;
}

bool signingEnabled()
{
    return state().enabled;
}

void setNotifier(std::function<void(const QString &)> notifier)
{
    state().notifier = std::move(notifier);
}

void notify(const QString &message)
{
    if (state().notifier)
        state().notifier(message);
}

QJsonValue Instrument::toJson() const
{
    if (!known())
        return QJsonValue::Null;
    QJsonObject o;
    o.insert(QStringLiteral("port"), port.isEmpty() ? QJsonValue() : QJsonValue(port));
    o.insert(QStringLiteral("id"), id.isEmpty() ? QJsonValue() : QJsonValue(id));
    o.insert(QStringLiteral("type"), type.isEmpty() ? QJsonValue() : QJsonValue(type));
    return o;
}

void setInstrument(const Instrument &instrument)
{
    state().instrument = instrument;
}

Instrument instrument()
{
    return state().instrument;
}

KeyCreation createKey(const QString &secretKeyPath, PublicKey *publicKey, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = secretKeyPath + QStringLiteral(": ") + why;
        return KeyCreation::Failed;
    };
    if (QFileInfo::exists(secretKeyPath)) {
        if (error)
            *error = secretKeyPath;
        return KeyCreation::Exists;
    }
    const QString dir = QFileInfo(secretKeyPath).absolutePath();
    if (!QDir().mkpath(dir))
        return fail(QStringLiteral("cannot create the folder"));
    const SecretKey key = generateKey();
    QByteArray text = secretKeyFileText(key);
    // Written under a private name with mode 0600 from its creation, then
    // linked to its name: link() never replaces a file, so two programs
    // creating a key at once keep one, and nobody sees half a key.
    QByteArray tmp = QFile::encodeName(secretKeyPath) + ".XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    ::fchmod(fd, 0600);
    bool written = ::write(fd, text.constData(), size_t(text.size())) == text.size() && ::fsync(fd) == 0;
    const int savedErrno = errno;
    ::close(fd);
    sodium_memzero(text.data(), size_t(text.size()));
    if (!written) {
        ::unlink(tmp.constData());
        return fail(QString::fromLocal8Bit(std::strerror(savedErrno)));
    }
    const int linked = ::link(tmp.constData(), QFile::encodeName(secretKeyPath).constData());
    const int linkErrno = errno;
    ::unlink(tmp.constData());
    if (linked != 0) {
        if (linkErrno == EEXIST) {
            if (error)
                *error = secretKeyPath;
            return KeyCreation::Exists;
        }
        return fail(QString::fromLocal8Bit(std::strerror(linkErrno)));
    }
    const PublicKey pub = key.publicKey();
    QSaveFile p(publicKeyPathFor(secretKeyPath));
    const QByteArray pubText = publicKeyFileText(pub);
    if (!p.open(QIODevice::WriteOnly) || p.write(pubText) != pubText.size() || !p.commit())
        return fail(QStringLiteral("the public key could not be written: ") + p.errorString());
    if (publicKey)
        *publicKey = pub;
    return KeyCreation::Created;
}

std::optional<SecretKey> loadSecretKey(const QString &path, QString *error)
{
    QString why;
    QByteArray text = readSmallFile(path, error);
    if (text.isEmpty()) {
        if (error && error->isEmpty())
            *error = path + QStringLiteral(": empty");
        return std::nullopt;
    }
    auto key = parseSecretKeyFile(text, &why);
    sodium_memzero(text.data(), size_t(text.size()));
    if (!key && error)
        *error = path + QStringLiteral(": ") + why;
    return key;
}

std::optional<PublicKey> loadPublicKey(const QString &path, QString *error)
{
    QString why;
    const QByteArray text = readSmallFile(path, error);
    if (text.isEmpty() && error && !error->isEmpty())
        return std::nullopt;
    auto key = parsePublicKeyFile(text, &why);
    if (!key && error)
        *error = path + QStringLiteral(": ") + why;
    return key;
}

const SecretKey *processKey(QString *error)
{
    ProcessState &s = state();
    if (s.key)
        return &*s.key;
    const QString path = keyPath();
    QString why;
    if (!QFileInfo::exists(path)) {
        PublicKey pub;
        const KeyCreation c = createKey(path, &pub, &why);
        if (c == KeyCreation::Failed) {
            if (error)
                *error = why;
            return nullptr;
        }
        if (c == KeyCreation::Created) {
            notify(QStringLiteral("nova chave de assinatura criada; a chave pública para verificar os arquivos "
                                  "está em %1")
                       .arg(publicKeyPathFor(path)));
            s.key = loadSecretKey(path, &why);
            if (s.key)
                auditRecord(QStringLiteral("key.create"), QJsonValue::Null,
                            QJsonObject{{QStringLiteral("key_id"), keyIdText(s.key->id)},
                                        {QStringLiteral("public_key"), publicKeyPathFor(path)}});
        }
    }
    if (!s.key)
        s.key = loadSecretKey(path, &why);
    if (!s.key && error)
        *error = why;
    return s.key ? &*s.key : nullptr;
}

std::optional<PublicKey> publicKeyFor(const QString &path, QString *error)
{
    if (!path.isEmpty())
        return loadPublicKey(path, error);
    const QString own = publicKeyPathFor(keyPath());
    if (QFileInfo::exists(own))
        return loadPublicKey(own, error);
    if (auto k = loadSecretKey(keyPath(), error))
        return k->publicKey();
    return std::nullopt;
}

int renewSeconds()
{
    bool ok = false;
    const int s = qEnvironmentVariableIntValue("TH_SIGN_RENEW_SECONDS", &ok);
    return ok && s > 0 ? s : 600;
}

QString auditActionFor(WrittenFile kind)
{
    switch (kind) {
    case WrittenFile::Saved: return QStringLiteral("file.save");
    case WrittenFile::Exported: return QStringLiteral("file.export");
    case WrittenFile::Report: return QStringLiteral("file.report");
    }
    return QStringLiteral("file.save");
}

QByteArray encodeTrustedComment(const QList<QPair<QString, QString>> &words)
{
    QByteArray out;
    for (const auto &[k, v] : words) {
        if (!out.isEmpty())
            out += ' ';
        out += QUrl::toPercentEncoding(k, "/:+@,") + '=' + QUrl::toPercentEncoding(v, "/:+@,");
    }
    return out;
}

QList<QPair<QString, QString>> decodeTrustedComment(const QByteArray &comment)
{
    QList<QPair<QString, QString>> words;
    for (const QByteArray &w : comment.split(' ')) {
        const qsizetype eq = w.indexOf('=');
        if (eq <= 0)
            continue;
        words.append({QUrl::fromPercentEncoding(w.left(eq)), QUrl::fromPercentEncoding(w.mid(eq + 1))});
    }
    return words;
}

QString commentValue(const QList<QPair<QString, QString>> &words, const QString &key)
{
    for (const auto &w : words)
        if (w.first == key)
            return w.second;
    return {};
}

DataSummary summarizeDataBytes(QByteArrayView bytes)
{
    DataSummary s;
    const char *d = bytes.data();
    const qsizetype n = bytes.size();
    QByteArrayView firstDate, firstTime, lastDate, lastTime;
    qsizetype pos = 0;
    while (pos < n) {
        const char *nl = static_cast<const char *>(std::memchr(d + pos, '\n', size_t(n - pos)));
        const qsizetype end = nl ? nl - d : n;
        QByteArrayView line(d + pos, end - pos);
        pos = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        // A record: its number, then date, time and the four values, TAB-separated.
        if (line.isEmpty() || line[0] < '0' || line[0] > '9')
            continue;
        qsizetype fields = 1, t1 = -1, t2 = -1, t3 = -1;
        for (qsizetype i = 0; i < line.size(); ++i) {
            if (line[i] != '\t')
                continue;
            ++fields;
            if (t1 < 0)
                t1 = i;
            else if (t2 < 0)
                t2 = i;
            else if (t3 < 0)
                t3 = i;
        }
        if (fields < 7 || t3 < 0)
            continue;
        const QByteArrayView date = line.sliced(t1 + 1, t2 - t1 - 1), time = line.sliced(t2 + 1, t3 - t2 - 1);
        if (s.records++ == 0)
            firstDate = date, firstTime = time;
        lastDate = date, lastTime = time;
    }
    if (s.records > 0) {
        s.first = isoOf(firstDate, firstTime);
        s.last = isoOf(lastDate, lastTime);
    }
    return s;
}

bool looksLikeDataFile(const QString &path)
{
    return path.endsWith(QLatin1String(".dlf"), Qt::CaseInsensitive);
}

SealResult sealFileWith(const SecretKey &key, const QString &path, const SealInfo &info)
{
    SealResult r;
    r.keyId = key.id;
    std::array<unsigned char, 64> hash{};
    qint64 covered = 0;
    if (!hashFilePrefix(path, info.size, hash, &covered)) {
        r.error = path + QStringLiteral(": cannot be read to sign it");
        return r;
    }
    QList<QPair<QString, QString>> words{{QStringLiteral("file"), QFileInfo(path).fileName()},
                                         {QStringLiteral("size"), QString::number(covered)}};
    DataSummary summary{info.records, info.first, info.last};
    if (info.records < 0 && looksLikeDataFile(path)) {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            summary = summarizeDataBytes(f.read(covered));
    }
    if (summary.records >= 0) {
        words.append({QStringLiteral("records"), QString::number(summary.records)});
        if (!summary.first.isEmpty())
            words.append({QStringLiteral("first"), summary.first});
        if (!summary.last.isEmpty())
            words.append({QStringLiteral("last"), summary.last});
    }
    const Instrument in = instrument();
    if (in.known())
        words.append({QStringLiteral("instrument"), in.id.isEmpty() ? in.port : in.id});
    words.append({QStringLiteral("program"), program()});
    words.append({QStringLiteral("signed"), isoNow()});
    const Signature s = signHash(key, hash, encodeTrustedComment(words));
    QSaveFile out(path + QStringLiteral(".minisig"));
    const QByteArray text = signatureFileText(s);
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.flush() || !out.commit()) {
        r.error = out.fileName() + QStringLiteral(": ") + out.errorString();
        return r;
    }
    r.ok = true;
    return r;
}

SealResult sealFile(const QString &path, const SealInfo &info)
{
    SealResult r;
    if (!signingEnabled()) {
        r.skipped = true;
        return r;
    }
    QString error;
    const SecretKey *key = processKey(&error);
    if (key)
        r = sealFileWith(*key, path, info);
    else
        r.error = QStringLiteral("sem chave de assinatura: ") + error;
    if (!r.ok) {
        // The data file stays as it is; the user hears of it once.
        if (!state().sealFailureReported)
            notify(QStringLiteral("não foi possível assinar %1: %2").arg(path, r.error));
        state().sealFailureReported = true;
        return r;
    }
    if (!info.auditAction.isEmpty())
        auditRecord(info.auditAction, QJsonValue::Null,
                    QJsonObject{{QStringLiteral("file"), QFileInfo(path).absoluteFilePath()},
                                {QStringLiteral("key_id"), keyIdText(r.keyId)}});
    return r;
}

QString statusName(Status s)
{
    switch (s) {
    case Status::Ok: return QStringLiteral("ok");
    case Status::Partial: return QStringLiteral("partial");
    case Status::Altered: return QStringLiteral("altered");
    case Status::Unsigned: return QStringLiteral("unsigned");
    case Status::Foreign: return QStringLiteral("foreign");
    }
    return {};
}

FileCheck verifyFile(const QString &path, const PublicKey &key)
{
    FileCheck c;
    c.file = path;
    QFileInfo fi(path);
    c.size = fi.size();
    const QString sigPath = path + QStringLiteral(".minisig");
    if (!fi.exists()) {
        c.status = Status::Altered;
        c.problem = QStringLiteral("the file is missing");
        return c;
    }
    if (!QFileInfo::exists(sigPath)) {
        c.status = Status::Unsigned;
        c.problem = QStringLiteral("no signature file (.minisig)");
        return c;
    }
    QString why;
    const QByteArray text = readSmallFile(sigPath, &why);
    const auto sig = parseSignatureFile(text, &why);
    c.status = Status::Altered;
    if (!sig) {
        c.problem = QStringLiteral("signature file unreadable: ") + why;
        return c;
    }
    c.keyId = keyIdText(sig->id);
    c.comment = QString::fromUtf8(sig->trustedComment);
    if (sig->id != key.id) {
        c.status = Status::Foreign;
        c.problem = QStringLiteral("signed by key %1, not by key %2").arg(c.keyId, keyIdText(key.id));
        return c;
    }
    if (!verifyGlobal(key, *sig)) {
        c.problem = QStringLiteral("the trusted comment was changed");
        return c;
    }
    const auto words = decodeTrustedComment(sig->trustedComment);
    bool sized = false;
    const qint64 size = commentValue(words, QStringLiteral("size")).toLongLong(&sized);
    c.coveredBytes = sized ? size : c.size;
    bool counted = false;
    const int covered = commentValue(words, QStringLiteral("records")).toInt(&counted);
    c.coveredRecords = counted ? covered : -1;
    if (c.size < c.coveredBytes) {
        c.problem = QStringLiteral("the file is shorter (%1 bytes) than what was signed (%2 bytes)")
                        .arg(c.size)
                        .arg(c.coveredBytes);
        return c;
    }
    std::array<unsigned char, 64> hash{};
    if (!hashFilePrefix(path, c.coveredBytes, hash)) {
        c.problem = QStringLiteral("the file cannot be read");
        return c;
    }
    if (looksLikeDataFile(path) && c.size <= 256 * 1024 * 1024) {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly))
            c.records = summarizeDataBytes(f.readAll()).records;
    }
    if (!verifyHash(key, *sig, hash)) {
        c.problem = c.coveredBytes == c.size
                        ? QStringLiteral("the contents do not match the signature")
                        : QStringLiteral("the first %1 bytes do not match the signature").arg(c.coveredBytes);
        return c;
    }
    c.status = c.coveredBytes == c.size ? Status::Ok : Status::Partial;
    if (c.status == Status::Partial)
        c.problem = QStringLiteral("only the first %1 of %2 bytes are signed (written after the last signature)")
                        .arg(c.coveredBytes)
                        .arg(c.size);
    return c;
}

} // namespace integrity
