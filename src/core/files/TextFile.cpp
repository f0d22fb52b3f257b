#include "core/files/TextFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

namespace {
// Outside 0x80..0x9F Windows-1252 is Latin-1, which Qt converts far faster
// than the general converter; most files never leave that range.
bool latin1Compatible(QByteArrayView bytes)
{
    const auto *d = reinterpret_cast<const unsigned char *>(bytes.data());
    unsigned char bad = 0;
    for (qsizetype i = 0, n = bytes.size(); i < n; ++i)
        bad |= (d[i] & 0xE0) == 0x80;
    return !bad;
}

bool latin1Compatible(QStringView text)
{
    for (const QChar c : text)
        if (c.unicode() > 0xFF || (c.unicode() >= 0x80 && c.unicode() < 0xA0))
            return false;
    return true;
}
} // namespace

QByteArray encodeWin1252(QStringView text)
{
    if (latin1Compatible(text))
        return text.toLatin1();
    QStringEncoder encoder("windows-1252", QStringConverter::Flag::Stateless);
    QByteArray out = encoder.encode(text);
    if (!encoder.hasError())
        return out;
    // Some character has no place in the code page: convert one code point at
    // a time so that exactly those become "?".
    out.clear();
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype n = (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2 : 1;
        QStringEncoder one("windows-1252", QStringConverter::Flag::Stateless);
        const QByteArray b = one.encode(text.mid(i, n));
        out += (one.hasError() || b.size() != 1) ? QByteArray("?") : b;
        i += n;
    }
    return out;
}

QString decodeWin1252(QByteArrayView bytes)
{
    if (latin1Compatible(bytes))
        return QString::fromLatin1(bytes);
    QStringDecoder decoder("windows-1252", QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

QByteArrayView takeLine(QByteArrayView bytes, qsizetype &pos)
{
    const qsizetype start = pos;
    const qsizetype n = bytes.size();
    const char *d = bytes.data();
    qsizetype i = start;
    while (i < n && d[i] != '\r' && d[i] != '\n')
        ++i;
    QByteArrayView line = bytes.sliced(start, i - start);
    if (i < n && d[i] == '\r')
        ++i;
    if (i < n && d[i] == '\n')
        ++i;
    pos = i;
    return line;
}

bool readFileBytes(const QString &path, QByteArray &out, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = path + QStringLiteral(": ") + f.errorString();
        return false;
    }
    out = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        if (error)
            *error = path + QStringLiteral(": ") + f.errorString();
        return false;
    }
    return true;
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error, integrity::WrittenFile kind)
{
    QSaveFile f(path);
    // The explicit flush matters: when the disk fills part-way through, the
    // system takes a part of the bytes, and commit() alone would put that
    // truncated file in place of the old one without a word.
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.flush() || !f.commit()) {
        if (error)
            *error = path + QStringLiteral(": ") + f.errorString();
        return false;
    }
    integrity::SealInfo seal;
    seal.auditAction = integrity::auditActionFor(kind);
    integrity::sealFile(path, seal);
    return true;
}
