#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

// Ed25519 keys and detached signatures in minisign's file formats, so that a
// user or an inspector checks our files with the stock `minisign -V` and no
// program of ours. Built on libsodium; nothing here is our own cryptography.
namespace integrity {

using KeyId = std::array<unsigned char, 8>;

// "35644DF0ABBDFADD": how minisign prints a key id (the 8 bytes read as a
// little-endian number).
QString keyIdText(const KeyId &id);

struct PublicKey {
    KeyId id{};
    std::array<unsigned char, 32> key{};
};

struct SecretKey {
    KeyId id{};
    std::array<unsigned char, 64> key{}; // libsodium's secret key: seed then public key
    PublicKey publicKey() const;
    ~SecretKey();
};

// A fresh key pair with a random id.
SecretKey generateKey();

// The secret key file: minisign's layout with the "no password" key
// derivation (algorithm bytes 0 0), which `minisign -S` reads without asking.
QByteArray secretKeyFileText(const SecretKey &key);
std::optional<SecretKey> parseSecretKeyFile(const QByteArray &text, QString *error = nullptr);

QByteArray publicKeyFileText(const PublicKey &key);
// Also takes the bare base64 line, as `minisign -P` does.
std::optional<PublicKey> parsePublicKeyFile(const QByteArray &text, QString *error = nullptr);

// The BLAKE2b-512 of a file's first `size` bytes (all of it when size < 0),
// read in blocks. False when the file cannot be read or is shorter than size.
bool hashFilePrefix(const QString &path, qint64 size, std::array<unsigned char, 64> &hash, qint64 *hashed = nullptr);

struct Signature {
    KeyId id{};
    std::array<unsigned char, 64> signature{}; // over the file's BLAKE2b-512
    QByteArray trustedComment;                 // without "trusted comment: "
    std::array<unsigned char, 64> globalSignature{};
    QByteArray untrustedComment;
};

// Signs a prehashed file ("ED"): the signature over the hash, the global
// signature over signature and trusted comment.
Signature signHash(const SecretKey &key, const std::array<unsigned char, 64> &hash, const QByteArray &trustedComment);
QByteArray signatureFileText(const Signature &s);
// Any bytes: a signature or nullopt with the reason.
std::optional<Signature> parseSignatureFile(const QByteArray &text, QString *error = nullptr);

bool verifyGlobal(const PublicKey &key, const Signature &s);
bool verifyHash(const PublicKey &key, const Signature &s, const std::array<unsigned char, 64> &hash);

} // namespace integrity
