// libFuzzer target: whatever bytes the line brings, the live frame reader and
// the short command answers either give a well-formed result or give up; they
// never read out of bounds and never wait for ever.
// The input after its first byte is a script for the line (FuzzLine.h).
#include "FuzzLine.h"

#include "core/link/Protocol.h"
#include "core/reading/Decode.h"

#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void liveFrame(LinkContext &ctx, FuzzLink &link)
{
    int sevens = 0;
    const auto frame = ReadLiveFrame(ctx, [&] { ++sevens; });
    if (!frame)
        return;
    // A frame is seven bytes framed by STX and ETX, taken from what arrived.
    check(frame->size() == 7 && frame->at(0) == 2 && frame->at(6) == 3);
    check(link.arrived.contains(*frame));
    check(sevens >= 1);
    Reading r;
    decodeFrame(r, *frame);
    check(!r.TempCDot.isEmpty() && !r.RhDot.isEmpty() && !r.TempFDot.isEmpty());
    check(r.TempCDot.contains(QLatin1Char('.')) && r.RhDot.contains(QLatin1Char('.')));
}

void shortAnswers(LinkContext &ctx, uint8_t which)
{
    switch (which % 5) {
    case 0: {
        QByteArray status;
        if (LinkHandshake(ctx, &status)) {
            const auto f = parseStatusFrame(status);
            check(status.size() == 6 && f && f->pointer >= 1023 && f->setCount >= 0 && f->setCount <= 255);
        }
        break;
    }
    case 1: {
        const QString type = identifyInstrument(ctx);
        check(type.isEmpty() || type == QLatin1String("OldType") || type == QLatin1String("NewType"));
        break;
    }
    case 2:
        if (const auto v = readSamplingInterval(ctx))
            check(*v >= 0 && *v <= 65535);
        break;
    case 3:
        if (const auto o = readOffsets(ctx)) {
            check(qAbs(o->signedRhTenths()) <= 255 && qAbs(o->signedTempTenths()) <= 255);
            check(!offsetText(o->signedRhTenths()).isEmpty());
        }
        break;
    case 4:
        if (const auto six = readInstrumentClock(ctx)) {
            check(six->size() == 6);
            check(clockText(*six).size() == 17);
            const QDateTime t = clockDateTime(*six);
            check(!t.isValid() || (t.date().year() >= 2000 && t.date().year() <= 2099));
        }
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t mode = data[0];
    FuzzLink link;
    FuzzPause pause(link, data + 1, size - 1);
    LinkContext ctx{link, pause};
    if (mode < 160)
        liveFrame(ctx, link);
    else
        shortAnswers(ctx, mode);
    // Every pause either consumed script or counted towards the end: the
    // sequences cannot spin without pausing, and they stop once it is over.
    check(pause.pauses() <= int(size) * 2 + 64);

    // The raw answer checks on the bytes themselves.
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const auto f = parseStatusFrame(bytes))
        check(f->pointer >= 1023 && f->pointer <= 65535);
    if (size >= 7) {
        Reading r;
        decodeFrame(r, bytes.left(7));
        decodeRecord(r, data[1], data[2], data[3], data[4]);
        check(!r.TempFDot.isEmpty() && !r.WetCDot.isEmpty() && !r.DewFDot.isEmpty());
    }
    return 0;
}
