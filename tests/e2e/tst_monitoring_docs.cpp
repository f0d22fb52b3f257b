// The working files of the monitoring guide and of the service, run through
// the real tools, so they cannot drift from what those tools accept.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {
QString source(const QString &path)
{
    return qEnvironmentVariable("TH_SOURCE_DIR") + QLatin1Char('/') + path;
}

struct Run {
    int code = -1;
    QString output;
};

Run run(const QString &program, const QStringList &args, const QString &dir = {})
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (!dir.isEmpty())
        p.setWorkingDirectory(dir);
    p.start(program, args);
    if (!p.waitForFinished(120000))
        p.kill();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2, QString::fromUtf8(p.readAll())};
}

QStringList tree(const QString &dir)
{
    QStringList out;
    QDir d(dir);
    for (const QString &e : d.entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name)) {
        out << e;
        if (QFileInfo(d.filePath(e)).isDir())
            for (const QString &sub : tree(d.filePath(e)))
                out << e + QLatin1Char('/') + sub;
    }
    return out;
}
} // namespace

class TestMonitoringDocs : public QObject {
    Q_OBJECT
private slots:
    void prometheusConfigAlertsAndPanelQueries()
    {
        if (QStandardPaths::findExecutable("promtool").isEmpty())
            QSKIP("promtool (Debian prometheus) is not installed");
        const QString dir = source("docs/monitoring");
        for (const QStringList &args : {QStringList{"check", "config", "prometheus.yml"},
                                        QStringList{"check", "rules", "termohigrometro-alerts.yml"},
                                        QStringList{"test", "rules", "termohigrometro-alerts-test.yml"}}) {
            const Run r = run("promtool", args, dir);
            QVERIFY2(r.code == 0, qPrintable(args.join(' ') + ":\n" + r.output));
        }
    }

    // The Alertmanager configuration of the guide: e-mail receivers, the
    // routes of warnings and alarms.
    void alertmanagerConfig()
    {
        if (QStandardPaths::findExecutable("amtool").isEmpty())
            QSKIP("amtool (Debian prometheus-alertmanager) is not installed");
        const Run r = run("amtool", {"check-config", "alertmanager.yml"}, source("docs/monitoring"));
        QVERIFY2(r.code == 0, qPrintable(r.output));
        QVERIFY2(r.output.contains("2 receivers"), qPrintable(r.output));
    }

    // The service moves what a previous run recorded aside before `--record`
    // starts its file afresh.
    void previousRecordingsAreKept()
    {
        QTemporaryDir dir;
        const QString script = source("packaging/monitor-keep-recordings");
        Run r = run("sh", {script, dir.path()});
        QCOMPARE(r.code, 0);
        QVERIFY(tree(dir.path()).isEmpty());

        for (const char *name : {"sala1.dlf", "sala1-1.dlf", "com espaço.dlf", "notas.txt"}) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(name);
        }
        r = run("sh", {script, dir.path()});
        QVERIFY2(r.code == 0, qPrintable(r.output));
        // A restart within the same second gets a folder of its own.
        QFile again(dir.filePath("sala1.dlf"));
        QVERIFY(again.open(QIODevice::WriteOnly));
        again.write("second run");
        again.close();
        r = run("sh", {script, dir.path()});
        QVERIFY2(r.code == 0, qPrintable(r.output));

        const QStringList files = tree(dir.path()).filter(QRegularExpression("\\.(dlf|txt)$"));
        QCOMPARE(files.size(), 5);
        QVERIFY(files.contains("notas.txt"));
        QStringList runs = QDir(dir.filePath("anteriores")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(runs.size(), 2);
        QDir first(dir.filePath("anteriores/" + runs[0]));
        QDir second(dir.filePath("anteriores/" + runs[1]));
        if (first.entryList(QDir::Files).size() == 1)
            std::swap(first, second);
        QCOMPARE(first.entryList(QDir::Files, QDir::Name), (QStringList{"com espaço.dlf", "sala1-1.dlf", "sala1.dlf"}));
        QCOMPARE(second.entryList(QDir::Files), QStringList{"sala1.dlf"});
        QFile kept(second.filePath("sala1.dlf"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("second run"));
    }
};

QTEST_GUILESS_MAIN(TestMonitoringDocs)
#include "tst_monitoring_docs.moc"
