#include "support/PanelFixture.h"

#include "platform/LinkFactory.h"
#include "ui/panel/Port.h"

#include <QComboBox>
#include <QPointer>
#include <QTest>

class TestPanelE2E : public QObject {
    Q_OBJECT
private slots:
    void portWindowChoosesThePort()
    {
        TestApp t;
        QList<int> exits;
        Panel::setExitHandler([&](int code) { exits << code; });
        {
            Port port(*t.app);
            QCOMPARE(port.windowTitle(), QStringLiteral("Porta Com"));
            QComboBox *list = port.Ports;
            QVERIFY(list->count() >= 9);
            for (int i = 0; i < 8; ++i)
                QCOMPARE(list->itemText(i), QStringLiteral("COM%1").arg(i + 1));
            QCOMPARE(list->itemText(list->count() - 1), QStringLiteral("Simulador"));
            QCOMPARE(list->currentText(), QStringLiteral("COM1"));
            QCOMPARE(port.Port1->text(), QStringLiteral("COM1"));
            QCOMPARE(port.Port2->text(), QStringLiteral("COM2"));

            // A name that is no port leaves ComPort as it was, and the load fails.
            list->setEditText(QStringLiteral("/dev/th-no-such-port"));
            port.CmdOK_Click();
            QCOMPARE(sharedState().ComPort, qint16(0));
            QVERIFY(!port.panel());
            QCOMPARE(t.prompts->messages(), QStringList{QStringLiteral("Dispositivo não disponível")});
            QCOMPARE(exits, QList<int>{1});
        }
        {
            // "Simulador": the emulated instrument inside the program.
            TestApp t2;
            Port port(*t2.app);
            port.Ports->setCurrentText(QStringLiteral("Simulador"));
            port.CmdOK_Click();
            Panel *panel = port.panel();
            QVERIFY(panel);
            QVERIFY(qobject_cast<EmulatedLink *>(panel->COM()));
            QTRY_VERIFY_WITH_TIMEOUT(!panel->LblTemperature->text().isEmpty(), 15000);
            QCOMPARE(panel->LblCOM->text(), QStringLiteral("Simulador"));
            panel->close();
            QCOMPARE(exits, (QList<int>{1, 0}));
            delete panel;
        }
        Panel::setExitHandler({});
    }

    void instrumentSwitchedOnLater()
    {
        EmulatorOptions o = PanelFixture::fastInstrument();
        PanelFixture f(o);
        f.link->setSilent(true);
        QVERIFY(f.panel->Form_Load());
        Panel &p = *f.panel;
        p.show();
        QTRY_COMPARE(p.LblCOM->text(), QStringLiteral("Sem Comunicação"));
        // It blinks, and shows no values.
        QTRY_VERIFY(!p.LblCOM->isVisible());
        QTRY_VERIFY(p.LblCOM->isVisible());
        QVERIFY(p.LblTemperature->text().isEmpty());
        // While a handler waits (as a command talking to the instrument
        // does), the recovery keeps off the link.
        f.link->setSilent(false);
        f.link->model().clearReceivedLog();
        f.t.pause->Wait(1.0);
        QCOMPARE(f.link->model().receivedLog(), QByteArray());
        QCOMPARE(p.LblCOM->text(), QStringLiteral("Sem Comunicação"));
        QVERIFY(f.waitLive());
        QCOMPARE(p.LblCOM->text(), QStringLiteral("COM3"));
        QVERIFY(p.LblCOM->isVisible());
    }

    // The instrument falls silent during a PC run: "Sem Comunicação", no
    // sample from the stale reading, and the run numbers on when it is back.
    void linkLossDuringARecordingRun()
    {
        PanelFixture f;
        QVERIFY(f.start());
        Panel &p = *f.panel;
        f.state().PcSampleSeconds = 1;
        p.Timer2->setInterval(20);
        const QString path = f.t.path("perda.dlf");
        f.t.prompts->answerFile(path);
        p.click("Save");
        QTRY_VERIFY(f.state().RecordCount >= 3);

        f.link->setSilent(true);
        QTRY_VERIFY_WITH_TIMEOUT(p.LblCOM->text() == QStringLiteral("Sem Comunicação"), 15000);
        QVERIFY(p.linkDown());
        const int before = f.state().RecordCount;
        for (int i = 0; i < 3; ++i) { // several blinks, many sample ticks
            QTRY_VERIFY(!p.LblCOM->isVisible());
            QTRY_VERIFY(p.LblCOM->isVisible());
        }
        QCOMPARE(f.state().RecordCount, before);
        QVERIFY(f.state().PcRecording);

        f.link->model().setValues(27.0, 50.0);
        f.link->setSilent(false);
        QVERIFY(f.waitTemperature(QStringLiteral("27.0")));
        QCOMPARE(p.LblCOM->text(), QStringLiteral("COM3"));
        QTRY_VERIFY(f.state().RecordCount >= before + 2);
        p.click("Save");

        const QStringList lines = QString::fromLatin1(readAll(path)).split(QStringLiteral("\r\n"));
        int number = 0;
        bool afterLoss = false;
        for (int i = 4; i < lines.size() - 1; ++i) {
            const QStringList fields = lines[i].split(QLatin1Char('\t'));
            QCOMPARE(fields.size(), 7);
            QCOMPARE(fields[0].toInt(), ++number);
            if (number > before) {
                // Every record after the loss holds the fresh reading.
                QCOMPARE(fields[3], QStringLiteral("27.0"));
                afterLoss = true;
            }
        }
        QVERIFY(afterLoss);
    }

    void removedDeviceIsReopenedWhenBack()
    {
        PanelFixture f;
        QVERIFY(f.start());
        Panel &p = *f.panel;
        SerialLink *before = p.COM();
        f.link->unplug();
        QTRY_COMPARE(p.LblCOM->text(), QStringLiteral("Sem Comunicação"));
        QVERIFY(!f.link->isOpen());
        f.link->model().setValues(21.0, 40.0);
        f.link->replug();
        QVERIFY(f.waitTemperature(QStringLiteral("21.0")));
        QTRY_VERIFY(p.LblCOM->isVisible());
        QCOMPARE(p.LblCOM->text(), QStringLiteral("COM3"));
        QVERIFY(f.link->isOpen());
        QCOMPARE(p.COM(), before);
    }

    // The toolbar opens the live list and chart once each; a loss of the
    // link closes both, and the list receives no rows meanwhile.
    void liveWindowsFromTheToolbar()
    {
        PanelFixture f;
        QVERIFY(f.start());
        Panel &p = *f.panel;
        App &app = *f.t.app;
        f.state().PcSampleSeconds = 1;
        p.Timer2->setInterval(20);
        p.click("List");
        p.click("Graph");
        QVERIFY(f.state().ListOpen && f.state().ChartOpen);
        QPointer<QWidget> list = app.liveList, chart = app.liveChart;
        QVERIFY(list && chart);
        p.click("List");
        p.click("Graph");
        QCOMPARE(app.liveList.data(), list.data());
        QCOMPARE(app.liveChart.data(), chart.data());
        QTRY_VERIFY(f.state().ListRowCount >= 2);

        f.link->unplug();
        QTRY_COMPARE(p.LblCOM->text(), QStringLiteral("Sem Comunicação"));
        QTRY_VERIFY(!f.state().ListOpen && !f.state().ChartOpen);
        QTRY_VERIFY(!list || !list->isVisible());
        QTRY_VERIFY(!chart || !chart->isVisible());
        // Opened again during the loss: no stale rows.
        p.click("List");
        QVERIFY(f.state().ListOpen);
        QTRY_VERIFY(!p.LblCOM->isVisible());
        QTRY_VERIFY(p.LblCOM->isVisible());
        QCOMPARE(f.state().ListRowCount, 0);
        f.link->replug();
        QVERIFY(f.waitLive());
        QTRY_VERIFY(f.state().ListRowCount >= 1);
    }

    void closingTheWindowEndsTheProgram()
    {
        PanelFixture f;
        QVERIFY(f.start());
        f.sampleByHand();
        Panel &p = *f.panel;
        const QString path = f.t.path("fim.dlf");
        f.t.prompts->answerFile(path);
        p.click("Save");
        p.Timer2_Timer();
        p.close();
        QCOMPARE(f.exits, QList<int>{0});
        QVERIFY(f.t.pause->aborted());
        QVERIFY(!f.state().PcRecording);
        QVERIFY(!p.Timer1->isActive() && !p.Timer2->isActive());
        QVERIFY(readAll(path).endsWith("1\t08/12/2026\t10:00:00\t25.0\t13.9\t18.0\t50.0\r\n"));
    }
};

QTEST_MAIN(TestPanelE2E)
#include "tst_panel_e2e.moc"
