// The emulated instrument in-process: the bytes each command sequence sends
// (from the instrument's log), the answers as decoded, and the fault options.
#include "core/link/Protocol.h"
#include "emulator/EmulatedLink.h"
#include "platform/EventPause.h"

#include <QSignalSpy>
#include <QTest>

namespace {
// The log without the handshakes' "A"s that precede each command.
QByteArray withoutLeadingA(QByteArray log)
{
    while (log.startsWith('A'))
        log.remove(0, 1);
    return log;
}

quint16 word(const QByteArray &f, int i)
{
    return quint16(quint8(f[i]) << 8 | quint8(f[i + 1]));
}

EmulatorOptions fixedOptions()
{
    EmulatorOptions o;
    o.tempC = 25.0;
    o.rh = 50.0;
    o.clock = QDateTime(QDate(2026, 3, 1), QTime(12, 0, 0));
    return o;
}
} // namespace

class TestEmulator : public QObject {
    Q_OBJECT
private slots:
    void liveStreamAndIdentification()
    {
        EmulatorOptions o = fixedOptions();
        o.frameMs = 40;
        EmulatedLink link(o);
        QVERIFY(link.OpenPort());
        EventPause pause;
        LinkContext ctx{link, pause, 10};
        const auto f = ReadLiveFrame(ctx);
        QVERIFY(f);
        QCOMPARE(word(*f, 2), quint16(5000));
        QCOMPARE(word(*f, 4), quint16(7500));
        QCOMPARE(int(quint8(f->at(1))), 0);

        link.model().setHold(true);
        link.model().setLowBattery(true);
        link.model().setValues(-10.5, 12.25);
        QTRY_VERIFY_WITH_TIMEOUT(ReadLiveFrame(ctx).value_or(QByteArray()).at(1) == 4, 10000);
        const auto held = ReadLiveFrame(ctx);
        QCOMPARE(word(*held, 2), quint16(0x8000 | 5000)); // held value, battery bit
        link.model().setHold(false);
        const auto now = ReadLiveFrame(ctx);
        QCOMPARE(word(*now, 2), quint16(0x8000 | 1225));
        QCOMPARE(word(*now, 4), quint16(3950));
    }

    void handshakeAndTypes()
    {
        for (bool newType : {true, false}) {
            EmulatorOptions o = fixedOptions();
            o.newType = newType;
            EmulatedLink link(o);
            QVERIFY(link.OpenPort());
            EventPause pause;
            LinkContext ctx{link, pause, 10};
            QByteArray frame;
            QVERIFY(LinkHandshake(ctx, &frame));
            QCOMPARE(frame, QByteArray("\x02\x03\xff\x00\x03K", 6));
            QCOMPARE(identifyInstrument(ctx), newType ? QStringLiteral("NewType") : QStringLiteral("OldType"));
            QCOMPARE(withoutLeadingA(link.model().receivedLog()), QByteArray("V"));
        }
    }

    void settingsCommandsSendTheExactBytes()
    {
        EmulatedLink link(fixedOptions());
        QVERIFY(link.OpenPort());
        EventPause pause;
        LinkContext ctx{link, pause, 10};
        InstrumentModel &m = link.model();

        m.clearReceivedLog();
        QVERIFY(writeSamplingInterval(ctx, 300));
        QCOMPARE(withoutLeadingA(m.receivedLog()), QByteArray("IW\x01\x2c"));
        m.clearReceivedLog();
        QCOMPARE(*readSamplingInterval(ctx), 300);
        QCOMPARE(withoutLeadingA(m.receivedLog()), QByteArray("IR"));
        m.clearReceivedLog();
        QVERIFY(writeSamplingInterval(ctx, 70000));
        QCOMPARE(withoutLeadingA(m.receivedLog()), QByteArray("IW\xff\xff"));
        QCOMPARE(*readSamplingInterval(ctx), 65535);

        m.clearReceivedLog();
        QVERIFY(writePowerOff(ctx, 10));
        const QByteArray log = m.receivedLog();
        const qsizetype second = log.indexOf("PA");
        QCOMPARE(withoutLeadingA(log.left(second).chopped(0)).left(3), QByteArray("PW\x0a"));
        QVERIFY(log.endsWith(QByteArray("PA\xff")));
        QCOMPARE(*readPowerOffMinutes(ctx), 10);
        QVERIFY(m.powerOffEnabled());
        m.clearReceivedLog();
        QVERIFY(switchPowerOffOff(ctx));
        QCOMPARE(withoutLeadingA(m.receivedLog()), QByteArray("PA\x00", 3));
        QVERIFY(!m.powerOffEnabled());

        m.clearReceivedLog();
        QVERIFY(writeOffsets(ctx, *offsetsFromValues(12.5, -2.5)));
        QCOMPARE(withoutLeadingA(m.receivedLog()), QByteArray("BW\x02\x7d\x19"));
        const auto off = readOffsets(ctx);
        QCOMPARE(off->signedRhTenths(), 125);
        QCOMPARE(off->signedTempTenths(), -25);
        // The instrument adds its offsets to what it sends.
        const auto f = ReadLiveFrame(ctx);
        QCOMPARE(word(*f, 2), quint16(6250));
        QCOMPARE(word(*f, 4), quint16(7250));

        m.clearReceivedLog();
        QVERIFY(writeInstrumentClock(ctx, QDateTime(QDate(2008, 8, 1), QTime(9, 5, 7))));
        QCOMPARE(withoutLeadingA(m.receivedLog()), QByteArray("TW\x08\x08\x01\x09\x05\x07"));
        const auto clock = readInstrumentClock(ctx);
        QVERIFY(clock);
        QVERIFY(clockText(*clock).startsWith(QStringLiteral("08/08/01 09:05:")));
    }

    void loggingCommands()
    {
        EmulatedLink link(fixedOptions());
        QVERIFY(link.OpenPort());
        EventPause pause;
        LinkContext ctx{link, pause, 10};
        InstrumentModel &m = link.model();

        m.clearReceivedLog();
        QVERIFY(manualRecord(ctx));
        QCOMPARE(withoutLeadingA(m.receivedLog()), QByteArray("S"));
        QTRY_COMPARE_WITH_TIMEOUT(m.setCount(), 1, 5000);
        QCOMPARE(m.pointer(), 1023 + 14);

        m.clearReceivedLog();
        QVERIFY(startLogging(ctx, true)); // already logging: only the handshake
        QCOMPARE(withoutLeadingA(m.receivedLog()), QByteArray());
        QVERIFY(startLogging(ctx, false));
        QCOMPARE(withoutLeadingA(m.receivedLog()), QByteArray("R"));
        QTRY_VERIFY_WITH_TIMEOUT(m.logging(), 5000);
        // The logging bit shows in the frames.
        QTRY_VERIFY_WITH_TIMEOUT((ReadLiveFrame(ctx).value_or(QByteArray(2, 0)).at(1) & 2) != 0, 10000);

        m.setLogging(false, 0);
        m.clearReceivedLog();
        QVERIFY(clearLoggerMemory(ctx));
        QCOMPARE(withoutLeadingA(m.receivedLog()), QByteArray("C"));
        QCOMPARE(m.setCount(), 0);
        QCOMPARE(m.pointer(), 1023);
    }

    void loggingRunsOnTheInstrumentClock()
    {
        InstrumentModel m(fixedOptions());
        m.setLoggingInterval(2);
        m.setLogging(true, 1000);
        m.advance(6999);
        QCOMPARE(m.sets().size(), 1);
        QCOMPARE(m.sets()[0].rhWords.size(), 3); // at 1, 3 and 5 s
        QCOMPARE(m.sets()[0].start, QDateTime(QDate(2026, 3, 1), QTime(12, 0, 1)));
        QCOMPARE(m.statusByte() & 2, 2);
        m.fillMemory(7000);
        QVERIFY(m.memoryFull());
        QCOMPARE(m.statusByte() & 1, 1);
        QCOMPARE(m.pointer(), 32767);
        QCOMPARE(m.dumpBytes().size(), 32767 - 1016);
        m.advance(20000);
        QVERIFY(!m.logging()); // a full memory ends logging
        QVERIFY(m.pointer() <= 32767);
    }

    void halfCommandIsForgotten()
    {
        InstrumentModel m(fixedOptions());
        bool done = false;
        QVERIFY(m.receive("I", 0, &done).isEmpty());
        QVERIFY(!done && m.midCommand());
        m.expireCommand(InstrumentModel::kCommandTimeoutMs + 1);
        QVERIFY(!m.midCommand());
        // "R" alone is now a start of logging, not the rest of "I","R".
        QVERIFY(m.receive("R", 600, &done).isEmpty());
        QVERIFY(done && m.logging());
        // Letters and data may arrive in separate writes.
        QVERIFY(m.receive("B", 700).isEmpty());
        QVERIFY(m.receive("W", 720).isEmpty());
        QVERIFY(m.receive(QByteArray("\x01\x05", 2), 740).isEmpty());
        QVERIFY(m.receive(QByteArray("\x00", 1), 741, &done).isEmpty());
        QVERIFY(done);
        QCOMPARE(int(m.rhOffsetTenths()), 5);
        QCOMPARE(m.receive("BR", 800), QByteArray("\x01\x05\x00", 3));
    }

    void faultOptions()
    {
        EventPause pause;
        // Noise between frames and a stream joined mid-frame: frames still come through intact.
        {
            EmulatorOptions o = fixedOptions();
            o.frameMs = 30;
            o.noise = true;
            o.startMidFrame = true;
            EmulatedLink link(o);
            QVERIFY(link.OpenPort());
            LinkContext ctx{link, pause, 10};
            for (int i = 0; i < 5; ++i) {
                const auto f = ReadLiveFrame(ctx);
                QVERIFY(f);
                QCOMPARE(word(*f, 4), quint16(7500));
            }
        }
        // Truncated answers: the reads that need a length repeat; the power-off read has nothing.
        {
            EmulatorOptions o = fixedOptions();
            o.truncatedAnswers = 1; // the first answer of each command
            EmulatedLink link(o);
            QVERIFY(link.OpenPort());
            LinkContext ctx{link, pause, 10};
            QVERIFY(!readPowerOffMinutes(ctx));
            QCOMPARE(ctx.failure, LinkFailure::None);
            QCOMPARE(*readSamplingInterval(ctx), 60);
        }
        // Silence after N commands: a bounded sequence ends with a timeout, never a hang.
        {
            EmulatorOptions o = fixedOptions();
            o.silentAfterCommands = 1;
            EmulatedLink link(o);
            QVERIFY(link.OpenPort());
            LinkContext ctx{link, pause, 1.0};
            QVERIFY(LinkHandshake(ctx));
            QVERIFY(!LinkHandshake(ctx));
            QCOMPARE(ctx.failure, LinkFailure::Timeout);
            LinkContext live{link, pause, 10};
            QVERIFY(!ReadLiveFrame(live)); // five empty attempts
            QCOMPARE(live.failure, LinkFailure::None);
        }
    }

    void silenceSwitchedOnTheModel()
    {
        EmulatorOptions o = fixedOptions();
        o.frameMs = 30;
        EmulatedLink link(o);
        QVERIFY(link.OpenPort());
        EventPause pause;
        link.model().setSilent(true);
        pause.Wait(0.3);
        link.ClearInput();
        QVERIFY(!pause.waitForBytes(link, 1, 0.5));
        link.Send("A"); // heard, not answered
        QVERIFY(!pause.waitForBytes(link, 1, 0.3));
        QVERIFY(link.model().receivedLog().endsWith('A'));
        link.model().setSilent(false);
        LinkContext ctx{link, pause, 10};
        QVERIFY(ReadLiveFrame(ctx));
    }

    void unplugAndReplug()
    {
        EmulatedLink link(fixedOptions());
        QVERIFY(link.OpenPort());
        QSignalSpy failed(&link, &SerialLink::portFailed);
        EventPause pause;
        LinkContext ctx{link, pause};
        QTimer::singleShot(100, &link, [&] { link.unplug(); });
        QVERIFY(!ReadLiveFrame(ctx) || !ReadLiveFrame(ctx)); // unbounded, yet it ends
        QCOMPARE(ctx.failure, LinkFailure::PortFailed);
        QCOMPARE(failed.size(), 1);
        QVERIFY(link.hasFailed());
        QString error;
        QVERIFY(!link.OpenPort(&error));
        QVERIFY(!error.isEmpty());
        link.replug();
        QVERIFY(link.OpenPort());
        QVERIFY(!link.hasFailed());
        QVERIFY(LinkHandshake(ctx));
    }

    void bytePacingTakesTheWireTime()
    {
        EmulatorOptions o = fixedOptions();
        o.bytePacing = true;
        o.initialSets = 1;
        o.initialReadingsPerSet = 250; // 1000 bytes of readings
        EmulatedLink link(o);
        QVERIFY(link.OpenPort());
        EventPause pause;
        LinkContext ctx{link, pause, 10};
        QVERIFY(LinkHandshake(ctx));
        link.DiscardInput();
        link.Send("D");
        const int expected = link.model().pointer() - 1016;
        QByteArray got;
        int chunks = 0;
        while (got.size() < expected && pause.waitForBytes(link, 1, 5)) {
            got += link.ReadAnswer();
            ++chunks;
        }
        QCOMPARE(got.size(), expected);
        QVERIFY(got.startsWith("RRBT"));
        QVERIFY(chunks > 20); // delivered as time passes, not at once
    }
};

QTEST_GUILESS_MAIN(TestEmulator)
#include "tst_emulator.moc"
