// The lists behind the main window with the emulated instrument: live
// samples recorded on the PC and listed in both units at once, the refusals
// while recording, the recording file opened back into the file list, and
// the "Memory" button.
#include "support/PanelFixture.h"
#include "support/TestApp.h"

#include "emulator/EmulatedLink.h"
#include "ui/lists/FileList.h"
#include "ui/lists/List.h"
#include "ui/memory/Memory.h"
#include "ui/panel/Panel.h"

#include <QAction>
#include <QApplication>
#include <QTest>

class TstListsPanel : public QObject {
    Q_OBJECT

    std::unique_ptr<TestApp> t;
    EmulatedLink *emu = nullptr;
    std::unique_ptr<Panel> panel;

    App &app() { return *t->app; }
    SharedState &state() { return app().state(); }

private slots:
    void init()
    {
        t = std::make_unique<TestApp>();
        EmulatorOptions o;
        auto link = std::make_unique<EmulatedLink>(o);
        emu = link.get();
        app().setLink(std::move(link));
        panel = startPanelSampledByHand(app());
        QVERIFY(panel);
    }
    void cleanup()
    {
        deleteTopLevelWindows(panel.get());
        panel.reset();
        Panel::setExitHandler({});
        t.reset();
    }

    void recordingListedInBothUnitsThenOpened()
    {
        const QString rec = t->path(QStringLiteral("ensaio.dlf"));
        t->prompts->answerFile(rec);
        panel->click(QStringLiteral("Save"));
        QVERIFY(state().PcRecording);
        panel->click(QStringLiteral("List"));
        auto *list = qobject_cast<List *>(app().liveList.data());
        QVERIFY(list);
        QCOMPARE(list->frameGeometry().left(), panel->frameGeometry().left() + panel->frameGeometry().width());
        QCOMPARE(list->frameGeometry().top(), panel->frameGeometry().top());
        for (int i = 0; i < 3; ++i)
            sampleFreshReading(*panel);
        QCOMPARE(list->GridC->rows(), 4);
        QCOMPARE(list->GridF->rows(), 4);
        for (int r = 1; r <= 3; ++r) {
            QCOMPARE(list->GridC->textMatrix(r, 0), QString::number(r));
            QCOMPARE(list->GridF->textMatrix(r, 0), QString::number(r));
            for (int c : {1, 2, 6})
                QCOMPARE(list->GridF->textMatrix(r, c), list->GridC->textMatrix(r, c));
            // The same reading in both units (one decimal, cut, not rounded).
            const double tc = list->GridC->textMatrix(r, 3).toDouble();
            const double tf = list->GridF->textMatrix(r, 3).toDouble();
            QVERIFY2(qAbs(tc * 1.8 + 32 - tf) < 0.25, qPrintable(QStringLiteral("%1 °C / %2 °F").arg(tc).arg(tf)));
        }

        // Saving the list and opening a file are refused while recording.
        list->button(QStringLiteral("Save"))->trigger();
        panel->click(QStringLiteral("Open"));
        QCOMPARE(t->prompts->messages(), (QStringList{texts::kRecordingRefusal, texts::kRecordingRefusal}));
        // Printing is not.
        list->button(QStringLiteral("Print"))->trigger();
        QCOMPARE(t->printer->printedFiles().size(), 1);
        QVERIFY(panel->Timer1->isActive());

        panel->click(QStringLiteral("Save")); // stops the run
        QVERIFY(!state().PcRecording);
        t->prompts->answerFile(rec);
        panel->click(QStringLiteral("Open"));
        auto *file = qobject_cast<FileList *>(app().fileList.data());
        QVERIFY(file);
        QVERIFY(state().FileUnitCelsius);
        QCOMPARE(file->GridC->rows(), 4);
        for (int r = 0; r <= 3; ++r)
            QCOMPARE(file->GridC->gridModel()->line(r), list->GridC->gridModel()->line(r));
    }

    void memoryButtonOpensTheLoggerWindow()
    {
        emu->model().addSet(QDateTime(QDate(2026, 12, 7), QTime(8, 0, 0)), 60,
                            QVector<QPair<double, double>>(10, {21.0, 60.0}));
        panel->click(QStringLiteral("Memory"));
        auto *m = qobject_cast<Memory *>(app().memory.data());
        QVERIFY(m);
        QCOMPARE(m->GridSet->rows(), 2);
        QVERIFY(panel->Timer1->isActive());
        // The panel keeps reading after the download.
        const quint64 frames = panel->framesDecoded();
        QTRY_VERIFY_WITH_TIMEOUT(panel->framesDecoded() > frames, 10000);
    }
};

QTEST_MAIN(TstListsPanel)
#include "tst_lists_panel.moc"
