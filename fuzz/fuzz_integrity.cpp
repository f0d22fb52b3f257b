// libFuzzer target: the readers of signature files, key files, trail
// checkpoints and trail lines take any bytes. What they accept comes back
// the same when written again, and a trail line the chain accepts is one
// whose hash is over its own bytes.
#include "core/integrity/Audit.h"
#include "core/integrity/Minisign.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const auto s = integrity::parseSignatureFile(bytes)) {
        const auto again = integrity::parseSignatureFile(integrity::signatureFileText(*s));
        if (!again || again->signature != s->signature || again->trustedComment != s->trustedComment)
            std::abort();
    }
    if (const auto k = integrity::parsePublicKeyFile(bytes)) {
        const auto again = integrity::parsePublicKeyFile(integrity::publicKeyFileText(*k));
        if (!again || again->key != k->key || again->id != k->id)
            std::abort();
    }
    integrity::parseSecretKeyFile(bytes);
    if (const auto c = integrity::parseCheckpoint(bytes))
        if (c->entries < 0 || c->size < 0 || c->last.size() != 64)
            std::abort();
    integrity::LineFacts f;
    if (integrity::lineFacts(bytes, f) && (f.hash.size() != 64 || f.prev.size() != 64 || f.seq < 0))
        std::abort();
    integrity::decodeTrustedComment(bytes);
    integrity::summarizeDataBytes(bytes);
    return 0;
}
