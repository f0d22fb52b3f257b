// Full disks and vanished folders: PC recording (main window and
// command-line tool), saving a list, the live list's automatic dump and
// saving a name/sector/company file, each where writing fails. Every failure
// gives a clear message, leaves an old file as it was, never a half line, and
// the main window keeps polling and showing readings.
//
// A full disk is /dev/full, or a file size limit (RLIMIT_FSIZE) that makes a
// write stop part-way exactly as a full disk does, for any user and on any
// file system.
#include "support/PanelFixture.h"
#include "support/Reliability.h"
#include "support/TestApp.h"

#include "emulator/EmulatedLink.h"
#include "emulator/PtyHost.h"
#include "ui/dialogs/AddText.h"
#include "ui/lists/List.h"
#include "ui/lists/ListOps.h"
#include "ui/panel/Panel.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {

// Files may not grow beyond `bytes` while this lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit l = old_;
        l.rlim_cur = rlim_t(bytes);
        setrlimit(RLIMIT_FSIZE, &l);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old_); }

private:
    rlimit old_{};
};

QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TstReliabilityFaults : public QObject {
    Q_OBJECT

    std::unique_ptr<TestApp> t;
    std::unique_ptr<Panel> panel;

    App &app() { return *t->app; }
    SharedState &state() { return app().state(); }

    // The main window still polls and shows the readings.
    void stillPolling()
    {
        QVERIFY(panel->Timer1->isActive());
        const quint64 frames = panel->framesDecoded();
        panel->LblTemperature->clear();
        QTRY_VERIFY_WITH_TIMEOUT(panel->framesDecoded() > frames + 2, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!panel->LblTemperature->text().isEmpty(), 10000);
    }
    void startRecording(const QString &path)
    {
        t->prompts->answerFile(path);
        panel->click(QStringLiteral("Save"));
    }
    // No temporary file of an atomic write left beside its target.
    static QStringList leftovers(const QString &folder, const QStringList &expected)
    {
        QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden);
        for (const QString &e : expected)
            names.removeAll(e);
        return names;
    }

private slots:
    void initTestCase()
    {
        // Writing past the size limit fails with EFBIG instead of ending the process.
        std::signal(SIGXFSZ, SIG_IGN);
    }

    void init()
    {
        t = std::make_unique<TestApp>();
        app().setLink(std::make_unique<EmulatedLink>());
        panel = startPanelSampledByHand(app());
        QVERIFY(panel);
    }
    void cleanup()
    {
        deleteTopLevelWindows(panel.get());
        panel.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        Panel::setExitHandler({});
        t.reset();
    }

    void panelRecordingToAFullDevice()
    {
        startRecording(QStringLiteral("/dev/full"));
        QVERIFY(!state().PcRecording);
        QCOMPARE(t->prompts->messages().size(), 1);
        QVERIFY(t->prompts->messages()[0].startsWith(QStringLiteral("Não foi possível criar o arquivo")));
        QVERIFY(t->prompts->messages()[0].contains(QStringLiteral("/dev/full")));
        QCOMPARE(panel->buttonImage(QStringLiteral("Save")), 1);
        sampleFreshReading(*panel); // an idle sample, nothing to write
        QCOMPARE(t->prompts->messages().size(), 1);
        stillPolling();
    }

    void panelRecordingFolderRemovedDuringTheRun()
    {
        const QString folder = t->path(QStringLiteral("ensaios"));
        QVERIFY(QDir().mkpath(folder));
        const QString file = folder + QStringLiteral("/ensaio.dlf");
        startRecording(file);
        QVERIFY(state().PcRecording);
        for (int i = 0; i < 3; ++i)
            sampleFreshReading(*panel);
        const RecordingCheck before = checkRecordingFile(file, true, 3);
        QVERIFY2(before.ok, qPrintable(before.problem));
        QVERIFY(QDir(folder).removeRecursively());

        sampleFreshReading(*panel);
        QVERIFY(!state().PcRecording);
        QCOMPARE(t->prompts->messages().size(), 1);
        QVERIFY(t->prompts->messages()[0].startsWith(QStringLiteral("Não foi possível gravar no arquivo")));
        QVERIFY(t->prompts->messages()[0].contains(QStringLiteral("ensaio.dlf")));
        QCOMPARE(panel->buttonImage(QStringLiteral("Save")), 1);
        QVERIFY(panel->LblCount->text().isEmpty());
        stillPolling();

        // A new run into a folder that exists records again.
        const QString again = t->path(QStringLiteral("again.dlf"));
        startRecording(again);
        QVERIFY(state().PcRecording);
        sampleFreshReading(*panel);
        sampleFreshReading(*panel);
        const RecordingCheck after = checkRecordingFile(again, true, 2);
        QVERIFY2(after.ok, qPrintable(after.problem));
        QCOMPARE(after.records.size(), 2);
    }

    // The disk fills in the middle of a record line: the part that was
    // written is taken back, the run stops with a message, the file keeps
    // every record before it whole.
    void panelRecordingDiskFillsMidLine()
    {
        const QString file = t->path(QStringLiteral("cheio.dlf"));
        startRecording(file);
        for (int i = 0; i < 3; ++i)
            sampleFreshReading(*panel);
        {
            FileSizeLimit limit(QFileInfo(file).size() + 12);
            sampleFreshReading(*panel);
        }
        QVERIFY(!state().PcRecording);
        QCOMPARE(t->prompts->messages().size(), 1);
        QVERIFY(t->prompts->messages()[0].startsWith(QStringLiteral("Não foi possível gravar no arquivo")));
        const RecordingCheck c = checkRecordingFile(file, true, 3);
        QVERIFY2(c.ok, qPrintable(c.problem));
        QCOMPARE(c.records.size(), 3);
        stillPolling();
    }

    // The recorder itself, writing on after the disk had room again: no half
    // line between the records, the lost sample's number is skipped.
    void recorderRecoversAfterAFullDisk()
    {
        SharedState s;
        PcRecorder rec(s);
        const QString file = t->path(QStringLiteral("nucleo.dlf"));
        QVERIFY(rec.start(file, false));
        Reading r;
        r.TempFDot = QStringLiteral("73.4");
        r.DewFDot = QStringLiteral("50.1");
        r.WetFDot = QStringLiteral("60.2");
        r.RhDot = QStringLiteral("45.0");
        const SampleLines lines = buildSampleLines(r, QDateTime(QDate(2026, 12, 8), QTime(10, 0, 0)));
        QCOMPARE(rec.writeSample(lines, false), PcRecorder::Outcome::Written);
        QString error;
        {
            FileSizeLimit limit(QFileInfo(file).size() + 5);
            QCOMPARE(rec.writeSample(lines, false, &error), PcRecorder::Outcome::Failed);
            QVERIFY(!error.isEmpty());
            QCOMPARE(rec.writeSample(lines, false, &error), PcRecorder::Outcome::StillFailing);
        }
        QCOMPARE(rec.writeSample(lines, false), PcRecorder::Outcome::Written);
        rec.stop();
        QStringList fileLines;
        QCOMPARE(splitCrlfLines(contents(file), &fileLines), QString());
        QCOMPARE(fileLines.size(), 6);
        QCOMPARE(recordLineProblem(fileLines[4], 1), QString());
        QCOMPARE(recordLineProblem(fileLines[5], 4), QString());
    }

    void cliRecordingToAFullDeviceAndARemovedFolder()
    {
        PtyHost host(EmulatorOptions{});
        QVERIFY(host.start());
        const QString cli = qEnvironmentVariable("TH_CLI");

        QProcess full;
        full.start(cli, {"record", "--port", host.devicePath(), "--interval", "1", "--count", "3", "/dev/full"});
        QVERIFY(QTest::qWaitFor([&] { return full.state() == QProcess::NotRunning; }, 30000));
        QCOMPARE(full.exitCode(), 1);
        const QString fullErr = QString::fromUtf8(full.readAllStandardError());
        QVERIFY2(fullErr.contains(QStringLiteral("cannot create")) && fullErr.contains(QStringLiteral("/dev/full")),
                 qPrintable(fullErr));

        const QString folder = t->path(QStringLiteral("cli"));
        QVERIFY(QDir().mkpath(folder));
        QProcess rec;
        QByteArray out;
        connect(&rec, &QProcess::readyReadStandardOutput, [&] { out += rec.readAllStandardOutput(); });
        rec.start(cli, {"record", "--port", host.devicePath(), "--interval", "1", "--count", "60", folder + "/r.dlf"});
        QTRY_VERIFY_WITH_TIMEOUT(out.count('\n') >= 2, 30000);
        QVERIFY(QDir(folder).removeRecursively());
        QVERIFY(QTest::qWaitFor([&] { return rec.state() == QProcess::NotRunning; }, 30000));
        QCOMPARE(rec.exitCode(), 1);
        const QString recErr = QString::fromUtf8(rec.readAllStandardError());
        QVERIFY2(recErr.contains(QStringLiteral("cannot write")) && recErr.contains(QStringLiteral("removido")),
                 qPrintable(recErr));
    }

    void listSaveFailsOldFileIntact()
    {
        panel->click(QStringLiteral("List"));
        auto *list = qobject_cast<List *>(app().liveList.data());
        QVERIFY(list);
        for (int i = 0; i < 3; ++i)
            sampleFreshReading(*panel);
        const QString target = t->path(QStringLiteral("lista.dlf"));
        const QByteArray old = "*\r\n*\r\n*\r\nold list\r\n";
        QVERIFY(writeFile(target, old));

        t->prompts->answerFile(target);
        {
            FileSizeLimit limit(old.size());
            list->button(QStringLiteral("Save"))->trigger();
        }
        QCOMPARE(t->prompts->messages().size(), 1);
        QVERIFY(t->prompts->messages()[0].startsWith(QStringLiteral("Não foi possível gravar o arquivo")));
        QCOMPARE(contents(target), old);
        QCOMPARE(leftovers(t->dir.path(), {"lista.dlf"}), QStringList());
        QCOMPARE(list->GridC->rows(), 4);

        // Into a folder that is gone.
        t->prompts->answerFile(t->path(QStringLiteral("gone/lista.dlf")));
        list->button(QStringLiteral("Save"))->trigger();
        QCOMPARE(t->prompts->messages().size(), 2);
        QVERIFY(t->prompts->messages()[1].startsWith(QStringLiteral("Não foi possível gravar o arquivo")));
        QVERIFY(!state().FileChosen);

        // The list still fills and the main window still polls.
        sampleFreshReading(*panel);
        QCOMPARE(list->GridC->rows(), 5);
        stillPolling();
    }

    void liveListAutomaticDumpFails()
    {
        // The dump folder cannot exist: a file stands where it would be.
        const QString blocker = t->path(QStringLiteral("blocker"));
        QVERIFY(writeFile(blocker, "x"));
        app().setAutoDumpFolder(blocker + QStringLiteral("/dumps"));
        panel->click(QStringLiteral("List"));
        auto *list = qobject_cast<List *>(app().liveList.data());
        QVERIFY(list);
        sampleFreshReading(*panel);
        state().ListRowCount = kRecordsPerFile - 1; // the next row is the 48 000th
        sampleFreshReading(*panel);
        QCOMPARE(t->prompts->messages().size(), 1);
        QVERIFY(t->prompts->messages()[0].startsWith(QStringLiteral("Não foi possível gravar o arquivo")));
        // Nothing was thrown away.
        QCOMPARE(list->GridC->rows(), 3);
        QCOMPARE(list->GridC->textMatrix(2, 0), QString::number(kRecordsPerFile));
        sampleFreshReading(*panel);
        QCOMPARE(list->GridC->rows(), 4);
        stillPolling();
    }

    void nseSaveFailsOldFileIntact()
    {
        panel->click(QStringLiteral("AddText"));
        auto *w = qobject_cast<AddText *>(app().addText.data());
        QVERIFY(w);
        w->TxtName->setText(QStringLiteral("Laboratório de Ensaios Térmicos"));
        w->TxtSector->setText(QStringLiteral("Câmara climática 3"));
        w->TxtCompany->setText(QStringLiteral("Empresa"));
        const QString target = t->path(QStringLiteral("dados.nse"));
        const QByteArray old = "Nome\r\nSetor\r\nEmpresa\r\n";
        QVERIFY(writeFile(target, old));
        t->prompts->answerFile(target);
        {
            FileSizeLimit limit(old.size());
            w->CmdSave_Click();
        }
        QCOMPARE(t->prompts->messages().size(), 1);
        QVERIFY(t->prompts->messages()[0].startsWith(QStringLiteral("Não foi possível salvar o arquivo")));
        QCOMPARE(contents(target), old);
        QCOMPARE(leftovers(t->dir.path(), {"dados.nse"}), QStringList());

        t->prompts->answerFile(t->path(QStringLiteral("gone/dados.nse")));
        w->CmdSave_Click();
        QCOMPARE(t->prompts->messages().size(), 2);
        stillPolling();

        // With room again the same save works.
        t->prompts->answerFile(target);
        w->CmdSave_Click();
        QCOMPARE(t->prompts->messages().size(), 2);
        QVERIFY(contents(target).startsWith("Laborat"));
    }
};

QTEST_MAIN(TstReliabilityFaults)
#include "tst_reliability_faults.moc"
