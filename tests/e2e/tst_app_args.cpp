// The panel program's command line: answered without a display, and a wrong
// argument is an error, not a silently ignored word.
#include "support/CliRun.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

namespace {

using Run = CliResult;

Run runPanel(const QStringList &args)
{
    // The panel is built beside the command-line tool.
    const QString panel = QFileInfo(qEnvironmentVariable("TH_CLI")).dir().filePath(QStringLiteral("termohigrometro"));
    return runProgram(panel, args, 30000, environmentWithoutDisplay());
}

} // namespace

class TestAppArgs : public QObject {
    Q_OBJECT
private slots:
    void versionAndHelpNeedNoDisplay()
    {
        Run v = runPanel({QStringLiteral("--version")});
        QCOMPARE(v.code, 0);
        QCOMPARE(v.out.trimmed(), QStringLiteral("termohigrometro " TH_VERSION));
        Run h = runPanel({QStringLiteral("--help")});
        QCOMPARE(h.code, 0);
        QVERIFY(h.out.contains(QStringLiteral("--port NAME")));
        QVERIFY(h.out.contains(QStringLiteral("Simulador")));
    }
    void wrongArgumentsAreRefused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("port without a value") << QStringList{QStringLiteral("--port")};
        QTest::newRow("screenshots without a folder") << QStringList{QStringLiteral("--screenshots")};
        QTest::newRow("unknown option") << QStringList{QStringLiteral("--bogus")};
        QTest::newRow("two files") << QStringList{QStringLiteral("a.dlf"), QStringLiteral("b.dlf")};
    }
    void wrongArgumentsAreRefused()
    {
        QFETCH(QStringList, args);
        Run r = runPanel(args);
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.contains(QStringLiteral("usage: termohigrometro")));
    }
};

QTEST_APPLESS_MAIN(TestAppArgs)
#include "tst_app_args.moc"
