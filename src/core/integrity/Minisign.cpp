#include "core/integrity/Minisign.h"

#include <QFile>
#include <QList>

#include <sodium.h>

#include <cstring>

namespace integrity {
namespace {

constexpr char kSigAlg[2] = {'E', 'd'};    // key files
constexpr char kHashedAlg[2] = {'E', 'D'}; // signatures of a file's BLAKE2b-512
constexpr char kChkAlg[2] = {'B', '2'};

// libsodium must be set up once before its random numbers are used.
void ensureSodium()
{
    static const bool ready = sodium_init() >= 0;
    Q_UNUSED(ready);
}

QByteArray bytesOf(const void *p, qsizetype n)
{
    return QByteArray(static_cast<const char *>(p), n);
}

// The text after "prefix" on a line of its own, or the bytes after the
// first line when the prefix is absent.
QList<QByteArray> textLines(const QByteArray &text)
{
    QList<QByteArray> lines = text.split('\n');
    for (QByteArray &l : lines)
        if (l.endsWith('\r'))
            l.chop(1);
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

std::optional<QByteArray> strictBase64(const QByteArray &line)
{
    const auto r = QByteArray::fromBase64Encoding(line.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!r)
        return std::nullopt;
    return *r;
}

// The secret key file's checksum: BLAKE2b-256 of algorithm, id and key.
std::array<unsigned char, 32> secretChecksum(const SecretKey &key)
{
    std::array<unsigned char, 32> out{};
    crypto_generichash_state st;
    crypto_generichash_init(&st, nullptr, 0, out.size());
    crypto_generichash_update(&st, reinterpret_cast<const unsigned char *>(kSigAlg), 2);
    crypto_generichash_update(&st, key.id.data(), key.id.size());
    crypto_generichash_update(&st, key.key.data(), key.key.size());
    crypto_generichash_final(&st, out.data(), out.size());
    return out;
}

constexpr qsizetype kSecretKeySize = 2 + 2 + 2 + 32 + 8 + 8 + 8 + 64 + 32;
} // namespace

QString keyIdText(const KeyId &id)
{
    QString s;
    for (int i = int(id.size()) - 1; i >= 0; --i)
        s += QStringLiteral("%1").arg(id[size_t(i)], 2, 16, QLatin1Char('0')).toUpper();
    return s;
}

PublicKey SecretKey::publicKey() const
{
    PublicKey p;
    p.id = id;
    crypto_sign_ed25519_sk_to_pk(p.key.data(), key.data());
    return p;
}

SecretKey::~SecretKey()
{
    sodium_memzero(key.data(), key.size());
}

SecretKey generateKey()
{
    ensureSodium();
    SecretKey k;
    std::array<unsigned char, 32> pk{};
    crypto_sign_keypair(pk.data(), k.key.data());
    randombytes_buf(k.id.data(), k.id.size());
    return k;
}

QByteArray secretKeyFileText(const SecretKey &key)
{
    QByteArray raw;
    raw.reserve(kSecretKeySize);
    raw += bytesOf(kSigAlg, 2);
    raw += QByteArray(2, '\0'); // no password: the key is stored as it is
    raw += bytesOf(kChkAlg, 2);
    raw += QByteArray(32 + 8 + 8, '\0'); // salt and limits of a derivation that is not used
    raw += bytesOf(key.id.data(), 8);
    raw += bytesOf(key.key.data(), 64);
    const auto chk = secretChecksum(key);
    raw += bytesOf(chk.data(), 32);
    QByteArray text =
        "untrusted comment: minisign secret key " + keyIdText(key.id).toLatin1() + "\n" + raw.toBase64() + "\n";
    sodium_memzero(raw.data(), size_t(raw.size()));
    return text;
}

namespace {
// Bytes `offset`.. of `from` into `to` (its whole size; `from` is long
// enough, checked by the caller). Copied one by one: the optimiser cannot
// see the length checks and would warn of reading past an empty array.
template <std::size_t N> void copyBytes(std::array<unsigned char, N> &to, const QByteArray &from, qsizetype offset)
{
    for (std::size_t i = 0; i < N; ++i)
        to[i] = static_cast<unsigned char>(from.at(offset + qsizetype(i)));
}
} // namespace

std::optional<SecretKey> parseSecretKeyFile(const QByteArray &text, QString *error)
{
    auto fail = [&](const char *why) -> std::optional<SecretKey> {
        if (error)
            *error = QString::fromLatin1(why);
        return std::nullopt;
    };
    const QList<QByteArray> lines = textLines(text);
    if (lines.size() < 2 || !lines[0].startsWith("untrusted comment:"))
        return fail("not a minisign secret key file");
    auto raw = strictBase64(lines[1]);
    if (!raw || raw->size() != kSecretKeySize)
        return fail("not a minisign secret key file");
    const char *d = raw->constData();
    if (std::memcmp(d, kSigAlg, 2) != 0 || std::memcmp(d + 4, kChkAlg, 2) != 0)
        return fail("unsupported key algorithm");
    if (d[2] != 0 || d[3] != 0)
        return fail("the secret key is protected by a password, which this program does not ask for");
    SecretKey k;
    copyBytes(k.id, *raw, 54);
    copyBytes(k.key, *raw, 62);
    // Keys stored without a password by minisign itself carry no checksum.
    const auto chk = secretChecksum(k);
    const QByteArray stored = raw->mid(126, 32);
    sodium_memzero(raw->data(), size_t(raw->size()));
    if (stored != QByteArray(32, '\0') && stored != bytesOf(chk.data(), 32))
        return fail("the secret key file is damaged (checksum)");
    return k;
}

QByteArray publicKeyFileText(const PublicKey &key)
{
    const QByteArray raw = bytesOf(kSigAlg, 2) + bytesOf(key.id.data(), 8) + bytesOf(key.key.data(), 32);
    return "untrusted comment: minisign public key " + keyIdText(key.id).toLatin1() + "\n" + raw.toBase64() + "\n";
}

std::optional<PublicKey> parsePublicKeyFile(const QByteArray &text, QString *error)
{
    const QList<QByteArray> lines = textLines(text);
    std::optional<QByteArray> raw;
    if (lines.size() >= 2 && lines[0].startsWith("untrusted comment:"))
        raw = strictBase64(lines[1]);
    else if (lines.size() == 1)
        raw = strictBase64(lines[0]);
    if (!raw || raw->size() != 42 || std::memcmp(raw->constData(), kSigAlg, 2) != 0) {
        if (error)
            *error = QStringLiteral("not a minisign public key");
        return std::nullopt;
    }
    PublicKey k;
    copyBytes(k.id, *raw, 2);
    copyBytes(k.key, *raw, 10);
    return k;
}

bool hashFilePrefix(const QString &path, qint64 size, std::array<unsigned char, 64> &hash, qint64 *hashed)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    crypto_generichash_state st;
    crypto_generichash_init(&st, nullptr, 0, hash.size());
    QByteArray block(1 << 16, Qt::Uninitialized);
    qint64 total = 0;
    while (size < 0 || total < size) {
        const qint64 want = size < 0 ? block.size() : qMin<qint64>(block.size(), size - total);
        const qint64 got = f.read(block.data(), want);
        if (got < 0)
            return false;
        if (got == 0)
            break;
        crypto_generichash_update(&st, reinterpret_cast<const unsigned char *>(block.constData()), size_t(got));
        total += got;
    }
    crypto_generichash_final(&st, hash.data(), hash.size());
    if (hashed)
        *hashed = total;
    return size < 0 || total == size;
}

Signature signHash(const SecretKey &key, const std::array<unsigned char, 64> &hash, const QByteArray &trustedComment)
{
    ensureSodium();
    Signature s;
    s.id = key.id;
    s.trustedComment = trustedComment;
    s.untrustedComment = "signature from termohigrometro secret key " + keyIdText(key.id).toLatin1();
    crypto_sign_detached(s.signature.data(), nullptr, hash.data(), hash.size(), key.key.data());
    const QByteArray global = bytesOf(s.signature.data(), 64) + trustedComment;
    crypto_sign_detached(s.globalSignature.data(), nullptr, reinterpret_cast<const unsigned char *>(global.constData()),
                         size_t(global.size()), key.key.data());
    return s;
}

QByteArray signatureFileText(const Signature &s)
{
    const QByteArray raw = bytesOf(kHashedAlg, 2) + bytesOf(s.id.data(), 8) + bytesOf(s.signature.data(), 64);
    return "untrusted comment: " + s.untrustedComment + "\n" + raw.toBase64() +
           "\ntrusted comment: " + s.trustedComment + "\n" + bytesOf(s.globalSignature.data(), 64).toBase64() + "\n";
}

std::optional<Signature> parseSignatureFile(const QByteArray &text, QString *error)
{
    auto fail = [&](const char *why) -> std::optional<Signature> {
        if (error)
            *error = QString::fromLatin1(why);
        return std::nullopt;
    };
    const QList<QByteArray> lines = textLines(text);
    static const QByteArray untrusted = "untrusted comment: ", trusted = "trusted comment: ";
    if (lines.size() != 4 || !lines[0].startsWith(untrusted) || !lines[2].startsWith(trusted))
        return fail("not a minisign signature file");
    const auto raw = strictBase64(lines[1]);
    const auto global = strictBase64(lines[3]);
    if (!raw || raw->size() != 74 || !global || global->size() != 64)
        return fail("not a minisign signature file");
    if (std::memcmp(raw->constData(), kHashedAlg, 2) != 0)
        return fail("the signature is not of a prehashed file (algorithm ED)");
    Signature s;
    s.untrustedComment = lines[0].mid(untrusted.size());
    s.trustedComment = lines[2].mid(trusted.size());
    copyBytes(s.id, *raw, 2);
    copyBytes(s.signature, *raw, 10);
    copyBytes(s.globalSignature, *global, 0);
    return s;
}

bool verifyGlobal(const PublicKey &key, const Signature &s)
{
    ensureSodium();
    const QByteArray global = bytesOf(s.signature.data(), 64) + s.trustedComment;
    return crypto_sign_verify_detached(s.globalSignature.data(),
                                       reinterpret_cast<const unsigned char *>(global.constData()),
                                       size_t(global.size()), key.key.data()) == 0;
}

bool verifyHash(const PublicKey &key, const Signature &s, const std::array<unsigned char, 64> &hash)
{
    ensureSodium();
    return crypto_sign_verify_detached(s.signature.data(), hash.data(), hash.size(), key.key.data()) == 0;
}

} // namespace integrity
