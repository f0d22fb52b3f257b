// The emulated instrument on a real pseudo-terminal, reached through
// QSerialPort as a serial port is.
#include "core/files/Logger.h"
#include "core/link/Protocol.h"
#include "emulator/PtyHost.h"
#include "platform/EventPause.h"
#include "platform/LinkFactory.h"
#include "platform/SerialPortLink.h"

#include <QSignalSpy>
#include <QTest>

#include <cerrno>
#include <cstring>

namespace {
EmulatorOptions options()
{
    EmulatorOptions o;
    o.tempC = 25.0;
    o.rh = 50.0;
    o.clock = QDateTime(QDate(2026, 3, 1), QTime(12, 0, 0));
    o.initialSets = 2;
    o.initialReadingsPerSet = 30;
    return o;
}

QByteArray withoutLeadingA(QByteArray log)
{
    while (log.startsWith('A'))
        log.remove(0, 1);
    return log;
}
} // namespace

class TestPty : public QObject {
    Q_OBJECT
private slots:
    void deviceNames()
    {
        QCOMPARE(devicePathFor(QStringLiteral("COM1")), QStringLiteral("/dev/ttyS0"));
        QCOMPARE(devicePathFor(QStringLiteral("COM8")), QStringLiteral("/dev/ttyS7"));
        QCOMPARE(devicePathFor(QStringLiteral("COM9")), QStringLiteral("COM9"));
        QCOMPARE(devicePathFor(QStringLiteral("/dev/ttyUSB0")), QStringLiteral("/dev/ttyUSB0"));
        auto sim = createLink(QStringLiteral("Simulador"));
        QVERIFY(sim);
        QCOMPARE(sim->portName(), QStringLiteral("Simulador"));
        auto missing = createLink(QStringLiteral("/dev/does-not-exist"));
        QString error;
        QVERIFY(!missing->OpenPort(&error));
        QCOMPARE(error, QString::fromLocal8Bit(std::strerror(ENOENT)));
        // The refusal leaves the link ready to be tried again, not failed for good.
        QVERIFY(!missing->hasFailed());
        error.clear();
        QVERIFY(!missing->OpenPort(&error));
        QCOMPARE(error, QString::fromLocal8Bit(std::strerror(ENOENT)));
    }

    void protocolOverThePseudoTerminal()
    {
        PtyHost host(options());
        QString error;
        QVERIFY2(host.start(&error), qPrintable(error));
        SerialPortLink link(host.devicePath(), host.devicePath());
        QVERIFY2(link.OpenPort(&error), qPrintable(error));
        QVERIFY(link.isPseudoTerminal());
        // Modem lines do not exist on a pseudo-terminal: refused, yet no failure.
        QSerialPort *port = link.findChild<QSerialPort *>();
        QVERIFY(port);
        port->setDataTerminalReady(true);
        port->setRequestToSend(true);
        QVERIFY(!link.hasFailed());
        EventPause pause;
        LinkContext ctx{link, pause, 10};

        const auto f = ReadLiveFrame(ctx);
        QVERIFY(f);
        QCOMPARE(f->mid(2, 4), QByteArray("\x13\x88\x1d\x4c"));
        QVERIFY(LinkHandshake(ctx));
        QCOMPARE(identifyInstrument(ctx), QStringLiteral("NewType"));

        host.model().clearReceivedLog();
        QVERIFY(writeSamplingInterval(ctx, 300));
        // The last send reaches the instrument once the events run.
        QTRY_COMPARE_WITH_TIMEOUT(withoutLeadingA(host.model().receivedLog()), QByteArray("IW\x01\x2c"), 5000);
        QCOMPARE(*readSamplingInterval(ctx), 300);
        QVERIFY(writeOffsets(ctx, *offsetsFromValues(-0.5, 0)));
        QCOMPARE(readOffsets(ctx)->signedRhTenths(), -5);

        LoggerMemory mem;
        QCOMPARE(downloadLoggerMemory(ctx, QStringLiteral("NewType"), mem), LoggerDownloadResult::Ok);
        QCOMPARE(mem.collected, host.model().dumpBytes());
        QCOMPARE(listLoggerSet(mem.sets[1], QStringLiteral("NewType")).size(), 30);
        QVERIFY(ReadLiveFrame(ctx));
        QVERIFY(!link.hasFailed());
    }

    void closedTerminalIsAFailure()
    {
        auto host = std::make_unique<PtyHost>(options());
        QVERIFY(host->start());
        SerialPortLink link(host->devicePath(), host->devicePath());
        QVERIFY(link.OpenPort());
        QSignalSpy failed(&link, &SerialLink::portFailed);
        EventPause pause;
        LinkContext ctx{link, pause};
        QVERIFY(ReadLiveFrame(ctx));
        host.reset(); // the instrument's end goes away
        // Unbounded, yet it ends: the device is gone.
        QTRY_VERIFY_WITH_TIMEOUT(!ReadLiveFrame(ctx) && ctx.failure == LinkFailure::PortFailed, 15000);
        QVERIFY(link.hasFailed());
        QCOMPARE(failed.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestPty)
#include "tst_pty.moc"
