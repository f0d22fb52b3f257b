// The "Memory" button and the Memory window against the emulated instrument:
// a full download listed and saved, a set across midnight, an empty and a
// full memory, clearing, and an older instrument.
#include "support/TestApp.h"

#include "emulator/EmulatedLink.h"
#include "ui/charts/ListPlot1.h"
#include "ui/charts/PlotRange.h"
#include "ui/common/Commands.h"
#include "ui/dialogs/DialogLink.h"
#include "ui/lists/DataList.h"
#include "ui/memory/FillPanel.h"
#include "ui/memory/Memory.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

namespace {
QVector<QPair<double, double>> readings(int n, double tempC, double rh)
{
    return QVector<QPair<double, double>>(n, {tempC, rh});
}

} // namespace

class TstMemory : public QObject {
    Q_OBJECT

    std::unique_ptr<TestApp> t;
    EmulatedLink *emu = nullptr;
    QTimer poll;

    App &app() { return *t->app; }
    SharedState &state() { return app().state(); }
    InstrumentModel &model() { return emu->model(); }
    Memory *memory() { return qobject_cast<Memory *>(app().memory.data()); }
    DataList *dataList() { return qobject_cast<DataList *>(app().dataList.data()); }

    void connectInstrument(bool newType)
    {
        EmulatorOptions o;
        o.newType = newType;
        o.tempC = 22.0;
        o.rh = 50.0;
        auto link = std::make_unique<EmulatedLink>(o);
        emu = link.get();
        app().setLink(std::move(link));
        QVERIFY(emu->OpenPort());
        state().InstrumentType = newType ? QStringLiteral("NewType") : QStringLiteral("OldType");
        poll.setInterval(150);
        poll.start();
        app().setTimers(&poll, nullptr);
    }

    void clickSet(int row)
    {
        Grid *g = memory()->GridSet;
        const QRect r = g->visualRect(g->model()->index(row - 1, 0));
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, r.center());
    }

private slots:
    void init()
    {
        t = std::make_unique<TestApp>();
        state().CelsiusDisplay = true;
    }
    void cleanup()
    {
        deleteTopLevelWindows();
        app().setTimers(nullptr, nullptr);
        t.reset();
        emu = nullptr;
    }

    void downloadListAcrossMidnightAndSave()
    {
        connectInstrument(true);
        QVERIFY(model().addSet(QDateTime(QDate(2026, 12, 6), QTime(9, 0, 0)), 30, readings(5, 20.0, 40.0)));
        QVERIFY(model().addSet(QDateTime(QDate(2026, 12, 7), QTime(23, 58, 30)), 60, readings(4, 25.0, 50.0)));
        commands::downloadMemory(app());
        Memory *m = memory();
        QVERIFY(m);
        QCOMPARE(m->windowTitle(), QStringLiteral("Data Logger"));
        QVERIFY(state().MemoryBusy);
        QVERIFY(poll.isActive());
        QCOMPARE(m->MBar->value(), 100);
        QCOMPARE(m->Label1->text(), QStringLiteral("Capacidade : 32 K"));
        QCOMPARE(m->Label3->text(), QStringLiteral("Não usado    "));
        QCOMPARE(m->GridSet->textMatrix(0, 0), QStringLiteral("Configurar"));
        QCOMPARE(m->GridSet->textMatrix(0, 2), QStringLiteral("Gravações"));
        QCOMPARE(m->GridSet->rows(), 3);
        QCOMPARE(m->GridSet->gridModel()->line(1), QStringLiteral("1\t30\t5"));
        QCOMPARE(m->GridSet->gridModel()->line(2), QStringLiteral("2\t60\t4"));
        const double used = model().pointer() / 32767.0 * 100.0;
        QVERIFY(qAbs(m->MSize->fillPercent() - used) < 1e-9);
        snapshot(m, QStringLiteral("memory"));

        // A second "Memory" while the window is open is ignored.
        commands::downloadMemory(app());
        QCOMPARE(memory(), m);

        clickSet(2);
        DataList *d = dataList();
        QVERIFY(d);
        QCOMPARE(state().logger.selectedSet, 2);
        QCOMPARE(d->windowTitle(), QStringLiteral("Lista de dados"));
        QCOMPARE(d->GridC->rows(), 5);
        QVERIFY(!d->GridC->isHidden()); // the unit the main window shows
        QCOMPARE(d->GridC->gridModel()->line(1), QStringLiteral("1\t07/12/2026\t23:58:30\t25.0\t13.9\t18.0\t50.0"));
        QCOMPARE(d->GridC->gridModel()->line(3), QStringLiteral("3\t08/12/2026\t00:00:30\t25.0\t13.9\t18.0\t50.0"));
        QCOMPARE(d->GridF->gridModel()->line(4), QStringLiteral("4\t08/12/2026\t00:01:30\t77.0\t57.0\t64.4\t50.0"));
        snapshot(d, QStringLiteral("data-list-set"));

        const QString path = t->path(QStringLiteral("conjunto.dlf"));
        t->prompts->answerFile(path);
        d->button(QStringLiteral("Save"))->trigger();
        const QByteArray expected = "*\r\n*\r\n*\r\n"
                                    "N\xB0\tData\tHora\t\xB0"
                                    "C\tOrvalho(\xB0"
                                    "C)\t\xDAmido(\xB0"
                                    "C)\tUR%\t\r\n"
                                    "1\t07/12/2026\t23:58:30\t25.0\t13.9\t18.0\t50.0\t\r\n"
                                    "2\t07/12/2026\t23:59:30\t25.0\t13.9\t18.0\t50.0\t\r\n"
                                    "3\t08/12/2026\t00:00:30\t25.0\t13.9\t18.0\t50.0\t\r\n"
                                    "4\t08/12/2026\t00:01:30\t25.0\t13.9\t18.0\t50.0\t\r\n";
        QCOMPARE(readAll(path), expected);

        // Listing another set replaces the list.
        clickSet(1);
        QTRY_VERIFY_WITH_TIMEOUT(dataList() && dataList() != d, 10000);
        QCOMPARE(dataList()->GridC->rows(), 6);
        QCOMPARE(dataList()->GridC->textMatrix(5, 2), QStringLiteral("09:02:00"));

        // Without the mouse: Down to the next set, Enter lists it.
        const DataList *before = dataList();
        QTest::keyClick(m->GridSet, Qt::Key_Down);
        QTest::keyClick(m->GridSet, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(dataList() && dataList() != before, 10000);
        QCOMPARE(state().logger.selectedSet, 2);
        QCOMPARE(dataList()->GridC->rows(), 5);

        m->close();
        QVERIFY(!state().MemoryBusy);
    }

    void emptyAndRecordingInstrument()
    {
        connectInstrument(true);
        commands::downloadMemory(app());
        QVERIFY(!memory());
        QCOMPARE(t->prompts->messages(), QStringList{QStringLiteral("Sem dados na memória")});
        QCOMPARE(t->prompts->shown.first().title, texts::kTitle);
        QVERIFY(!state().MemoryBusy);
        QVERIFY(poll.isActive());

        state().reading.InstrumentRecording = true;
        QVERIFY(model().addSet(QDateTime(QDate(2026, 12, 6), QTime(9, 0, 0)), 30, readings(5, 20.0, 40.0)));
        commands::downloadMemory(app());
        QVERIFY(!memory());
        // Refused with the logging message, nothing asked of the instrument.
        QCOMPARE(t->prompts->shown.size(), 2);
        QCOMPARE(t->prompts->shown.last().text, texts::kRecordingRefusal);
    }

    void fullMemoryAndClearing()
    {
        connectInstrument(true);
        model().fillMemory(emu->driver().nowMs());
        commands::downloadMemory(app());
        QVERIFY(memory());
        QCOMPARE(memory()->MSize->fillPercent(), 100.0);
        // The set that fills the memory is the last one (a small one may come first).
        const int size = model().sets().last().rhWords.size();
        QVERIFY(size > 7800);
        clickSet(model().setCount());
        QCOMPARE(dataList()->GridC->rows(), size + 1);
        QCOMPARE(dataList()->GridF->rows(), size + 1);

        // Cancel keeps everything; OK clears the memory and closes the window.
        t->prompts->messageAnswers.push_back(Prompts::Answer::Cancel);
        memory()->MSize_Click();
        QCOMPARE(t->prompts->shown.last().text, QStringLiteral("Todos os dados na memória serão apagados."));
        QCOMPARE(t->prompts->shown.last().title, QStringLiteral("Aviso"));
        QCOMPARE(t->prompts->shown.last().buttons, Prompts::Buttons::OkCancel);
        QVERIFY(model().setCount() > 0);
        QVERIFY(memory());
        // Closed while the question is up: it goes once the question is answered.
        QPointer<Memory> m = memory();
        t->prompts->onShown = [&m](const ScriptedPrompts::Shown &) { m->close(); };
        t->prompts->messageAnswers.push_back(Prompts::Answer::Cancel);
        m->MSize_Click();
        t->prompts->onShown = {};
        QTRY_VERIFY_WITH_TIMEOUT(!m, 10000);
        QVERIFY(!state().MemoryBusy);
        commands::downloadMemory(app());
        QVERIFY(memory());
        t->prompts->messageAnswers.push_back(Prompts::Answer::Ok);
        m = memory();
        QTest::mouseClick(m->SSPanel3, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(model().setCount(), 0, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!m, 10000);
        QVERIFY(!state().MemoryBusy);
        QVERIFY(poll.isActive());
    }

    void instrumentCommandsBesideTheLoggerWindow()
    {
        // While the dump is being read, a command or the clearing panel is
        // refused with a word and sends nothing.
        connectInstrument(true);
        QVERIFY(model().addSet(QDateTime(QDate(2026, 12, 6), QTime(9, 0, 0)), 30, readings(400, 20.0, 40.0)));
        model().clearReceivedLog();
        bool tried = false;
        QTimer during;
        connect(&during, &QTimer::timeout, this, [&] {
            if (tried || !dialoglink::memoryTransferRunning() || !memory())
                return;
            tried = true;
            commands::manual(app());
            commands::recStop(app());
            memory()->MSize_Click();
        });
        during.start(5);
        commands::downloadMemory(app());
        during.stop();
        QVERIFY(tried);
        QVERIFY(memory());
        QCOMPARE(t->prompts->messages(), QStringList(3, dialoglink::kMemoryTransfer));
        for (const auto &shown : t->prompts->shown)
            QCOMPARE(shown.title, texts::kTitle);
        QVERIFY(!model().receivedLog().contains('S'));
        QVERIFY(!model().receivedLog().contains('R'));
        QCOMPARE(model().setCount(), 1);

        // Once the sets are shown, the window open does not hold them back.
        QVERIFY(state().MemoryBusy);
        commands::manual(app());
        QTRY_VERIFY_WITH_TIMEOUT(model().receivedLog().contains('S'), 10000);
        QCOMPARE(t->prompts->shown.size(), 3);
        QVERIFY(poll.isActive());
    }

    // "Plot" of a set draws what "Plot" of the same rows saved to a file
    // draws, in the unit of the grid shown (°F here), with its name block.
    void loggerSetChartsAsItsFile()
    {
        connectInstrument(true);
        QVector<QPair<double, double>> values;
        for (int i = 0; i < 40; ++i)
            values.append({10.0 + (i * 7) % 23, 30.0 + (i * 11) % 50});
        QVERIFY(model().addSet(QDateTime(QDate(2026, 12, 7), QTime(8, 0, 0)), 60, values));
        commands::downloadMemory(app());
        QVERIFY(memory());
        clickSet(1);
        DataList *d = dataList();
        QVERIFY(d);
        d->TxtName->setText(QStringLiteral("Câmara 2"));
        d->button(QStringLiteral("CF"))->trigger();
        const QString path = t->path(QStringLiteral("conjunto-f.dlf"));
        t->prompts->answerFile(path);
        d->button(QStringLiteral("Save"))->trigger();
        QVERIFY(QFile::exists(path));

        auto plotted = [this]() -> ListPlot1 * {
            auto *chart = qobject_cast<ListPlot1 *>(app().fileChart.data());
            if (!chart || !QTest::qWaitForWindowExposed(chart))
                return nullptr;
            QElapsedTimer waited;
            waited.start();
            while (state().FilePlotPending && waited.elapsed() < 20000)
                QTest::qWait(20);
            return state().FilePlotPending ? nullptr : chart;
        };
        d->button(QStringLiteral("Plot"))->trigger();
        ListPlot1 *fromSet = plotted();
        QVERIFY(fromSet);
        QCOMPARE(state().FileRecordCount, 40);
        QCOMPARE(fromSet->TxtName->text(), QStringLiteral("Câmara 2"));
        const QImage setPicture = fromSet->image();
        fromSet->Toolbar1_ButtonClick(QStringLiteral("Limit"));
        auto *range = qobject_cast<PlotRange *>(app().plotRange.data());
        QVERIFY(range && range->FOpt->isChecked());
        range->close();
        snapshot(fromSet, QStringLiteral("data-list-chart"));

        t->prompts->answerFile(path);
        commands::openDataFile(app());
        QVERIFY(commands::fileListGrid(app()));
        commands::openFileChart(app());
        ListPlot1 *fromFile = plotted();
        QVERIFY(fromFile && fromFile != fromSet);
        QCOMPARE(fromFile->TxtName->text(), QStringLiteral("Câmara 2"));
        QCOMPARE(fromFile->image().size(), setPicture.size());
        QCOMPARE(fromFile->image(), setPicture);
    }

    void olderInstrument()
    {
        connectInstrument(false);
        QVERIFY(model().addSet(QDateTime(QDate(2026, 11, 30), QTime(23, 59, 0)), 90, readings(3, 25.0, 50.0)));
        commands::downloadMemory(app());
        QVERIFY(memory());
        QCOMPARE(memory()->GridSet->gridModel()->line(1), QStringLiteral("1\t90\t3"));
        clickSet(1);
        QCOMPARE(dataList()->GridC->rows(), 4);
        QCOMPARE(dataList()->GridC->gridModel()->line(1),
                 QStringLiteral("1\t30/11/2026\t23:59:00\t25.0\t13.9\t18.0\t50.0"));
        QCOMPARE(dataList()->GridC->gridModel()->line(2),
                 QStringLiteral("2\t01/12/2026\t00:00:30\t25.0\t13.9\t18.0\t50.0"));
        // Its memory cannot be cleared from here: no question, nothing sent.
        const int shown = t->prompts->shown.size();
        memory()->MSize_Click();
        memory()->SSPanel2_Click();
        QCOMPARE(t->prompts->shown.size(), shown);
        QCOMPARE(model().setCount(), 1);
    }
};

QTEST_MAIN(TstMemory)
#include "tst_memory.moc"
