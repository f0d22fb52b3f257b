// End-to-end runs of the command-line tool against the emulated instrument on
// a pseudo-terminal: the instrument lives in this process (so its log of
// received bytes can be checked) while the tool runs as its own process.
#include "support/CliRun.h"

#include "core/files/DataFile.h"
#include "emulator/PtyHost.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace {
using Result = CliResult;

Result cli(const QStringList &args, int limitMs = 60000)
{
    return runCli(args, limitMs);
}

EmulatorOptions options(bool newType = true)
{
    EmulatorOptions o;
    o.newType = newType;
    o.tempC = 25.0;
    o.rh = 50.0;
    o.clock = QDateTime(QDate(2026, 3, 1), QTime(12, 0, 0));
    return o;
}

// The instrument's log after the handshakes and the identification: the bytes of the command.
QByteArray commandBytes(QByteArray log)
{
    const qsizetype v = log.indexOf('V');
    log = log.mid(v + 1);
    // A loaded machine can make the tool identify again (handshake "A", then
    // "V"); no command starts with either letter.
    while (log.startsWith('A') || log.startsWith('V'))
        log.remove(0, 1);
    return log;
}

// A change is sent after the old value is read (the audit trail keeps both):
// the command's read, then the write as the panel sends it.
bool readThenWrote(const QByteArray &log, const QByteArray &read, const QByteArray &write)
{
    const QByteArray bytes = commandBytes(log);
    return bytes.startsWith(read) && bytes.endsWith(write);
}
} // namespace

class TestCliLink : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY2(QFile::exists(qEnvironmentVariable("TH_CLI")), "TH_CLI not set"); }

    void readFrames()
    {
        PtyHost host(options());
        QVERIFY(host.start());
        host.model().setLowBattery(true);
        Result r = cli({"read", "--port", host.devicePath(), "--count", "2", "--json"});
        QCOMPARE(r.code, 0);
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        const QJsonObject o = QJsonDocument::fromJson(lines[0].toUtf8()).object();
        QCOMPARE(o.value("temp_c").toString(), QStringLiteral("25.0"));
        QCOMPARE(o.value("temp_f").toString(), QStringLiteral("77.0"));
        QCOMPARE(o.value("rh").toString(), QStringLiteral("50.0"));
        QCOMPARE(o.value("dew_c").toString(), QStringLiteral("13.9"));
        QCOMPARE(o.value("wet_f").toString(), QStringLiteral("64.4"));
        QCOMPARE(o.value("low_battery").toBool(), true);
        QCOMPARE(o.value("logging").toBool(), false);
        QCOMPARE(o.value("instrument_type").toString(), QStringLiteral("NewType"));
        QVERIFY(lines[0].startsWith(QStringLiteral("{\"temp_c\":")));

        r = cli({"read", "--port", host.devicePath()});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains(QStringLiteral("temp_c=25.0")));
        QVERIFY(r.out.contains(QStringLiteral("low_battery")));
    }

    void settingsCommands()
    {
        PtyHost host(options());
        QVERIFY(host.start());
        InstrumentModel &m = host.model();
        const QString dev = host.devicePath();

        m.clearReceivedLog();
        QCOMPARE(cli({"interval", "--port", dev, "set", "70000"}).code, 0);
        QTRY_VERIFY(readThenWrote(m.receivedLog(), "IR", QByteArray("IW\xff\xff")));
        QCOMPARE(cli({"interval", "--port", dev, "set", "300", "--reason", "estudo de mapeamento"}).code, 0);
        Result r = cli({"interval", "--port", dev, "get"});
        QCOMPARE(r.out, QStringLiteral("300\n"));
        // The change is in the trail with the value before it, the reason and the port.
        r = cli({"audit", "show", "--json"});
        QCOMPARE(r.code, 0);
        const QJsonArray entries = QJsonDocument::fromJson(r.out.toUtf8()).array();
        QVERIFY(!entries.isEmpty());
        const QJsonObject set = entries.last().toObject();
        QCOMPARE(set.value("action").toString(), QStringLiteral("instrument.interval.set"));
        QCOMPARE(set.value("old").toInt(), 65535);
        QCOMPARE(set.value("new").toInt(), 300);
        QCOMPARE(set.value("reason").toString(), QStringLiteral("estudo de mapeamento"));
        QCOMPARE(set.value("instrument").toObject().value("port").toString(), dev);

        m.clearReceivedLog();
        QCOMPARE(cli({"poweroff", "--port", dev, "set", "10"}).code, 0);
        QTRY_VERIFY(m.receivedLog().endsWith(QByteArray("PA\xff")));
        QVERIFY(commandBytes(m.receivedLog()).startsWith("PR"));
        QVERIFY(m.receivedLog().contains(QByteArray("PW\x0a")));
        QCOMPARE(cli({"poweroff", "--port", dev, "get"}).out, QStringLiteral("10\n"));
        m.clearReceivedLog();
        QCOMPARE(cli({"poweroff", "--port", dev, "off"}).code, 0);
        QTRY_VERIFY(readThenWrote(m.receivedLog(), "PR", QByteArray("PA\x00", 3)));

        m.clearReceivedLog();
        QCOMPARE(cli({"offset", "--port", dev, "set", "--rh", "12.5", "--temp", "-2.5"}).code, 0);
        QTRY_VERIFY(readThenWrote(m.receivedLog(), "BR", QByteArray("BW\x02\x7d\x19")));
        QCOMPARE(cli({"offset", "--port", dev, "get"}).out, QStringLiteral("rh=12.5 temp=-2.5\n"));
        // Out of range: refused before the port is even opened.
        r = cli({"offset", "--port", "/dev/does-not-exist", "set", "--rh", "0", "--temp", "25.6"});
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.contains(QStringLiteral(" -25.5 <= Offset Value <= 25.5 ")));

        m.clearReceivedLog();
        QCOMPARE(cli({"clock", "--port", dev, "set", "--at", "2008-08-01 09:05:07"}).code, 0);
        QTRY_VERIFY(readThenWrote(m.receivedLog(), "TR", QByteArray("TW\x08\x08\x01\x09\x05\x07")));
        r = cli({"clock", "--port", dev, "get"});
        QCOMPARE(r.code, 0);
        QVERIFY2(QRegularExpression(QStringLiteral("^08/08/01 09:05:0\\d\\n$")).match(r.out).hasMatch(),
                 qPrintable(r.out));
    }

    void loggingCommands()
    {
        PtyHost host(options());
        QVERIFY(host.start());
        InstrumentModel &m = host.model();
        const QString dev = host.devicePath();

        Result r = cli({"logger", "--port", dev, "list", "--json"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QStringLiteral("{\"sets\":[],\"used_percent\":0}\n"));

        QCOMPARE(cli({"manual-record", "--port", dev}).code, 0);
        QTRY_COMPARE(m.setCount(), 1);
        m.clearReceivedLog();
        QCOMPARE(cli({"start-logging", "--port", dev}).code, 0);
        QTRY_VERIFY(m.logging());
        QVERIFY(commandBytes(m.receivedLog()).endsWith('R'));

        // While it logs: no second "R", and the manual record and memory are refused.
        m.clearReceivedLog();
        QCOMPARE(cli({"start-logging", "--port", dev}).code, 0);
        QVERIFY(!commandBytes(m.receivedLog()).contains('R'));
        r = cli({"manual-record", "--port", dev});
        QCOMPARE(r.code, 5);
        QVERIFY(r.err.contains(QStringLiteral("O instrumento está no modo de gravação.")));
        QVERIFY(r.err.contains(QStringLiteral("Interrompa a gravação.")));
        QCOMPARE(cli({"logger", "--port", dev, "list"}).code, 5);
        m.setLogging(false, host.driver().nowMs());

        r = cli({"logger", "--port", dev, "list", "--json"});
        QCOMPARE(r.code, 0);
        const QJsonObject root = QJsonDocument::fromJson(r.out.toUtf8()).object();
        const QJsonArray sets = root.value("sets").toArray();
        QCOMPARE(sets.size(), 2);
        QCOMPARE(sets[0].toObject().value("set").toInt(), 1);
        QCOMPARE(sets[0].toObject().value("readings").toInt(), 1);
        QCOMPARE(sets[1].toObject().value("interval_s").toInt(), 60);
        QVERIFY(QRegularExpression(QStringLiteral("^01/03/2026 12:\\d\\d:\\d\\d$"))
                    .match(sets[1].toObject().value("start").toString())
                    .hasMatch());
        QVERIFY(root.value("used_percent").toDouble() > 3.0);

        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("set1.dlf"));
        QCOMPARE(cli({"logger", "--port", dev, "save", "--set", "1", "--unit", "F", file}).code, 0);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = decodeDataText(f.readAll());
        QVERIFY(
            text.startsWith(QStringLiteral("*\r\n*\r\n*\r\nN°\tData\tHora\t°F\tOrvalho(°F)\tÚmido(°F)\tUR%\t\r\n")));
        QVERIFY(text.contains(QStringLiteral("\t77.0\t57.0\t64.4\t50.0\t\r\n")));
        QCOMPARE(cli({"logger", "--port", dev, "save", "--set", "3", file}).code, 2);

        r = cli({"logger", "--port", dev, "clear"});
        QCOMPARE(r.code, 2); // --yes is required
        QCOMPARE(m.setCount(), 2);
        QCOMPARE(cli({"logger", "--port", dev, "clear", "--yes"}).code, 0);
        QTRY_COMPARE(m.setCount(), 0);
    }

    void oldTypeRefusals()
    {
        EmulatorOptions o = options(false);
        o.initialSets = 1;
        o.initialReadingsPerSet = 5;
        PtyHost host(o);
        QVERIFY(host.start());
        Result r = cli({"logger", "--port", host.devicePath(), "clear", "--yes"});
        QCOMPARE(r.code, 5);
        QVERIFY(!r.err.isEmpty());
        QCOMPARE(host.model().setCount(), 1);
        r = cli({"logger", "--port", host.devicePath(), "list", "--json"});
        QCOMPARE(r.code, 0);
        QCOMPARE(QJsonDocument::fromJson(r.out.toUtf8()).object().value("sets").toArray().size(), 1);
    }

    void recordRun()
    {
        PtyHost host(options());
        QVERIFY(host.start());
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("run.dlf"));
        Result r = cli({"record", "--port", host.devicePath(), "--interval", "1", "--count", "3", "--unit", "F", file});
        QCOMPARE(r.code, 0);
        const QStringList printed = r.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(printed.size(), 3);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QStringList lines = decodeDataText(f.readAll()).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 8); // 3 "*", heading, 3 records, and the empty rest after the last CR LF
        QCOMPARE(lines[3], headingLine(false));
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(lines[4 + i], printed[i]);
            const QStringList fields = lines[4 + i].split('\t');
            QCOMPARE(fields.size(), 7);
            QCOMPARE(fields[0], QString::number(i + 1));
            QCOMPARE(fields[3], QStringLiteral("77.0"));
        }
        r = cli({"record", "--port", host.devicePath(), "--interval", "1", "--count", "1",
                 dir.filePath(QStringLiteral("missing/x.dlf"))});
        QCOMPARE(r.code, 1);
        QVERIFY(r.err.contains(QStringLiteral("x.dlf")));
    }

    void failuresAndUsage()
    {
        EmulatorOptions o = options();
        o.silentAfterCommands = 0;
        PtyHost silent(o);
        QVERIFY(silent.start());
        QElapsedTimer t;
        t.start();
        Result r = cli({"read", "--port", silent.devicePath(), "--timeout", "1"});
        QCOMPARE(r.code, 3);
        QVERIFY(r.err.contains(QStringLiteral("did not answer")));

        for (const QStringList &bad :
             {QStringList{"read"}, QStringList{"read", "--port", "x", "--count", "0"},
              QStringList{"interval", "--port", "x", "set", "abc"},
              QStringList{"clock", "--port", "x", "set", "--at", "yesterday"},
              QStringList{"logger", "--port", "x", "dump"}, QStringList{"record", "--port", "x", "f.dlf"},
              QStringList{"emulate", "--type", "ancient"}}) {
            r = cli(bad);
            QCOMPARE(r.code, 2);
            QVERIFY2(r.err.contains(QStringLiteral("usage: termohigrometro-cli")), qPrintable(bad.join(' ')));
        }
        r = cli({"logger", "--help"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.startsWith(QStringLiteral("usage: termohigrometro-cli logger")));
    }

    // A port that does not open says why, in the system's words.
    void portRefusals_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("reason");
        QTest::newRow("missing device") << QStringLiteral("/dev/does-not-exist") << ENOENT;
        QTest::newRow("missing file") << QStringLiteral("/tmp/th-no-such-port") << ENOENT;
        // A bare name is looked for among the devices.
        QTest::newRow("relative name") << QStringLiteral("ttyTH-no-such-port") << ENOENT;
        QTest::newRow("no permission") << QString() << EACCES;
    }
    void portRefusals()
    {
        QFETCH(QString, port);
        QFETCH(int, reason);
        QTemporaryDir dir;
        if (port.isEmpty()) {
            if (::geteuid() == 0)
                QSKIP("permissions do not apply to root");
            port = dir.filePath(QStringLiteral("ttyLocked"));
            QFile f(port);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.close();
            QVERIFY(f.setPermissions({}));
        }
        const Result r = cli({"read", "--port", port});
        QCOMPARE(r.code, 4);
        const QString said = r.err.section(QLatin1Char('\n'), 0, 0);
        QCOMPARE(said, QStringLiteral("termohigrometro-cli: cannot open the port %1: %2")
                           .arg(port, QString::fromLocal8Bit(std::strerror(reason))));
        QCOMPARE(r.err.contains(QStringLiteral("dialout")), reason == EACCES);
    }

    void emulateCommand()
    {
        QTemporaryDir dir;
        const QString alias = dir.filePath(QStringLiteral("ttyTH"));
        QProcess emu;
        emu.start(qEnvironmentVariable("TH_CLI"),
                  {"emulate", "--type", "old", "--temp", "30", "--rh", "40", "--frame-ms", "200", "--link", alias});
        QVERIFY(emu.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(emu.canReadLine(), 10000);
        const QString dev = QString::fromUtf8(emu.readLine()).trimmed();
        QVERIFY(dev.startsWith(QStringLiteral("/dev/")));
        QTRY_VERIFY(QFile::exists(alias));
        Result r = cli({"read", "--port", alias, "--json"});
        QCOMPARE(r.code, 0);
        const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(o.value("instrument_type").toString(), QStringLiteral("OldType"));
        QCOMPARE(o.value("temp_c").toString(), QStringLiteral("30.0"));
        QCOMPARE(o.value("rh").toString(), QStringLiteral("40.0"));
        emu.terminate(); // SIGTERM: it ends cleanly and removes its link
        QTRY_VERIFY_WITH_TIMEOUT(emu.state() == QProcess::NotRunning, 10000);
        QCOMPARE(emu.exitCode(), 0);
        QVERIFY(!QFile::exists(alias));
    }
};

QTEST_GUILESS_MAIN(TestCliLink)
#include "tst_cli_link.moc"
