// The protocol's retry rules, checked attempt by attempt on a scripted link.
#include "ScriptedLink.h"
#include "core/link/Protocol.h"

#include <QTest>

namespace {
const QByteArray kFrame("\x02\x00\x13\x88\x1d\x4c\x03", 7);

QByteArray status(int pointer, int sets = 0)
{
    QByteArray s;
    s += char(2);
    s += char(pointer >> 8);
    s += char(pointer & 255);
    s += char(sets);
    s += char(3);
    s += 'K';
    return s;
}
} // namespace

class TestProtocol : public QObject {
    Q_OBJECT
private slots:
    void liveFrameRetryRules()
    {
        // Three empty attempts, then a good frame: the frame.
        {
            ScriptedLink link;
            ScriptedPause pause(link);
            LinkContext ctx{link, pause};
            link.onWaitForBytes = {{}, {}, {}, kFrame};
            int seven = 0;
            const auto f = ReadLiveFrame(ctx, [&] { ++seven; });
            QVERIFY(f);
            QCOMPARE(*f, kFrame);
            QCOMPARE(seven, 1);
            QCOMPARE(pause.byteWaits, 4);
        }
        // Four empty attempts, then a fifth that does receive 7 bytes: no frame.
        {
            ScriptedLink link;
            ScriptedPause pause(link);
            LinkContext ctx{link, pause};
            link.onWaitForBytes = {{}, {}, {}, QByteArray("\x02\x00", 2), kFrame};
            int seven = 0;
            QVERIFY(!ReadLiveFrame(ctx, [&] { ++seven; }));
            QCOMPARE(ctx.failure, LinkFailure::None);
            QCOMPARE(seven, 0);
            QCOMPARE(pause.byteWaits, 5);
            QCOMPARE(link.PendingCount(), 0); // what came is dropped
        }
        // A stream joined mid-frame is skipped; the bad attempt resets the count,
        // so four more empty attempts are still allowed afterwards.
        {
            ScriptedLink link;
            ScriptedPause pause(link);
            LinkContext ctx{link, pause};
            link.onWaitForBytes = {{}, {}, {}, kFrame.mid(3) + kFrame.left(3), {}, {}, {}, kFrame + "\x01"};
            int seven = 0;
            const auto f = ReadLiveFrame(ctx, [&] { ++seven; });
            QVERIFY(f);
            QCOMPARE(*f, kFrame);
            QCOMPARE(seven, 2);
        }
        // An ETX out of place is as bad as a missing STX.
        {
            ScriptedLink link;
            ScriptedPause pause(link);
            LinkContext ctx{link, pause};
            QByteArray bad = kFrame;
            bad[6] = 4;
            link.onWaitForBytes = {bad, kFrame};
            QCOMPARE(*ReadLiveFrame(ctx), kFrame);
        }
    }

    void endlessGarbageEndsOnlyByLimitOrAbort()
    {
        ScriptedLink link;
        ScriptedPause pause(link);
        link.afterScript = QByteArray("\x01\x01\x01\x01\x01\x01\x01", 7);
        LinkContext ctx{link, pause, 0.3};
        QVERIFY(!ReadLiveFrame(ctx));
        QCOMPARE(ctx.failure, LinkFailure::Timeout);

        LinkContext unbounded{link, pause};
        pause.abortNow = true;
        QVERIFY(!ReadLiveFrame(unbounded));
        QCOMPARE(unbounded.failure, LinkFailure::Aborted);
    }

    void handshakeJudgesTheLastSixBytes()
    {
        ScriptedLink link;
        ScriptedPause pause(link);
        LinkContext ctx{link, pause};
        // Too short, pointer 1022, wrong "K", then a 9-byte answer whose last 6 are good.
        QByteArray wrongK = status(2000);
        wrongK[5] = 'k';
        link.onWait = {status(2000).left(5), status(1022), wrongK, QByteArray("\x02\x07\x00", 3) + status(1023, 0)};
        QByteArray frame;
        QVERIFY(LinkHandshake(ctx, &frame));
        QCOMPARE(frame, status(1023, 0));
        QCOMPARE(link.sent, QByteArray("AAAA"));

        QCOMPARE(parseStatusFrame(status(32767, 255))->pointer, 32767);
        QCOMPARE(parseStatusFrame(status(32767, 255))->setCount, 255);
        QVERIFY(!parseStatusFrame(status(1022)));
        QVERIFY(!parseStatusFrame(QByteArray()));
    }

    void handshakeGivesUpOnlyWhenBounded()
    {
        ScriptedLink link;
        ScriptedPause pause(link);
        LinkContext ctx{link, pause, 0.2};
        QVERIFY(!LinkHandshake(ctx));
        QCOMPARE(ctx.failure, LinkFailure::Timeout);
        QVERIFY(link.sent.size() > 1);
        QVERIFY(link.sent.count('A') == link.sent.size());
    }

    void identification()
    {
        ScriptedLink link;
        ScriptedPause pause(link);
        LinkContext ctx{link, pause};
        link.onWait = {"EEEEEE", "RRBT71", "RRBT", "EEEEEX", "RRBX71"};
        QCOMPARE(identifyInstrument(ctx), QStringLiteral("OldType"));
        QCOMPARE(identifyInstrument(ctx), QStringLiteral("NewType"));
        QCOMPARE(identifyInstrument(ctx), QString()); // fewer than 6 bytes
        QCOMPARE(identifyInstrument(ctx), QString());
        QCOMPARE(identifyInstrument(ctx), QString());
        QCOMPARE(link.sent, QByteArray("VVVVV"));
    }

    void readsRepeatUntilLongEnoughAndPowerOffNeverInventsAByte()
    {
        ScriptedLink link;
        ScriptedPause pause(link);
        LinkContext ctx{link, pause};
        // Every "A" gets a good status; "R" of the interval first gets 1 byte, then 2.
        int reads = 0;
        link.responder = [&](const QByteArray &b) -> QByteArray {
            if (b == "A")
                return status(1023);
            if (b == "R")
                return ++reads == 1 ? QByteArray("\x01", 1) : QByteArray("\x01\x2c", 2);
            return {};
        };
        QCOMPARE(*readSamplingInterval(ctx), 300);
        QCOMPARE(link.sent, QByteArray("AIRAIR"));

        link.sent.clear();
        link.responder = [&](const QByteArray &b) -> QByteArray { return b == "A" ? status(1023) : QByteArray(); };
        QVERIFY(!readPowerOffMinutes(ctx)); // nothing came: no value, and no retry
        QCOMPARE(ctx.failure, LinkFailure::None);
        QCOMPARE(link.sent, QByteArray("APR"));
    }

    void textsAndClamps()
    {
        QCOMPARE(offsetText(0), QStringLiteral("0.0"));
        QCOMPARE(offsetText(7), QStringLiteral("0.7"));
        QCOMPARE(offsetText(125), QStringLiteral("12.5"));
        QCOMPARE(offsetText(255), QStringLiteral("25.5"));
        QCOMPARE(offsetText(-125), QStringLiteral("-12.5"));
        QCOMPARE(offsetText(-7), QStringLiteral("-.7"));

        auto o = offsetsFromValues(12.5, -2.5);
        QVERIFY(o);
        QCOMPARE(QByteArray() + char(o->flags) + char(o->rhTenths) + char(o->tempTenths), QByteArray("\x02\x7d\x19"));
        o = offsetsFromValues(-0.5, 0);
        QCOMPARE(int(o->flags), 1);
        QCOMPARE(int(o->rhTenths), 5);
        QCOMPARE(int(offsetsFromValues(0, 25.5)->tempTenths), 255);
        QCOMPARE(int(offsetsFromValues(12.25, 0)->rhTenths), 122);
        QVERIFY(!offsetsFromValues(0, 25.6));
        QVERIFY(!offsetsFromValues(-30, 0));
        QVERIFY(!offsetsFromValues(qQNaN(), 0));

        QCOMPARE(clampSamplingSeconds(70000), 65535);
        QCOMPARE(clampSamplingSeconds(0), 1);
        QCOMPARE(clampSamplingSeconds(2.5), 2);
        QCOMPARE(clampSamplingSeconds(3.5), 4);
        QCOMPARE(clampSamplingSeconds(1e300), 65535);
        QCOMPARE(clampSamplingSeconds(qQNaN()), 1);
        QCOMPARE(clampPcSampleSeconds(90000), 86400);
        QCOMPARE(clampPcSampleSeconds(0.4), 1);
        QCOMPARE(clampPowerOffMinutes(-3), 1);
        QCOMPARE(clampPowerOffMinutes(256), 255);

        QCOMPARE(clockBytes(QDateTime(QDate(2008, 8, 1), QTime(9, 5, 7))), QByteArray("\x08\x08\x01\x09\x05\x07"));
        QCOMPARE(clockBytes(QDateTime(QDate(2009, 12, 31), QTime(23, 59, 59))), QByteArray("\x09\x12\x31\x23\x59\x59"));
        QCOMPARE(clockText(QByteArray("\x08\x12\x31\x23\x59\x58")), QStringLiteral("08/12/31 23:59:58"));
        QCOMPARE(clockText(QByteArray("\x0a\xff\x00\x00\x00\x00", 6)), QStringLiteral("0A/FF/00 00:00:00"));
        QCOMPARE(clockText(QByteArray("\x08", 1)), QStringLiteral("08/--/-- --:--:--"));
        QCOMPARE(clockDateTime(QByteArray("\x08\x12\x31\x23\x59\x58")),
                 QDateTime(QDate(2008, 12, 31), QTime(23, 59, 58)));
        QVERIFY(!clockDateTime(QByteArray("\x08\x13\x31\x23\x59\x58")).isValid());
        QVERIFY(!clockDateTime(QByteArray("\x08\x1a\x01\x00\x00\x00", 6)).isValid());
    }
};

QTEST_APPLESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
