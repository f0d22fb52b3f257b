// Windows on a small screen: every window, those that open beside another
// included, lies inside the screen's available area with its title bar
// reachable, and keeps the offsets it is given where they fit.
#include "support/SampleFiles.h"
#include "support/TestApp.h"
#include "ui/common/App.h"
#include "ui/common/Commands.h"
#include "ui/common/Placement.h"
#include "ui/lists/FileList.h"
#include "ui/lists/StatsWindow.h"
#include "ui/panel/FileViewer.h"
#include "ui/panel/Panel.h"
#include "ui/panel/Port.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

namespace {

QRect available()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

bool onScreen(const QWidget *w)
{
    return w && available().contains(w->frameGeometry());
}

QString where(const QWidget *w)
{
    const QRect f = w->frameGeometry();
    return QStringLiteral("%1 at %2,%3 %4x%5 on %6x%7")
        .arg(w->windowTitle())
        .arg(f.x())
        .arg(f.y())
        .arg(f.width())
        .arg(f.height())
        .arg(available().width())
        .arg(available().height());
}

} // namespace

class TstWindowPlacement : public QObject {
    Q_OBJECT
private slots:
    void framesAreFittedToTheArea()
    {
        const QRect area(0, 0, 800, 540);
        // Fits: left where it was asked.
        QCOMPARE(fitFrame(QRect(100, 50, 300, 200), area), QRect(100, 50, 300, 200));
        // Past the right and bottom edges: moved back, not shrunk.
        QCOMPARE(fitFrame(QRect(700, 500, 300, 200), area), QRect(500, 340, 300, 200));
        // Above the top or left of the area: the title bar comes back into reach.
        QCOMPARE(fitFrame(QRect(-20, -30, 300, 200), area), QRect(0, 0, 300, 200));
        // Larger than the area: shrunk to it, at its corner.
        QCOMPARE(fitFrame(QRect(50, 10, 1200, 900), area), area);
        // An area that does not start at the origin (a panel at the top).
        QCOMPARE(fitFrame(QRect(10, 0, 100, 100), QRect(0, 30, 800, 510)), QRect(10, 30, 100, 100));
    }

    void windowsOfAFileStayOnAScreenTooSmallForTheirOffsets()
    {
        TestApp t;
        auto *port = new Port(*t.app);
        port->setAttribute(Qt::WA_DeleteOnClose);
        port->show();
        QVERIFY(openFileAtStart(*t.app, *port, writeSampleDataFile(t.path(QStringLiteral("sala.dlf")), 40)));
        QPointer<QWidget> list = t.app->fileList;
        QVERIFY(list && list->isVisible());
        QTRY_VERIFY2_WITH_TIMEOUT(onScreen(list), qPrintable(where(list)), 10000);

        port->close();
        QWidget *viewer = t.app->mainWindow();
        QVERIFY(viewer);
        QTRY_VERIFY2_WITH_TIMEOUT(onScreen(viewer), qPrintable(where(viewer)), 10000);

        auto *fileList = qobject_cast<FileList *>(list.data());
        QVERIFY(fileList);
        StatsWindow *stats = openStatsWindow(*fileList);
        QTRY_VERIFY2_WITH_TIMEOUT(onScreen(stats), qPrintable(where(stats)), 10000);
        // Typing a limit neither moves the boxes nor pushes the window off the screen.
        QLineEdit *box = stats->TxtHigh[0];
        const QPoint boxAt = box->mapTo(stats, QPoint());
        QTest::keyClicks(box, QStringLiteral("x"));
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, QStringLiteral("30"));
        QApplication::processEvents();
        QCOMPARE(box->mapTo(stats, QPoint()), boxAt);
        QTRY_VERIFY2_WITH_TIMEOUT(onScreen(stats), qPrintable(where(stats)), 10000);

        fileList->Toolbar1_ButtonClick(QStringLiteral("Plot"));
        QWidget *chart = t.app->fileChart;
        QVERIFY(chart);
        QTRY_VERIFY2_WITH_TIMEOUT(onScreen(chart), qPrintable(where(chart)), 10000);
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible())
                QVERIFY2(onScreen(w), qPrintable(where(w)));
    }
};

int main(int argc, char **argv)
{
    // A screen smaller than the windows' offsets call for.
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("small-screen.json"));
    QFile f(config);
    if (!f.open(QIODevice::WriteOnly))
        return 1;
    f.write(R"({"synchronousWindowSystemEvents": false, "windowFrameMargins": true,
               "screens": [{"name": "small", "x": 0, "y": 0, "width": 800, "height": 540,
                            "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    f.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    QApplication app(argc, argv);
    TstWindowPlacement test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_window_placement.moc"
