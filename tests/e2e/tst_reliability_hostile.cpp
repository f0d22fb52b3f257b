// A hostile instrument: line noise, a stream joined mid-frame, STX and ETX
// bytes inside the readings, random silences, truncated, garbled and lying
// answers, a bad first dump. The main window polls, records, downloads the
// logger memory, reads and writes settings and sets the clock through all of
// it. Nothing crashes; whenever readings stop for longer than the reader's
// retries the blinking "Sem Comunicação" label or a message says so; every
// record written is a true reading of the instrument; and once the line is
// good again the panel reads again.
#include "support/CliRun.h"
#include "support/Reliability.h"
#include "support/ReliabilityLink.h"
#include "support/TestApp.h"

#include "core/reading/Decode.h"
#include "emulator/EmulatedLink.h"
#include "emulator/PtyHost.h"
#include "platform/EventPause.h"
#include "ui/dialogs/DialogLink.h"
#include "ui/dialogs/Setup.h"
#include "ui/panel/Panel.h"

#include <QAction>
#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Watches the main window: readings that stop for longer than the reader's
// five one-second attempts (plus slack) must be shown as "Sem Comunicação",
// unless a command is visibly under way (a dialog, the logger window, an
// exchange that ends in its own time limit and message).
class Watchdog : public QObject {
public:
    Watchdog(Panel &panel, qint64 limitMs, std::function<bool()> busy = {})
        : panel_(panel), limitMs_(limitMs), busy_(std::move(busy))
    {
        clock_.start();
        timer_.setInterval(50);
        connect(&timer_, &QTimer::timeout, this, [this] { look(); });
        timer_.start();
    }
    int violations = 0;
    int blinks = 0;
    qint64 longestGapMs = 0;

private:
    void look()
    {
        const qint64 now = clock_.elapsed();
        const bool blinking = panel_.LblCOM->text() == Panel::kNoCommunication;
        if (blinking && !wasBlinking_)
            ++blinks;
        wasBlinking_ = blinking;
        if (blinking || panel_.framesDecoded() != frames_ || (busy_ && busy_())) {
            frames_ = panel_.framesDecoded();
            lastSign_ = now;
            return;
        }
        longestGapMs = qMax(longestGapMs, now - lastSign_);
        if (now - lastSign_ > limitMs_ && !reported_) {
            ++violations;
            reported_ = true;
        } else if (now - lastSign_ <= limitMs_) {
            reported_ = false;
        }
    }

    Panel &panel_;
    qint64 limitMs_;
    std::function<bool()> busy_;
    QTimer timer_;
    QElapsedTimer clock_;
    quint64 frames_ = 0;
    qint64 lastSign_ = 0;
    bool wasBlinking_ = false;
    bool reported_ = false;
};

// The four value fields a record of this frame holds, in °C.
QStringList valuesOf(const QByteArray &frame)
{
    Reading r;
    decodeFrame(r, frame);
    return {r.TempCDot, r.DewCDot, r.WetCDot, r.RhDot};
}

// An instrument that answers the handshake and the identification but
// otherwise sends only bytes that never make a frame.
class GarbageLink : public SerialLink {
public:
    GarbageLink()
    {
        timer_.setInterval(25);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            if (quiet_.isValid() && quiet_.elapsed() < 300)
                return;
            for (int i = 0; i < 4; ++i)
                rx_.append(char(4 + rng_.bounded(250)));
            emit bytesArrived();
        });
    }
    bool OpenPort(QString * = nullptr) override
    {
        timer_.start();
        return true;
    }
    void close() override { timer_.stop(); }
    bool isOpen() const override { return timer_.isActive(); }
    QString portName() const override { return QStringLiteral("ruido"); }
    void Send(const QByteArray &bytes) override
    {
        quiet_.start();
        if (bytes == "A")
            rx_ += QByteArray("\x02\x03\xff\x00\x03K", 6);
        else if (bytes == "V")
            rx_ += "RRBT01";
        emit bytesArrived();
    }
    using SerialLink::Send;
    QByteArray ReadAnswer() override
    {
        QByteArray out;
        out.swap(rx_);
        return out;
    }
    int PendingCount() override { return int(rx_.size()); }
    void ClearInput() override { rx_.clear(); }

private:
    QTimer timer_;
    QElapsedTimer quiet_;
    QByteArray rx_;
    QRandomGenerator rng_{99};
};

// The command-line tool, run while this process's events (the instrument) go on.
CliResult cli(const QStringList &args)
{
    return runCli(args, 120000);
}

} // namespace

class TstReliabilityHostile : public QObject {
    Q_OBJECT

    std::unique_ptr<TestApp> t;
    std::unique_ptr<Panel> panel;
    HostileLink *line = nullptr;

    App &app() { return *t->app; }
    SharedState &state() { return app().state(); }

    void startPanel(const EmulatorOptions &o, const LineFaults &f)
    {
        t = std::make_unique<TestApp>();
        auto link = std::make_unique<HostileLink>(o, f);
        line = link.get();
        app().setLink(std::move(link));
        Panel::setExitHandler([](int) {});
        panel = std::make_unique<Panel>(app());
        QVERIFY(panel->Form_Load());
        panel->show();
        QTRY_VERIFY_WITH_TIMEOUT(panel->framesDecoded() > 0 && !panel->linkDown(), 60000);
    }
    void startRecording(const QString &path)
    {
        state().PcSampleSeconds = 1;
        t->prompts->answerFile(path);
        panel->click(QStringLiteral("Save"));
        QVERIFY(state().PcRecording);
        panel->Timer2->setInterval(10);
    }
    // Every record is the instrument's one true reading, whole and in order.
    void checkRecords(const QString &path, const QStringList &values, int *records)
    {
        const RecordingCheck c = checkRecordingFile(path, true, 1);
        QVERIFY2(c.ok, qPrintable(c.problem));
        for (const QString &r : c.records)
            QCOMPARE(r.split(QLatin1Char('\t')).mid(3), values);
        *records = int(c.records.size());
    }
    // Back to reading once the line is good.
    void readsAgain()
    {
        line->setFaults(LineFaults{});
        const quint64 frames = panel->framesDecoded();
        QTRY_VERIFY_WITH_TIMEOUT(panel->framesDecoded() > frames + 3 && !panel->linkDown(), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(panel->LblCOM->text() != Panel::kNoCommunication, 10000);
    }

private slots:
    // The command-line tool reads, records and downloads from an instrument
    // with a mid-frame start, truncated answers and a bad first dump, whose
    // readings hold STX and ETX bytes; then from one that falls silent and one
    // with noise in every gap of its stream (which the reader, emptying its
    // buffer and taking the next 7 bytes, does not get past): both end with a
    // message within the time limit.
    void cliThroughABadLine()
    {
        EmulatorOptions o;
        o.tempC = -42.3;
        o.rh = 5.15;
        o.startMidFrame = true;
        o.truncatedAnswers = 3;
        o.badFirstDump = true;
        o.initialSets = 3;
        o.initialReadingsPerSet = 30;
        o.seed = 17;
        PtyHost host(o);
        QVERIFY(host.start());
        const QStringList values = valuesOf(host.model().frame());
        const QString port = host.devicePath();

        const CliResult read = cli({"read", "--port", port, "--count", "5", "--json"});
        QVERIFY2(read.code == 0, qPrintable(read.err));
        const QStringList lines = read.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        for (const QString &l : lines) {
            const QJsonObject j = QJsonDocument::fromJson(l.toUtf8()).object();
            QCOMPARE(j.value("temp_c").toString(), values[0]);
            QCOMPARE(j.value("rh").toString(), values[3]);
        }

        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("cli.dlf"));
        const CliResult rec = cli({"record", "--port", port, "--interval", "1", "--count", "3", file});
        QVERIFY2(rec.code == 0, qPrintable(rec.err));
        const RecordingCheck c = checkRecordingFile(file, true, 3);
        QVERIFY2(c.ok, qPrintable(c.problem));
        for (const QString &r : c.records)
            QCOMPARE(r.split(QLatin1Char('\t')).mid(3), values);

        const CliResult list = cli({"logger", "--port", port, "list", "--json"});
        QVERIFY2(list.code == 0, qPrintable(list.err));
        const QJsonObject sets = QJsonDocument::fromJson(list.out.toUtf8()).object();
        QCOMPARE(sets.value("sets").toArray().size(), 3);

        // Silent after two more commands, or noise in every gap: the tool
        // gives up with a message.
        EmulatorOptions quiet;
        quiet.silentAfterCommands = 2;
        PtyHost mute(quiet);
        QVERIFY(mute.start());
        EmulatorOptions noisy;
        noisy.noise = true;
        PtyHost noise(noisy);
        QVERIFY(noise.start());
        const QList<QPair<QString, QStringList>> runs{
            {mute.devicePath(), {"read", "--count", "50"}},
            {mute.devicePath(), {"clock", "set"}},
            {noise.devicePath(), {"read", "--count", "5"}},
        };
        for (const auto &[device, args] : runs) {
            const CliResult r = cli(QStringList{args.first(), "--port", device, "--timeout", "3"} + args.mid(1));
            QVERIFY2(r.code == 3 && r.err.contains(QStringLiteral("did not answer")),
                     qPrintable(QStringLiteral("%1: %2 %3").arg(args.join(' ')).arg(r.code).arg(r.err)));
        }
    }

    // Readings whose bytes are 2 and 3 on a paced line: the reader, joining
    // the stream at any moment, never takes the tail of one frame and the head
    // of the next for a frame.
    void framesWithStxEtxInsideAreNeverMisread()
    {
        EmulatorOptions o;
        o.frameMs = 30;
        o.tempC = -42.3; // temperature word 0x0302
        o.rh = 5.15;     // humidity word 0x0203
        o.bytePacing = true;
        o.seed = 23;
        EmulatedLink link(o);
        QVERIFY(link.OpenPort());
        EventPause pause;
        const QByteArray truth = link.model().frame();
        QRandomGenerator rng(29);
        int wrong = 0, read = 0;
        for (int i = 0; i < 100; ++i) {
            // Join the stream anywhere in a frame period.
            QTest::qWait(int(rng.bounded(30)));
            LinkContext ctx{link, pause, 5};
            if (const auto f = ReadLiveFrame(ctx)) {
                ++read;
                wrong += *f != truth;
            }
        }
        QVERIFY(read > 60);
        QCOMPARE(wrong, 0);
    }

    // Bytes that never make a frame: the panel does not wait for ever inside
    // the reader, it shows the lost link and tries again.
    void garbageOnlyShowsTheLostLink()
    {
        t = std::make_unique<TestApp>();
        app().setLink(std::make_unique<GarbageLink>());
        Panel::setExitHandler([](int) {});
        panel = std::make_unique<Panel>(app());
        QVERIFY(panel->Form_Load());
        panel->show();
        // Identified, then reading garbage ...
        QTRY_COMPARE_WITH_TIMEOUT(state().InstrumentType, QStringLiteral("NewType"), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(panel->Timer1->isActive(), 20000);
        Watchdog dog(*panel, 8000);
        // ... until the reader gives up and the label says so.
        QTRY_COMPARE_WITH_TIMEOUT(panel->LblCOM->text(), Panel::kNoCommunication, 20000);
        QCOMPARE(dog.violations, 0);
        QCOMPARE(panel->framesDecoded(), quint64(0));
    }

    void cleanup()
    {
        deleteTopLevelWindows(panel.get());
        panel.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Panel::setExitHandler({});
        dialoglink::setTimeoutSeconds(10);
        t.reset();
    }

    // Polling and recording for 10 s through noise, paced bytes, a stream
    // joined mid-frame, readings whose bytes are 2 and 3, and silences of up
    // to 7 s, with the live list and chart open when the link allows.
    void pollingAndRecordingThroughABadLine()
    {
        EmulatorOptions o;
        o.frameMs = 40;
        o.resumeMs = 400; // the handshake's 0.2 s read ends with the answer
        o.tempC = -42.3;  // temperature word 0x0302
        o.rh = 5.15;      // humidity word 0x0203
        o.noise = true;
        o.startMidFrame = true;
        o.bytePacing = true;
        o.seed = 3;
        LineFaults f;
        f.silenceEveryMs = 2500;
        f.silenceMinMs = 100;
        f.silenceMaxMs = 7000;
        f.seed = 5;
        startPanel(o, f);
        const QByteArray frame = line->inner().model().frame();
        QVERIFY(frame.mid(2, 4).contains(char(2)) && frame.mid(2, 4).contains(char(3)));
        const QStringList values = valuesOf(frame);

        const QString file = t->path(QStringLiteral("hostil.dlf"));
        startRecording(file);
        Watchdog dog(*panel, 8000);
        QElapsedTimer run;
        run.start();
        while (run.elapsed() < 10000) {
            if (!panel->linkDown() && !state().ListOpen)
                panel->click(QStringLiteral("List"));
            if (!panel->linkDown() && !state().ChartOpen)
                panel->click(QStringLiteral("Graph"));
            QTest::qWait(200);
        }
        QCOMPARE(dog.violations, 0);
        QVERIFY(line->silences() > 0);
        readsAgain();
        panel->click(QStringLiteral("Save"));
        QVERIFY(!state().PcRecording);
        int records = 0;
        checkRecords(file, values, &records);
        QVERIFY(records > 0);
        QVERIFY(t->prompts->messages().isEmpty());
        qInfo("bad line: %d silences, %d times \"Sem Comunicação\", longest stretch without a sign %lld ms, "
              "%d records checked",
              line->silences(), dog.blinks, dog.longestGapMs, records);
    }

    // Logger downloads, power-off, manual record, offsets and the clock
    // through garbled, truncated and lying answers, short silences and a
    // bad first dump, while a PC recording runs.
    void commandsThroughABadLine()
    {
        EmulatorOptions o;
        o.frameMs = 40;
        o.resumeMs = 400; // the handshake's 0.2 s read ends with the answer
        o.tempC = 21.5;
        o.rh = 48.2;
        o.noise = true;
        o.truncatedAnswers = 2;
        o.badFirstDump = true;
        o.initialSets = 3;
        o.initialReadingsPerSet = 40;
        o.seed = 11;
        LineFaults f;
        f.garble = 0.25;
        f.truncate = 0.25;
        f.lie = 0.25;
        f.silenceEveryMs = 4000;
        f.silenceMinMs = 100;
        f.silenceMaxMs = 1500;
        f.seed = 13;
        startPanel(o, f);
        dialoglink::setTimeoutSeconds(4);
        const QStringList values = valuesOf(line->inner().model().frame());
        const QString file = t->path(QStringLiteral("comandos.dlf"));
        startRecording(file);
        Watchdog dog(*panel, 8000, [this] {
            return QApplication::activeModalWidget() || dialoglink::exchangeRunning() || state().MemoryBusy;
        });

        const QStringList allowed{dialoglink::kNoAnswer, QStringLiteral("Sem dados na memória"),
                                  dialoglink::kNotANumber};
        auto settled = [&](const char *what) {
            QTRY_VERIFY2_WITH_TIMEOUT(!state().MemoryBusy || app().memory, what, 10000);
            // Polling runs again, or the link is shown as lost.
            QTRY_VERIFY2_WITH_TIMEOUT(panel->Timer1->isActive() || panel->linkDown(), what, 10000);
            for (const QString &m : t->prompts->messages())
                QVERIFY2(allowed.contains(m), qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(what), m)));
        };
        int downloads = 0, clockSets = 0;
        for (int round = 0; round < 2; ++round) {
            panel->click(QStringLiteral("Memory"));
            settled("Memory");
            if (app().memory) {
                ++downloads;
                // Whatever the dump held, each set row shows a number, an interval and a size.
                app().memory->close();
                QTRY_VERIFY_WITH_TIMEOUT(!state().MemoryBusy, 10000);
            }

            t->prompts->inputAnswers.push_back(QStringLiteral("10"));
            panel->click(QStringLiteral("PowerOff"));
            t->prompts->inputAnswers.clear();
            settled("PowerOff");

            panel->click(QStringLiteral("Manual"));
            settled("Manual");

            // The offsets window keeps polling stopped while it is open; closed
            // at once, polling runs again.
            panel->click(QStringLiteral("Offset"));
            if (app().offset)
                app().offset->close();
            settled("Offset");

            // The clock window reads the instrument's clock, sets it, and is closed.
            QTimer::singleShot(0, this, [&] {
                QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<Setup *>(QApplication::activeModalWidget()), 10000);
                QPointer<Setup> setup = qobject_cast<Setup *>(QApplication::activeModalWidget());
                setup->LblMeterTime_Click();
                QTest::qWait(1500);
                if (setup) {
                    setup->CmdSetTime_Click();
                    ++clockSets;
                }
                QTest::qWait(300);
                if (QApplication::activeModalWidget() == setup)
                    setup->CmdExit_Click();
            });
            panel->click(QStringLiteral("SetTime"));
            settled("SetTime");
        }
        QCOMPARE(dog.violations, 0);
        readsAgain();
        panel->click(QStringLiteral("Save"));
        int records = 0;
        checkRecords(file, values, &records);
        QVERIFY(records > 0);
        qInfo("commands on a bad line: %d answers spoilt, %d silences, %d downloads shown, %d clock sets, "
              "%lld messages, %d records checked",
              line->answersSpoilt(), line->silences(), downloads, clockSets, qlonglong(t->prompts->messages().size()),
              records);
    }
};

QTEST_MAIN(TstReliabilityHostile)
#include "tst_reliability_hostile.moc"
