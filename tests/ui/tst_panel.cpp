#include "support/PanelFixture.h"

#include "core/files/DataFile.h"

#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QTest>
#include <QToolButton>

namespace {

QList<QAction *> buttons(Panel &p)
{
    QList<QAction *> out;
    for (QAction *a : p.Toolbar1->actions()) {
        if (!a->isSeparator())
            out << a;
    }
    return out;
}

const QByteArray kStart = QByteArray("*\r\n*\r\n*\r\n");
const QByteArray kHeadingC = QByteArray("N\xB0\tData\tHora\t\xB0"
                                        "C\tOrvalho(\xB0"
                                        "C)\t\xDAmido(\xB0"
                                        "C)\tUR%\r\n");
const QByteArray kHeadingF = QByteArray("N\xB0\tData\tHora\t\xB0"
                                        "F\tOrvalho(\xB0"
                                        "F)\t\xDAmido(\xB0"
                                        "F)\tUR%\r\n");

} // namespace

class TestPanel : public QObject {
    Q_OBJECT
private slots:
    void toolbarCaptionAndPlacement()
    {
        PanelFixture f;
        Panel &p = *f.panel;
        const QStringList keys = {"Save",   "Open",     "List",   "Graph",   "Sample", "CF",     "RecStop",
                                  "Manual", "PowerOff", "Memory", "SetTime", "Offset", "AddText"};
        const QStringList tips = {"Salvar Como",
                                  "Abrir arquivo para leitura",
                                  "Mostrar lista",
                                  "Mostrar gráfico",
                                  "Taxa de Amostragem",
                                  "Celsius / Fahrenheit",
                                  "Gravar automaticamente",
                                  "Gravar manualmente",
                                  "Desligamento automático",
                                  "Data Logger",
                                  "Ajustar a hora do instrumento pela hora do sistema",
                                  "Configurações de compensação",
                                  "Nome, Setor, Empresa"};
        const QList<int> images = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 15};
        const QList<QAction *> b = buttons(p);
        // The instrument's thirteen, then one button with the panel's own tools in its menu.
        QCOMPARE(b.size(), 14);
        QCOMPARE(b[13]->data().toString(), QStringLiteral("Extras"));
        auto *extras = qobject_cast<QToolButton *>(p.Toolbar1->widgetForAction(b[13]));
        QVERIFY(extras);
        QCOMPARE(extras->toolTip(), QStringLiteral("Mais ferramentas"));
        QCOMPARE(extras->popupMode(), QToolButton::InstantPopup);
        QVERIFY(!extras->icon().isNull());
        QStringList menuKeys, menuTexts;
        for (QAction *a : extras->menu()->actions()) {
            menuKeys << a->data().toString();
            menuTexts << a->text();
            QVERIFY(!a->icon().isNull());
            QCOMPARE(p.button(a->data().toString()), a);
        }
        QCOMPARE(menuKeys, (QStringList{"Alarms", "Monitoring", "Study", "Audit"}));
        QCOMPARE(menuTexts,
                 (QStringList{"Limites de alarme", "Monitoramento", "Estudo de mapeamento", "Trilha de auditoria"}));
        // The study's entry opens its window, one at most.
        p.click(QStringLiteral("Study"));
        QPointer<QWidget> study = f.t.app->study;
        QVERIFY(study && study->isVisible());
        QCOMPARE(study->objectName(), QStringLiteral("EstudoMapeamento"));
        p.click(QStringLiteral("Study"));
        QCOMPARE(f.t.app->study, study);
        delete study;
        // So does the trail's.
        p.click(QStringLiteral("Audit"));
        QPointer<QWidget> audit = f.t.app->auditWindow;
        QVERIFY(audit && audit->isVisible());
        QCOMPARE(audit->windowTitle(), QStringLiteral("Trilha de auditoria"));
        delete audit;
        for (int i = 0; i < 13; ++i) {
            QCOMPARE(b[i]->data().toString(), keys[i]);
            QCOMPARE(b[i]->toolTip(), tips[i]);
            QCOMPARE(p.buttonImage(keys[i]), images[i]);
            QVERIFY(!b[i]->icon().isNull());
        }
        QCOMPARE(p.ImageList1.size(), 15);

        QCOMPARE(p.windowTitle(), QStringLiteral("Painel     V7.1"));
        p.LblCOM_Click();
        QCOMPARE(p.windowTitle(), QStringLiteral("Painel     V7.1 080730"));
        p.LblCOM_Click();
        QCOMPARE(p.windowTitle(), QStringLiteral("Painel     V7.1"));

        QVERIFY(f.start());
        QCOMPARE(p.pos(), QPoint(0, 0));
        snapshot(&p, QStringLiteral("painel-ferramentas"));
        // Command1 exists but lies below what the user sees.
        QVERIFY(p.Command1->geometry().top() >= p.centralWidget()->height());
        QCOMPARE(p.LblTemperature->font().family(), QStringLiteral("Arial"));
        QVERIFY(p.LblTemperature->font().pointSize() >= 60);
    }

    void startupShowsLiveValuesOfNewType()
    {
        PanelFixture f;
        QVERIFY(f.start());
        Panel &p = *f.panel;
        QCOMPARE(p.LblCOM->text(), QStringLiteral("COM3"));
        QVERIFY(p.LblCOM->isVisible());
        QCOMPARE(f.state().InstrumentType, QStringLiteral("NewType"));
        QVERIFY(!f.state().ResyncPending);
        QCOMPARE(p.LblTemperature->text(), QStringLiteral("25.0"));
        QCOMPARE(p.LblRH->text(), QStringLiteral("50.0"));
        QCOMPARE(p.LblDew->text(), QStringLiteral("13.9"));
        QCOMPARE(p.LblWet->text(), QStringLiteral("18.0"));
        for (const char *key : {"RecStop", "Manual", "PowerOff"})
            QVERIFY(p.button(key)->isEnabled());
        QVERIFY(!p.LblHold->isVisible() && !p.LblRecord->isVisible() && !p.LblBT->isVisible() &&
                !p.LblFull->isVisible());
        QVERIFY(p.ImaC->isVisible() && !p.ImaF->isVisible());
        // The values follow the instrument.
        f.link->model().setValues(-3.07, 81.5);
        QVERIFY(f.waitTemperature(QStringLiteral("-3.0")));
        QTRY_COMPARE(p.LblRH->text(), QStringLiteral("81.5"));
    }

    void oldTypeCannotUseTheLoggerButtons()
    {
        PanelFixture f(PanelFixture::fastInstrument(false));
        QVERIFY(f.start());
        Panel &p = *f.panel;
        QCOMPARE(f.state().InstrumentType, QStringLiteral("OldType"));
        for (const char *key : {"RecStop", "Manual", "PowerOff"})
            QVERIFY(!p.button(key)->isEnabled());
        // An old instrument that logs shows it, but button 7 is not touched.
        f.link->model().setLogging(true, f.link->driver().nowMs());
        QTRY_VERIFY(p.LblRecord->isVisible());
        QCOMPARE(p.buttonImage("RecStop"), 7);
        QCOMPARE(p.button("RecStop")->toolTip(), QStringLiteral("Gravar automaticamente"));
    }

    void statusLabelsAndRecordingButton()
    {
        PanelFixture f;
        QVERIFY(f.start());
        Panel &p = *f.panel;
        InstrumentModel &m = f.link->model();
        m.setLogging(true, f.link->driver().nowMs());
        m.setHold(true);
        QTRY_VERIFY(p.LblRecord->isVisible() && p.LblHold->isVisible());
        QCOMPARE(f.reading().LastStatus, quint8(6));
        QCOMPARE(p.buttonImage("RecStop"), 14);
        QCOMPARE(p.button("RecStop")->toolTip(), QStringLiteral("Parar gravação"));

        m.setHold(false);
        QTRY_VERIFY(!p.LblHold->isVisible());
        // Button 7 is set only when the status byte changes, not on every frame.
        p.button("RecStop")->setToolTip(QStringLiteral("unchanged"));
        m.setValues(26.0, 50.0);
        QVERIFY(f.waitTemperature(QStringLiteral("26.0")));
        QCOMPARE(p.button("RecStop")->toolTip(), QStringLiteral("unchanged"));

        m.setLowBattery(true);
        QTRY_VERIFY(p.LblBT->isVisible());
        QCOMPARE(p.LblRH->text(), QStringLiteral("50.0"));

        m.setLogging(false, f.link->driver().nowMs());
        QTRY_COMPARE(p.buttonImage("RecStop"), 7);
        QCOMPARE(p.button("RecStop")->toolTip(), QStringLiteral("Gravar automaticamente"));
        QVERIFY(!p.LblRecord->isVisible());

        m.fillMemory(f.link->driver().nowMs());
        QTRY_VERIFY(p.LblFull->isVisible());
    }

    void celsiusFahrenheitSwitch()
    {
        PanelFixture f;
        QVERIFY(f.start());
        Panel &p = *f.panel;
        p.click("CF");
        QVERIFY(!f.state().CelsiusDisplay);
        QVERIFY(p.ImaF->isVisible() && !p.ImaC->isVisible());
        QVERIFY(f.waitTemperature(QStringLiteral("77.0")));
        QCOMPARE(p.LblDew->text(), f.reading().DewFDot);
        QCOMPARE(p.LblWet->text(), f.reading().WetFDot);
        QCOMPARE(p.LblRH->text(), QStringLiteral("50.0"));
        p.click("CF");
        QVERIFY(f.state().CelsiusDisplay);
        QVERIFY(p.ImaC->isVisible() && !p.ImaF->isVisible());
        QVERIFY(f.waitTemperature(QStringLiteral("25.0")));
    }

    void recordingRunWritesTheFile()
    {
        PanelFixture f;
        QVERIFY(f.start());
        f.sampleByHand();
        Panel &p = *f.panel;
        const QString path = f.t.path("ensaio.dlf");
        f.t.prompts->answerFile(path);
        p.click("Save");
        QVERIFY(f.state().PcRecording);
        QCOMPARE(p.buttonImage("Save"), 13);
        QCOMPARE(p.button("Save")->toolTip(), QStringLiteral("Parar gravação"));
        QCOMPARE(p.LblFileName->text(), QStringLiteral("ensaio.dlf"));
        QVERIFY(p.LblRec->isVisible());

        p.Timer2_Timer();
        f.t.clock->t = f.t.clock->t.addSecs(1);
        p.Timer2_Timer();
        QCOMPARE(p.LblCount->text(), QStringLiteral("2"));
        QCOMPARE(p.LblRec->text(), QStringLiteral("Registro"));
        // Records follow the unit shown; the heading keeps the unit of the start.
        p.click("CF");
        f.t.clock->t = f.t.clock->t.addSecs(1);
        p.Timer2_Timer();
        p.click("Save");

        QVERIFY(!f.state().PcRecording);
        QCOMPARE(f.state().RecordCount, 0);
        QVERIFY(!f.state().FileChosen);
        QCOMPARE(p.buttonImage("Save"), 1);
        QCOMPARE(p.button("Save")->toolTip(), QStringLiteral("Salvar Como"));
        QVERIFY(p.LblCount->text().isEmpty() && p.LblFileName->text().isEmpty());
        QVERIFY(!p.LblRec->isVisible());
        QCOMPARE(readAll(path), kStart + kHeadingC +
                                    "1\t08/12/2026\t10:00:00\t25.0\t13.9\t18.0\t50.0\r\n"
                                    "2\t08/12/2026\t10:00:01\t25.0\t13.9\t18.0\t50.0\r\n"
                                    "3\t08/12/2026\t10:00:02\t77.0\t57.0\t64.4\t50.0\r\n");

        // A run started in °F has the °F heading and numbers from 1 again.
        const QString second = f.t.path("segunda.dlf");
        f.t.prompts->answerFile(second);
        p.click("Save");
        p.click("CF");
        p.Timer2_Timer();
        p.click("Save");
        QCOMPARE(readAll(second), kStart + kHeadingF + "1\t08/12/2026\t10:00:02\t25.0\t13.9\t18.0\t50.0\r\n");
        // Idle samples keep the counter at 0 and the labels empty.
        p.Timer2_Timer();
        QCOMPARE(f.state().RecordCount, 0);
        QVERIFY(p.LblCount->text().isEmpty());
    }

    void longRunSplitsEvery48000Records()
    {
        PanelFixture f;
        QVERIFY(f.start());
        f.sampleByHand();
        Panel &p = *f.panel;
        QVERIFY(QDir(f.t.path(QString())).mkpath(QStringLiteral("run.d")));
        const QString path = f.t.path("run.d/ensaio.dlf");
        f.t.prompts->answerFile(path);
        p.click("Save");
        f.state().RecordCount = 47999;
        p.Timer2_Timer();
        p.Timer2_Timer();
        QCOMPARE(p.LblCount->text(), QStringLiteral("48001"));
        QCOMPARE(f.state().SplitNo, 1);
        p.click("Save");
        QVERIFY(readAll(path).endsWith("\r\n48000\t08/12/2026\t10:00:00\t25.0\t13.9\t18.0\t50.0\r\n"));
        QCOMPARE(readAll(f.t.path("run.d/ensaio-1.dlf")),
                 kStart + kHeadingC + "48001\t08/12/2026\t10:00:00\t25.0\t13.9\t18.0\t50.0\r\n");
    }

    void cancelledSaveDialogChangesNothing()
    {
        PanelFixture f;
        QVERIFY(f.start());
        Panel &p = *f.panel;
        // Even with a name chosen earlier for something else, a cancelled
        // dialog starts no run.
        const QString stale = f.t.path("antes.dlf");
        f.state().FileChosen = true;
        f.state().RecordFilePath = stale;
        p.click("Save");
        QCOMPARE(f.t.prompts->shown.size(), 1);
        QCOMPARE(f.t.prompts->shown[0].kind, QStringLiteral("save"));
        QVERIFY(!f.state().PcRecording);
        QCOMPARE(p.buttonImage("Save"), 1);
        QCOMPARE(p.button("Save")->toolTip(), QStringLiteral("Salvar Como"));
        QVERIFY(!QFileInfo::exists(stale));
        QVERIFY(f.state().FileChosen);
        QCOMPARE(f.state().RecordFilePath, stale);
    }

    void fileThatCannotBeCreatedOrWritten()
    {
        PanelFixture f;
        QVERIFY(f.start());
        f.sampleByHand();
        Panel &p = *f.panel;
        f.t.prompts->answerFile(f.t.path("sem-pasta/ensaio.dlf"));
        p.click("Save");
        QCOMPARE(f.t.prompts->messages().size(), 1);
        const ScriptedPrompts::Shown &m = f.t.prompts->shown.last();
        QCOMPARE(m.title, QStringLiteral("Termo-higrômetro"));
        QVERIFY(m.icon == Prompts::Icon::Critical);
        QVERIFY(m.text.contains(QStringLiteral("Não foi possível criar")));
        QVERIFY(m.text.contains(QStringLiteral("ensaio.dlf")));
        QVERIFY(!f.state().PcRecording);
        QCOMPARE(p.buttonImage("Save"), 1);
        QVERIFY(p.LblFileName->text().isEmpty());

        // A continuation file that cannot be created stops the run cleanly.
        const QString path = f.t.path("w.dlf");
        QVERIFY(QDir(f.t.path(QString())).mkpath(QStringLiteral("w-1.dlf")));
        f.t.prompts->answerFile(path);
        p.click("Save");
        QVERIFY(f.state().PcRecording);
        f.state().RecordCount = 48000;
        p.Timer2_Timer();
        QCOMPARE(f.t.prompts->messages().size(), 2);
        QVERIFY(f.t.prompts->shown.last().text.contains(QStringLiteral("Não foi possível gravar")));
        QVERIFY(!f.state().PcRecording);
        QCOMPARE(p.buttonImage("Save"), 1);
        QVERIFY(p.LblCount->text().isEmpty() && !p.LblRec->isVisible());
        p.Timer2_Timer();
        QCOMPARE(f.t.prompts->messages().size(), 2);

        // Polling and display carry on.
        f.link->model().setValues(30.0, 50.0);
        QVERIFY(f.waitTemperature(QStringLiteral("30.0")));
    }

    void portThatCannotBeOpenedEndsTheProgram()
    {
        PanelFixture f;
        f.link->unplug();
        QVERIFY(!f.panel->Form_Load());
        QCOMPARE(f.t.prompts->messages(), QStringList{QStringLiteral("Dispositivo não disponível")});
        QCOMPARE(f.t.prompts->shown[0].title, QStringLiteral("Termo-higrômetro"));
        QCOMPARE(f.exits, QList<int>{1});
        QVERIFY(!f.panel->Timer1->isActive());
    }
};

QTEST_MAIN(TestPanel)
#include "tst_panel.moc"
