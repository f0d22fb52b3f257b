// The captions as the window system gets them, on a real X server: what the
// widgets hold is not what a window manager shows when Qt adds to it.
#include "core/files/DataFile.h"
#include "platform/PlatformChatter.h"
#include "support/CliRun.h"
#include "support/PanelFixture.h"
#include "ui/common/AppIdentity.h"
#include "ui/lists/FileList.h"
#include "x11/XServer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

QString panelProgram()
{
    // The panel is built beside the command-line tool.
    return QFileInfo(qEnvironmentVariable("TH_CLI")).dir().filePath(QStringLiteral("termohigrometro"));
}

// The panel program on this test's X server; stopped at the end.
struct PanelProcess {
    QProcess p;
    explicit PanelProcess(const QStringList &args)
    {
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(panelProgram(), args);
    }
    ~PanelProcess()
    {
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            p.waitForFinished(10000);
        }
    }
    // The captions of its shown windows, once it shows one.
    QStringList captions(XWindows &x, int ms = 30000)
    {
        QStringList out;
        (void)QTest::qWaitFor(
            [&] {
                out.clear();
                for (xcb_window_t w : x.shownWindowsOf(p.processId()))
                    out << x.caption(w);
                return !out.isEmpty() || p.state() == QProcess::NotRunning;
            },
            ms);
        return out;
    }
};

QAction *toolButton(Panel &panel, const QString &key)
{
    for (QAction *a : panel.Toolbar1->actions()) {
        if (a->data().toString() == key)
            return a;
    }
    // The panel's own tools, in the menu of its last button.
    return panel.button(key);
}

// Opens a window with `open` and waits until the X server holds a shown
// window of this process with the caption `expected`; that window is then
// closed again (a modal one ends its dialog). Returns every caption seen.
QStringList captionsWhileOpening(XWindows &x, const QWidget *besides, const QString &expected,
                                 const std::function<void()> &open, bool *found, bool closeIt = true)
{
    QStringList seen;
    *found = false;
    QTimer watch;
    watch.setInterval(20);
    QElapsedTimer waited;
    waited.start();
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (*found)
            return;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w == besides || !w->isVisible() || !w->testAttribute(Qt::WA_WState_Created))
                continue;
            // A wrong caption must not leave a modal dialog waiting for ever.
            if (waited.elapsed() > 30000) {
                w->close();
                continue;
            }
            const auto id = xcb_window_t(w->winId());
            if (!x.mapped(id))
                continue;
            const QString caption = x.caption(id);
            if (!seen.contains(caption))
                seen << caption;
            if (caption == expected) {
                *found = true;
                if (closeIt)
                    w->close();
                return;
            }
        }
    });
    watch.start();
    open();
    (void)QTest::qWaitFor([&] { return *found; }, 30000);
    return seen;
}

} // namespace

class TestWindowCaptions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(QFileInfo(panelProgram()).isExecutable());
        QVERIFY(XWindows().connected());
    }

    // The program as a user starts it: the first window, and the main window
    // when a port is given.
    void programWindows_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("caption");
        QTest::newRow("port window") << QStringList{} << QStringLiteral("Porta Com");
        QTest::newRow("main window") << QStringList{QStringLiteral("--port"), QStringLiteral("Simulador")}
                                     << QStringLiteral("Painel     V7.1");
    }
    void programWindows()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, caption);
        XWindows x;
        PanelProcess panel(args);
        QCOMPARE(panel.captions(x), QStringList{caption});
    }

    // A port that does not open ends the program after its message, with a
    // failure status: no window, no process left behind.
    void portThatDoesNotOpenEndsTheProgram()
    {
        XWindows x;
        PanelProcess panel({QStringLiteral("--port"), QStringLiteral("/dev/does-not-exist")});
        QCOMPARE(panel.captions(x), QStringList{QStringLiteral("Termo-higrômetro")});
        const QList<xcb_window_t> shown = x.shownWindowsOf(panel.p.processId());
        QCOMPARE(shown.size(), 1);
        x.askToClose(shown.first());
        QVERIFY(panel.p.waitForFinished(30000));
        QCOMPARE(panel.p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(panel.p.exitCode(), 1);
    }

    // The windows the main window opens, with the program's own naming.
    void windowsOfTheToolbar_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("caption");
        QTest::newRow("live list") << QStringLiteral("List") << QStringLiteral("Lista - Tempo real");
        QTest::newRow("live chart") << QStringLiteral("Graph") << QStringLiteral("Gráfico - Tempo real");
        QTest::newRow("logger memory") << QStringLiteral("Memory") << QStringLiteral("Data Logger");
        QTest::newRow("sampling") << QStringLiteral("Sample") << QStringLiteral("Sampling Rate");
        QTest::newRow("offsets") << QStringLiteral("Offset") << QStringLiteral("Compensação");
        QTest::newRow("clock") << QStringLiteral("SetTime") << QStringLiteral("Setup");
        QTest::newRow("name, sector, company") << QStringLiteral("AddText") << QStringLiteral("Nome, Setor, Empresa");
        QTest::newRow("mapping study") << QStringLiteral("Study") << QStringLiteral("Estudo de mapeamento");
    }
    void windowsOfTheToolbar()
    {
        QFETCH(QString, key);
        QFETCH(QString, caption);
        EmulatorOptions o = PanelFixture::fastInstrument();
        // Something in the logger memory, or "Memory" has no window to show.
        o.initialSets = 1;
        o.initialReadingsPerSet = 20;
        PanelFixture f(o);
        QVERIFY(f.start(20000));
        XWindows x;
        bool found = false;
        const QStringList seen = captionsWhileOpening(
            x, f.panel.get(), caption, [&] { f.panel->Toolbar1_ButtonClick(toolButton(*f.panel, key)); }, &found);
        QVERIFY2(found, qPrintable(QStringLiteral("shown: \"%1\"").arg(seen.join(QStringLiteral("\", \"")))));
        QCOMPARE(x.caption(xcb_window_t(f.panel->winId())), Panel::kCaption);
    }

    // A data file's list bears the file's name; its chart, its own caption.
    void fileListAndItsChart()
    {
        PanelFixture f;
        QVERIFY(f.start(20000));
        const QString path = f.t.dir.filePath(QStringLiteral("ensaio.dlf"));
        const QByteArray bytes = gridDumpBytes(QStringLiteral("Silva"), {}, {},
                                               {dataFileHeadings(true),
                                                {"1", "08/12/2026", "09:05:07", "29.0", "13.9", "18.0", "50.0"},
                                                {"2", "08/12/2026", "09:05:09", "29.5", "14.0", "18.2", "51.0"}});
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        f.t.prompts->fileAnswers.push_back({true, path, QStringLiteral("ensaio.dlf")});
        XWindows x;
        bool found = false;
        QStringList seen = captionsWhileOpening(
            x, f.panel.get(), QStringLiteral("ensaio.dlf"),
            [&] { f.panel->Toolbar1_ButtonClick(toolButton(*f.panel, QStringLiteral("Open"))); }, &found, false);
        QVERIFY2(found, qPrintable(seen.join(QStringLiteral(" | "))));
        auto *list = qobject_cast<FileList *>(f.t.app->fileList.data());
        QVERIFY(list && list->button(QStringLiteral("Plot")));
        seen = captionsWhileOpening(
            x, f.panel.get(), QStringLiteral("Gráfico - Plotar"),
            [&] { list->button(QStringLiteral("Plot"))->trigger(); }, &found);
        QVERIFY2(found, qPrintable(seen.join(QStringLiteral(" | "))));
        QCOMPARE(x.caption(xcb_window_t(list->winId())), QStringLiteral("ensaio.dlf"));
    }
};

int main(int argc, char **argv)
{
    XvfbServer server;
    if (!server.start()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    quietPlatformChatter();
    QApplication app(argc, argv);
    setApplicationIdentity();
    TestWindowCaptions test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_window_captions.moc"
