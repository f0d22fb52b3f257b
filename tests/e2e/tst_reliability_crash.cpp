// Crash safety of PC recording: a recording run killed with SIGKILL at a
// random moment leaves a data file whose every line is complete and that
// holds every sample reported before the kill.
//
// Two recorders are killed: `termohigrometro-cli record` reading
// `termohigrometro-cli emulate` on a pseudo-terminal, and the main window
// itself, run by this executable as a child process ("--panel-child FILE")
// with the emulated instrument and a fast sampling clock. Each reports every
// record on its standard output once it has been written; what was reported
// before the kill must be in the file.
#include "support/Reliability.h"
#include "support/TestApp.h"

#include "emulator/EmulatedLink.h"
#include "ui/panel/Panel.h"

#include <QApplication>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>

namespace {

// A process whose standard output is collected line by line.
struct Job {
    std::unique_ptr<QProcess> process;
    QByteArray out;
    QStringList lines() const
    {
        // Only complete lines count as reported.
        const qsizetype end = out.lastIndexOf('\n');
        return end < 0 ? QStringList{} : QString::fromUtf8(out.left(end)).split(QLatin1Char('\n'));
    }
    // `tmp`: the child's temporary folder, for what a killed child cannot clean up.
    void start(const QString &program, const QStringList &args, const QString &tmp = {})
    {
        process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::SeparateChannels);
        if (!tmp.isEmpty()) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("TMPDIR"), tmp);
            process->setProcessEnvironment(env);
        }
        QObject::connect(process.get(), &QProcess::readyReadStandardOutput,
                         [this] { out += process->readAllStandardOutput(); });
        process->start(program, args);
    }
    void kill9()
    {
        ::kill(pid_t(process->processId()), SIGKILL);
        process->waitForFinished(10000);
        out += process->readAllStandardOutput();
    }
};

// Main window, emulated instrument, PC recording into `file` at a sampling
// clock of a few milliseconds; prints every record number once it is written.
int panelChild(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    const QString file = QString::fromLocal8Bit(argv[2]);
    TestApp t;
    EmulatorOptions o;
    // Frames every 20 ms; the stream resumes late enough after an answer
    // that the handshake's 0.2 s read ends with the answer.
    o.frameMs = 20;
    o.resumeMs = 400;
    o.seed = quint32(QCoreApplication::applicationPid());
    t.app->setLink(std::make_unique<EmulatedLink>(o));
    Panel::setExitHandler([](int) {});
    Panel panel(*t.app);
    if (!panel.Form_Load())
        return 3;
    SharedState &s = t.app->state();
    if (!QTest::qWaitFor([&] { return panel.framesDecoded() > 0 && !panel.linkDown(); }, 30000))
        return 4;
    s.PcSampleSeconds = 1;
    t.prompts->answerFile(file);
    panel.click(QStringLiteral("Save"));
    if (!s.PcRecording)
        return 5;
    int reported = 0;
    QObject::connect(panel.Timer2, &QTimer::timeout, [&] {
        if (s.RecordCount > reported) {
            reported = s.RecordCount;
            std::printf("%d\n", reported);
            std::fflush(stdout);
        }
    });
    panel.Timer2->setInterval(2);
    std::printf("ready\n");
    std::fflush(stdout);
    return qapp.exec();
}

} // namespace

class TstReliabilityCrash : public QObject {
    Q_OBJECT

    QString cli() const { return qEnvironmentVariable("TH_CLI"); }

private slots:
    void initTestCase() { QVERIFY2(QFile::exists(cli()), "TH_CLI not set"); }

    // Four instruments on pseudo-terminals, each recorded and killed five
    // times in turn; the instrument outlives its readers.
    void cliRecordKilled()
    {
        QTemporaryDir dir;
        constexpr int kInstruments = 4, kRounds = 5;
        std::vector<Job> emulators(kInstruments);
        QStringList devices;
        for (int i = 0; i < kInstruments; ++i) {
            emulators[i].start(cli(), {"emulate", "--seed", QString::number(i + 7)});
            QVERIFY(emulators[i].process->waitForStarted(10000));
        }
        for (int i = 0; i < kInstruments; ++i) {
            QTRY_VERIFY_WITH_TIMEOUT(!emulators[i].lines().isEmpty(), 20000);
            devices << emulators[i].lines().first().trimmed();
        }
        QRandomGenerator rng(20261208);
        int kills = 0, withRecords = 0, records = 0;
        for (int round = 0; round < kRounds; ++round) {
            std::vector<Job> recorders(kInstruments);
            std::vector<qint64> killAt(kInstruments);
            QStringList files;
            QElapsedTimer clock;
            clock.start();
            for (int i = 0; i < kInstruments; ++i) {
                files << dir.filePath(QStringLiteral("run%1-%2.dlf").arg(round).arg(i));
                // Any moment from before the file exists to a few records in.
                killAt[i] = rng.bounded(100, 3600);
                recorders[i].start(
                    cli(), {"record", "--port", devices[i], "--interval", "1", "--unit", i % 2 ? "F" : "C", files[i]});
            }
            int alive = kInstruments;
            while (alive > 0) {
                QTest::qWait(10);
                for (int i = 0; i < kInstruments; ++i) {
                    if (killAt[i] >= 0 && clock.elapsed() >= killAt[i]) {
                        QVERIFY2(recorders[i].process->state() == QProcess::Running,
                                 qPrintable(QString::fromUtf8(recorders[i].process->readAllStandardError())));
                        recorders[i].kill9();
                        killAt[i] = -1;
                        --alive;
                    }
                }
            }
            for (int i = 0; i < kInstruments; ++i) {
                ++kills;
                const QStringList reported = recorders[i].lines();
                const RecordingCheck c = checkRecordingFile(files[i], i % 2 == 0, reported.size());
                QVERIFY2(c.ok, qPrintable(QStringLiteral("%1: %2").arg(files[i], c.problem)));
                // The tool prints the very record line it wrote.
                for (int k = 0; k < reported.size(); ++k)
                    QCOMPARE(c.records.value(k), reported[k]);
                records += c.records.size();
                withRecords += !c.records.isEmpty();
            }
        }
        for (Job &e : emulators) {
            e.process->terminate();
            if (!e.process->waitForFinished(10000))
                e.kill9();
        }
        QVERIFY(kills >= 20);
        QVERIFY2(withRecords >= kills / 2, "most runs must have recorded something before the kill");
        qInfo("cli record: %d kills survived, %d runs with records, %d records checked", kills, withRecords, records);
    }

    // The main window recording at a sampling clock of 2 ms, killed twenty
    // times, two children at a time.
    void panelRecordingKilled()
    {
        QTemporaryDir dir;
        constexpr int kKills = 20, kParallel = 2;
        QRandomGenerator rng(81226);
        int kills = 0, records = 0;
        for (int round = 0; round < kKills / kParallel; ++round) {
            std::vector<Job> children(kParallel);
            QStringList files;
            for (int i = 0; i < kParallel; ++i) {
                files << dir.filePath(QStringLiteral("panel%1-%2.dlf").arg(round).arg(i));
                children[i].start(QCoreApplication::applicationFilePath(), {"--panel-child", files[i]}, dir.path());
            }
            for (int i = 0; i < kParallel; ++i) {
                QTRY_VERIFY2_WITH_TIMEOUT(children[i].lines().contains(QStringLiteral("ready")),
                                          qPrintable(QString::fromUtf8(children[i].process->readAllStandardError())),
                                          60000);
            }
            // Killed while samples stream in: anywhere from the first records to a few hundred.
            QTest::qWait(int(rng.bounded(20, 700)));
            for (int i = 0; i < kParallel; ++i) {
                QVERIFY(children[i].process->state() == QProcess::Running);
                children[i].kill9();
                ++kills;
                QStringList reported = children[i].lines();
                reported.removeAll(QStringLiteral("ready"));
                const RecordingCheck c = checkRecordingFile(files[i], true, reported.size());
                QVERIFY2(c.ok, qPrintable(QStringLiteral("%1: %2").arg(files[i], c.problem)));
                if (!reported.isEmpty())
                    QCOMPARE(reported.last().toInt(), reported.size());
                records += c.records.size();
            }
        }
        QVERIFY(kills >= 20);
        qInfo("panel recording: %d kills survived, %d records checked", kills, records);
    }
};

int main(int argc, char **argv)
{
    if (argc >= 3 && qstrcmp(argv[1], "--panel-child") == 0)
        return panelChild(argc, argv);
    QApplication app(argc, argv);
    TstReliabilityCrash test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_reliability_crash.moc"
