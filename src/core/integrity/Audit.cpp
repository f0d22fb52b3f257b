#include "core/integrity/Audit.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSysInfo>

#include <sodium.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace integrity {
namespace {

const QByteArray kZeroHash(64, '0');
constexpr qsizetype kHashSuffix = 75; // ,"hash":"<64 hex>"}

QByteArray sha256Hex(QByteArrayView bytes)
{
    unsigned char h[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(h, reinterpret_cast<const unsigned char *>(bytes.data()), quint64(bytes.size()));
    return QByteArray(reinterpret_cast<const char *>(h), sizeof h).toHex();
}

QString loginName()
{
    if (const passwd *pw = ::getpwuid(::geteuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return qEnvironmentVariable("USER");
}

QString isoNow()
{
    const QDateTime now = QDateTime::currentDateTime();
    return now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate);
}

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool writeAllFd(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// The trail's file, open for appending and locked against every other
// writer until it goes out of scope.
struct LockedTrail {
    int fd = -1;
    ~LockedTrail()
    {
        if (fd >= 0)
            ::close(fd); // releases the lock
    }
};

// The last entry on disk (seq and hash) and whether the file ends in a torn
// line: read backwards from the end, never the whole file.
struct Tail {
    qint64 seq = 0;
    QByteArray hash = kZeroHash;
    bool torn = false;
    qint64 size = 0;
};

bool readTail(int fd, Tail &t)
{
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return false;
    t.size = st.st_size;
    if (t.size == 0)
        return true;
    qint64 window = 64 * 1024;
    for (;;) {
        const qint64 from = qMax<qint64>(0, t.size - window);
        QByteArray buf(t.size - from, Qt::Uninitialized);
        if (::pread(fd, buf.data(), size_t(buf.size()), from) != buf.size())
            return false;
        t.torn = !buf.endsWith('\n');
        // Lines from the end; the first one that is an entry is the last entry.
        qsizetype end = t.torn ? buf.size() : buf.size() - 1;
        bool firstLine = true;
        while (end >= 0) {
            // (A negative start of lastIndexOf() would search from the end again.)
            const qsizetype start = end > 0 ? buf.lastIndexOf('\n', end - 1) + 1 : 0;
            if (start == 0 && from > 0)
                break; // the line may begin before the window: read more
            LineFacts f;
            const QByteArrayView line(buf.constData() + start, end - start);
            if (lineFacts(line, f)) {
                t.seq = f.seq;
                t.hash = f.hash.toByteArray();
                if (!firstLine)
                    t.torn = true; // damaged lines after the last entry: a crash's leftovers
                return true;
            }
            firstLine = false;
            if (start == 0)
                break;
            end = start - 1;
        }
        if (from == 0) {
            t.torn = true; // nothing that is an entry at all
            return true;
        }
        window *= 4;
    }
}

QJsonObject entryMembers(const AuditEvent &e, qint64 seq, const QByteArray &prev)
{
    QJsonObject o;
    o.insert(QStringLiteral("seq"), seq);
    o.insert(QStringLiteral("time"), isoNow());
    o.insert(QStringLiteral("user"), loginName());
    o.insert(QStringLiteral("host"), QSysInfo::machineHostName());
    o.insert(QStringLiteral("program"), program());
    o.insert(QStringLiteral("instrument"), e.instrument.isUndefined() ? instrument().toJson() : e.instrument);
    o.insert(QStringLiteral("action"), e.action);
    o.insert(QStringLiteral("old"), e.old.isUndefined() ? QJsonValue() : e.old);
    o.insert(QStringLiteral("new"), e.now.isUndefined() ? QJsonValue() : e.now);
    o.insert(QStringLiteral("reason"), e.reason);
    o.insert(QStringLiteral("prev"), QString::fromLatin1(prev));
    return o;
}

struct ProcessTrail {
    bool wrote = false;
    bool failureReported = false;
};
ProcessTrail &processTrail()
{
    static ProcessTrail p;
    return p;
}

} // namespace

QByteArray entryLine(QJsonObject members, QString *hash)
{
    members.remove(QStringLiteral("hash"));
    QByteArray canonical = QJsonDocument(members).toJson(QJsonDocument::Compact);
    const QByteArray h = sha256Hex(canonical);
    if (hash)
        *hash = QString::fromLatin1(h);
    canonical.chop(1);
    return canonical + ",\"hash\":\"" + h + "\"}\n";
}

bool lineFacts(QByteArrayView line, LineFacts &facts)
{
    static const QByteArray hashKey = ",\"hash\":\"";
    if (line.size() < kHashSuffix + 20 || !line.startsWith("{\"action\":\"") || !line.endsWith("\"}"))
        return false;
    const QByteArrayView suffix = line.sliced(line.size() - kHashSuffix);
    if (!suffix.startsWith(hashKey))
        return false;
    facts.hash = suffix.sliced(hashKey.size(), 64);
    for (char c : facts.hash)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    const QByteArrayView body = line.first(line.size() - kHashSuffix);
    // In the canonical encoding every quote inside a string is escaped, so
    // `,"prev":"` and `,"seq":` only appear as members, and the last ones
    // are the entry's own: nothing nested comes after them.
    const qsizetype p = body.lastIndexOf(QByteArrayView(",\"prev\":\""));
    const qsizetype s = body.lastIndexOf(QByteArrayView(",\"seq\":"));
    if (p < 0 || s < 0 || p + 9 + 64 >= body.size() || body[p + 9 + 64] != '"')
        return false;
    facts.prev = body.sliced(p + 9, 64);
    qint64 seq = 0;
    qsizetype i = s + 7;
    for (; i < body.size() && body[i] >= '0' && body[i] <= '9' && i < s + 7 + 18; ++i)
        seq = seq * 10 + (body[i] - '0');
    if (i == s + 7 || (i < body.size() && body[i] != ','))
        return false;
    facts.seq = seq;
    const qsizetype a = 11, aEnd = body.indexOf('"', a);
    facts.action = aEnd > a ? body.sliced(a, aEnd - a) : QByteArrayView();
    // The hash over the canonical bytes: the line without its hash member.
    crypto_hash_sha256_state st;
    crypto_hash_sha256_init(&st);
    crypto_hash_sha256_update(&st, reinterpret_cast<const unsigned char *>(body.data()), quint64(body.size()));
    crypto_hash_sha256_update(&st, reinterpret_cast<const unsigned char *>("}"), 1);
    unsigned char h[crypto_hash_sha256_BYTES];
    crypto_hash_sha256_final(&st, h);
    static const char hex[] = "0123456789abcdef";
    facts.hashMatches = true;
    for (int k = 0; k < 32; ++k)
        facts.hashMatches =
            facts.hashMatches && facts.hash[2 * k] == hex[h[k] >> 4] && facts.hash[2 * k + 1] == hex[h[k] & 15];
    return true;
}

AuditTrail::AuditTrail(QString path) : path_(std::move(path)) {}

bool AuditTrail::append(const AuditEvent &event, const SecretKey *key, QString *error, qint64 *seqOut)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = path_ + QStringLiteral(": ") + why;
        return false;
    };
    QDir().mkpath(QFileInfo(path_).absolutePath());
    LockedTrail t;
    t.fd = ::open(QFile::encodeName(path_).constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (t.fd < 0)
        return fail(errnoText());
    // Every writer reads the last entry under this lock, so two programs
    // appending at once never both follow the same entry.
    while (::flock(t.fd, LOCK_EX) != 0)
        if (errno != EINTR)
            return fail(errnoText());
    Tail tail;
    if (!readTail(t.fd, tail))
        return fail(errnoText());
    QByteArray out;
    qint64 seq = tail.seq;
    QByteArray prev = tail.hash;
    if (tail.torn) {
        // The torn line stays as the crash left it: said so, never rewritten.
        if (tail.size > 0)
            out += '\n';
        AuditEvent torn{QStringLiteral("trail.torn"), QJsonValue(), QJsonValue(),
                        QStringLiteral("a linha anterior ficou incompleta (o programa parou durante a escrita)"),
                        QJsonValue::Null};
        QString h;
        out += entryLine(entryMembers(torn, ++seq, prev), &h);
        prev = h.toLatin1();
    }
    QString h;
    out += entryLine(entryMembers(event, ++seq, prev), &h);
    if (!writeAllFd(t.fd, out) || ::fsync(t.fd) != 0)
        return fail(errnoText());
    if (seqOut)
        *seqOut = seq;
    if (key && seq / kCheckpointEvery != (seq - (tail.torn ? 2 : 1)) / kCheckpointEvery)
        return writeCheckpointLocked(*key, error);
    return true;
}

bool AuditTrail::writeCheckpoint(const SecretKey &key, QString *error)
{
    LockedTrail t;
    t.fd = ::open(QFile::encodeName(path_).constData(), O_RDONLY | O_CLOEXEC);
    if (t.fd < 0) {
        if (error)
            *error = path_ + QStringLiteral(": ") + errnoText();
        return false;
    }
    while (::flock(t.fd, LOCK_EX) != 0)
        if (errno != EINTR)
            return false;
    return writeCheckpointLocked(key, error);
}

// The caller holds the trail's lock, so the figures are of one moment and
// two programs never interleave the checkpoint and its signature.
bool AuditTrail::writeCheckpointLocked(const SecretKey &key, QString *error)
{
    const int fd = ::open(QFile::encodeName(path_).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = path_ + QStringLiteral(": ") + errnoText();
        return false;
    }
    Tail tail;
    const bool ok = readTail(fd, tail);
    ::close(fd);
    if (!ok) {
        if (error)
            *error = path_ + QStringLiteral(": ") + errnoText();
        return false;
    }
    const QByteArray text = "trail=" + QFileInfo(path_).fileName().toUtf8() +
                            " entries=" + QByteArray::number(tail.seq) + " size=" + QByteArray::number(tail.size) +
                            " last=" + tail.hash + " time=" + isoNow().toLatin1() + "\n";
    QSaveFile f(checkpointPath());
    if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size() || !f.commit()) {
        if (error)
            *error = f.fileName() + QStringLiteral(": ") + f.errorString();
        return false;
    }
    const SealResult r = sealFileWith(key, checkpointPath(), {});
    if (!r.ok && error)
        *error = r.error;
    return r.ok;
}

std::optional<QByteArray> checkpointMessage(const QString &trailPath)
{
    const AuditTrail trail(trailPath);
    QFile text(trail.checkpointPath()), sig(trail.checkpointPath() + QStringLiteral(".minisig"));
    if (!text.open(QIODevice::ReadOnly) || !sig.open(QIODevice::ReadOnly))
        return std::nullopt;
    return text.read(4096) + sig.read(4096);
}

std::optional<Checkpoint> parseCheckpoint(QByteArrayView text)
{
    Checkpoint c;
    bool entries = false, size = false;
    const qsizetype nl = text.indexOf('\n');
    const QByteArray line = (nl < 0 ? text : text.first(nl)).toByteArray();
    for (const QByteArray &w : line.split(' ')) {
        if (w.startsWith("entries="))
            c.entries = w.mid(8).toLongLong(&entries);
        else if (w.startsWith("size="))
            c.size = w.mid(5).toLongLong(&size);
        else if (w.startsWith("last="))
            c.last = w.mid(5);
    }
    if (!entries || !size || c.entries < 0 || c.size < 0 || c.last.size() != 64)
        return std::nullopt;
    return c;
}

TrailCheck verifyTrail(const QString &path, const PublicKey *key)
{
    TrailCheck r;
    auto bad = [&](qint64 line, const QString &why) {
        if (r.intact) {
            r.intact = false;
            r.badLine = line;
            r.problem = QStringLiteral("line %1: %2").arg(line).arg(why);
        }
        return r;
    };
    // The checkpoint first: what the trail must hold at least.
    std::optional<Checkpoint> cp;
    const AuditTrail trail(path);
    if (QFileInfo::exists(trail.checkpointPath())) {
        QFile f(trail.checkpointPath());
        if (!f.open(QIODevice::ReadOnly))
            return bad(0, QStringLiteral("the checkpoint cannot be read"));
        const QByteArray text = f.read(4096);
        cp = parseCheckpoint(text);
        if (!cp)
            return bad(0, QStringLiteral("the checkpoint is damaged"));
        if (key) {
            const FileCheck c = verifyFile(trail.checkpointPath(), *key);
            if (c.status != Status::Ok)
                return bad(0,
                           QStringLiteral("the checkpoint's signature is %1: %2").arg(statusName(c.status), c.problem));
            r.checkpointChecked = true;
        }
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return bad(0, QStringLiteral("cannot read the trail: ") + f.errorString());

    qint64 lineNo = 0, lastSeq = 0, tornLine = 0, gapLine = 0, gapFrom = 0, gapTo = 0;
    QByteArray lastHash = kZeroHash;
    QString gapWhy;
    bool endsWithNewline = true;
    auto onLine = [&](QByteArrayView line) -> bool {
        ++lineNo;
        LineFacts e;
        if (!lineFacts(line, e)) {
            if (tornLine == 0)
                tornLine = lineNo;
            return true;
        }
        if (gapLine) {
            // A jump forward: the missing entries may turn up later (moved) or never (removed).
            if (e.seq >= gapFrom && e.seq <= gapTo) {
                bad(lineNo, QStringLiteral("entry %1 is out of order (entries were moved)").arg(e.seq));
                return false;
            }
            if (lineNo - gapLine > 1000) {
                bad(gapLine, gapWhy);
                return false;
            }
            return true;
        }
        if (!e.hashMatches) {
            bad(lineNo, QStringLiteral("entry %1 was changed (its hash does not match its contents)").arg(e.seq));
            return false;
        }
        if (tornLine) {
            if (e.action != QByteArrayView("trail.torn")) {
                bad(tornLine, QStringLiteral("not an entry (damaged or edited)"));
                return false;
            }
            r.crashes << QStringLiteral("line %1: torn by a crash while it was written").arg(tornLine);
            tornLine = 0;
        }
        if (e.seq <= lastSeq) {
            bad(lineNo,
                e.seq == lastSeq
                    ? QStringLiteral("entry %1 appears twice (an entry was inserted)").arg(e.seq)
                    : QStringLiteral("entry %1 comes after entry %2 (entries were moved)").arg(e.seq).arg(lastSeq));
            return false;
        }
        if (e.seq > lastSeq + 1) {
            gapLine = lineNo;
            gapFrom = lastSeq + 1;
            gapTo = e.seq - 1;
            gapWhy = QStringLiteral("entries %1 to %2 are missing (removed)").arg(gapFrom).arg(gapTo);
            return true;
        }
        if (e.prev != QByteArrayView(lastHash)) {
            bad(lineNo, QStringLiteral("entry %1 does not follow entry %2 (an entry was removed, inserted or replaced)")
                            .arg(e.seq)
                            .arg(lastSeq));
            return false;
        }
        if (cp && e.seq == cp->entries && e.hash != QByteArrayView(cp->last)) {
            bad(lineNo, QStringLiteral("entry %1 differs from the signed checkpoint").arg(e.seq));
            return false;
        }
        lastSeq = e.seq;
        lastHash = e.hash.toByteArray();
        ++r.entries;
        return true;
    };

    // Read in blocks, lines split by hand: constant memory, no per-line allocation.
    QByteArray buf(1 << 20, Qt::Uninitialized);
    qsizetype filled = 0;
    bool going = true;
    while (going) {
        const qint64 got = f.read(buf.data() + filled, buf.size() - filled);
        if (got < 0)
            return bad(lineNo, QStringLiteral("read error"));
        filled += got;
        const bool eof = got == 0;
        qsizetype start = 0;
        for (;;) {
            const char *nl =
                static_cast<const char *>(std::memchr(buf.constData() + start, '\n', size_t(filled - start)));
            if (!nl)
                break;
            const qsizetype end = nl - buf.constData();
            if (!(going = onLine(QByteArrayView(buf.constData() + start, end - start))))
                break;
            start = end + 1;
        }
        if (!going)
            break;
        if (eof) {
            if (start < filled) {
                endsWithNewline = false;
                going = onLine(QByteArrayView(buf.constData() + start, filled - start));
            }
            break;
        }
        std::memmove(buf.data(), buf.constData() + start, size_t(filled - start));
        filled -= start;
        if (filled == buf.size()) {
            // A line longer than the buffer is no entry; skip it whole.
            if (tornLine == 0)
                tornLine = lineNo + 1;
            filled = 0;
        }
    }
    if (!r.intact)
        return r;
    if (gapLine)
        return bad(gapLine, gapWhy);
    if (tornLine) {
        if (tornLine == lineNo && !endsWithNewline)
            r.crashes
                << QStringLiteral("line %1: the last line is incomplete: a crash while it was written").arg(tornLine);
        else
            return bad(tornLine, QStringLiteral("not an entry (damaged or edited)"));
    }
    if (cp && (lastSeq < cp->entries || f.size() < cp->size))
        return bad(lineNo + 1,
                   QStringLiteral("entries missing after entry %1: the checkpoint counts %2 entries (%3 bytes)")
                       .arg(lastSeq)
                       .arg(cp->entries)
                       .arg(cp->size));
    return r;
}

bool forEachEntry(const QString &path, const std::function<bool(const QJsonObject &)> &visit, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = path + QStringLiteral(": ") + f.errorString();
        return false;
    }
    while (!f.atEnd()) {
        // An entry is a few hundred bytes; a line far longer is no entry and is skipped.
        QByteArray line = f.readLine(1 << 20);
        if (line.isEmpty() && f.error() != QFileDevice::NoError)
            break;
        const QJsonDocument doc = QJsonDocument::fromJson(line);
        if (doc.isObject() && !visit(doc.object()))
            break;
    }
    return true;
}

QString valueText(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined: return {};
    case QJsonValue::String: return value.toString();
    case QJsonValue::Bool: return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Double: return QString::number(value.toDouble(), 'g', 15);
    case QJsonValue::Array: return QString::fromUtf8(QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact));
    case QJsonValue::Object: {
        // "file: /x/y.dlf, key_id: 3A..." reads better in a table than JSON does.
        QStringList parts;
        const QJsonObject o = value.toObject();
        for (auto it = o.begin(); it != o.end(); ++it)
            parts << it.key() + QStringLiteral(": ") + valueText(it.value());
        return parts.join(QStringLiteral(", "));
    }
    }
    return {};
}

bool auditRecord(const QString &action, const QJsonValue &old, const QJsonValue &now, const QString &reason,
                 const QJsonValue &instrument)
{
    if (!signingEnabled())
        return true;
    QString error;
    const SecretKey *key = processKey(nullptr);
    AuditTrail trail(auditPath());
    if (trail.append({action, old, now, reason, instrument}, key, &error)) {
        processTrail().wrote = true;
        return true;
    }
    if (!processTrail().failureReported)
        notify(QStringLiteral("não foi possível escrever na trilha de auditoria: ") + error);
    processTrail().failureReported = true;
    return false;
}

void finishTrail()
{
    if (!processTrail().wrote || !signingEnabled())
        return;
    if (const SecretKey *key = processKey(nullptr)) {
        QString error;
        if (!AuditTrail(auditPath()).writeCheckpoint(*key, &error))
            notify(QStringLiteral("não foi possível renovar o ponto de verificação da trilha: ") + error);
    }
}

QString entryTimeText(const QJsonObject &e)
{
    const QDateTime t = QDateTime::fromString(e.value(QStringLiteral("time")).toString(), Qt::ISODate);
    return t.isValid() ? t.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
                       : e.value(QStringLiteral("time")).toString();
}

QString entryChangeText(const QJsonObject &e)
{
    const QString o = valueText(e.value(QStringLiteral("old")));
    const QString n = valueText(e.value(QStringLiteral("new")));
    return o.isEmpty() ? n : o + QStringLiteral(" → ") + n;
}

} // namespace integrity
