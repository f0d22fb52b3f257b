// A data file opened from the desktop: beside the port window, in a viewer
// without an instrument when no port is chosen, and dropped on the main window.
#include "support/PanelFixture.h"
#include "support/SampleFiles.h"
#include "ui/common/Commands.h"
#include "ui/lists/FileList.h"
#include "ui/panel/FileViewer.h"
#include "ui/panel/Port.h"

#include <QApplication>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QUrl>

namespace {

FileList *fileList(App &app)
{
    return qobject_cast<FileList *>(app.fileList.data());
}

FileViewer *viewer()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *v = qobject_cast<FileViewer *>(w); v && v->isVisible())
            return v;
    return nullptr;
}

// Drags `path` over `target` and drops it there; true when it was taken.
bool dropFile(QWidget *target, const QString &path)
{
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

} // namespace

class TstFileViewer : public QObject {
    Q_OBJECT
private slots:
    void closingThePortWindowKeepsAViewerWithoutInstrument()
    {
        TestApp t;
        auto *port = new Port(*t.app);
        port->setAttribute(Qt::WA_DeleteOnClose);
        port->show();
        QVERIFY(openFileAtStart(*t.app, *port, writeSampleDataFile(t.path(QStringLiteral("sala.dlf")), 3)));
        QPointer<FileList> list = fileList(*t.app);
        QVERIFY(list && list->isVisible());
        QCOMPARE(list->windowTitle(), QStringLiteral("sala.dlf"));
        QCOMPARE(list->GridC->rows(), 4);
        QCOMPARE(list->TxtSector->text(), QStringLiteral("Sala 2"));
        QTRY_VERIFY_WITH_TIMEOUT(list->x() >= port->frameGeometry().right(), 10000);
        QVERIFY(!viewer());

        port->close();
        FileViewer *v = viewer();
        QVERIFY(v);
        QCOMPARE(t.app->mainWindow(), v);
        QVERIFY(list && list->isVisible());

        // The instrument commands say why they do nothing; nothing else happens.
        for (const char *key : {"Save", "List", "Graph", "Memory", "RecStop", "SetTime", "Offset"}) {
            t.prompts->shown.clear();
            v->click(QLatin1String(key));
            QCOMPARE(t.prompts->shown.size(), 1);
            QCOMPARE(t.prompts->shown[0].title, QStringLiteral("Termo-higrômetro"));
            QCOMPARE(t.prompts->shown[0].text, FileViewer::kNoInstrument);
        }
        QVERIFY(!t.app->liveList && !t.app->liveChart && !t.app->memory && !sharedState().PcRecording);

        // The file list's own commands still work without an instrument.
        list->Toolbar1_ButtonClick(QStringLiteral("Plot"));
        QVERIFY(t.app->fileChart);
        QCOMPARE(sharedState().PlotTo, 3);

        // "Open" and a drop both replace the list with the new file.
        t.prompts->answerFile(writeSampleDataFile(t.path(QStringLiteral("outra.dlf")), 5));
        v->click(QStringLiteral("Open"));
        QTRY_VERIFY_WITH_TIMEOUT(!list, 10000);
        QCOMPARE(fileList(*t.app)->GridC->rows(), 6);
        QVERIFY(dropFile(v, writeSampleDataFile(t.path(QStringLiteral("solta.DLF")), 1)));
        QTRY_COMPARE_WITH_TIMEOUT(fileList(*t.app)->windowTitle(), QStringLiteral("solta.DLF"), 10000);

        // Closing the viewer ends the run: its windows go with it.
        QPointer<QWidget> last = t.app->fileList;
        v->close();
        QTRY_VERIFY_WITH_TIMEOUT(!last && !t.app->fileChart, 10000);
        deleteTopLevelWindows();
    }

    void choosingAPortStartsThePanelBesideTheFile()
    {
        PanelFixture f;
        f.panel.reset(); // the port window makes its own
        auto *port = new Port(*f.t.app);
        port->setAttribute(Qt::WA_DeleteOnClose);
        port->show();
        QVERIFY(openFileAtStart(*f.t.app, *port, writeSampleDataFile(f.t.path(QStringLiteral("a.dlf")), 2)));
        QPointer<FileList> list = fileList(*f.t.app);
        port->Ports->setCurrentText(QStringLiteral("COM3"));
        port->CmdOK_Click();
        QVERIFY(port->panel());
        QPointer<Panel> panel = port->panel();
        QTRY_VERIFY_WITH_TIMEOUT(!panel->linkDown(), 20000);
        QVERIFY(!viewer());
        QVERIFY(list && list->isVisible());
        QVERIFY(f.exits.isEmpty());
        // The windows go before the App they use.
        deleteTopLevelWindows();
    }

    void anUnreadableFileIsReportedAndNoViewerStays()
    {
        TestApp t;
        auto *port = new Port(*t.app);
        port->setAttribute(Qt::WA_DeleteOnClose);
        port->show();
        QVERIFY(!openFileAtStart(*t.app, *port, t.path(QStringLiteral("falta.dlf"))));
        QCOMPARE(t.prompts->messages().size(), 1);
        QVERIFY(t.prompts->messages()[0].startsWith(QStringLiteral("Não foi possível abrir o arquivo.")));
        QVERIFY(t.prompts->messages()[0].contains(QStringLiteral("falta.dlf")));
        QVERIFY(!t.app->fileList);
        port->close();
        QVERIFY(!viewer());
        deleteTopLevelWindows();
    }

    void aDataFileDroppedOnTheMainWindowOpensAsOpenDoes()
    {
        PanelFixture f;
        QVERIFY(f.start());
        const QString text = f.t.path(QStringLiteral("notas.txt"));
        QFile(text).open(QIODevice::WriteOnly);
        QVERIFY(!dropFile(f.panel.get(), text));
        QVERIFY(!f.t.app->fileList);

        QVERIFY(dropFile(f.panel.get(), writeSampleDataFile(f.t.path(QStringLiteral("arrastado.dlf")), 2)));
        QTRY_VERIFY_WITH_TIMEOUT(f.t.app->fileList, 10000);
        QCOMPARE(fileList(*f.t.app)->GridC->rows(), 3);

        // While a PC run records, "Open" is refused, and so is a drop.
        QPointer<QWidget> before = f.t.app->fileList;
        f.state().PcRecording = true;
        QVERIFY(dropFile(f.panel.get(), writeSampleDataFile(f.t.path(QStringLiteral("b.dlf")), 1)));
        QTRY_VERIFY_WITH_TIMEOUT(f.t.prompts->messages().contains(texts::kRecordingRefusal), 10000);
        QCOMPARE(f.t.app->fileList, before);
        f.state().PcRecording = false;
        deleteTopLevelWindows(f.panel.get());
    }
};

QTEST_MAIN(TstFileViewer)
#include "tst_file_viewer.moc"
