// The files that make a double click on a data file open the panel: the
// MIME type and the desktop entry, checked with the desktop's own tools.
#include <QDir>
#include <QFile>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString source(const QString &relative)
{
    return QDir(qEnvironmentVariable("TH_SOURCE_DIR")).filePath(relative);
}

struct Run {
    int code = -1;
    QString output;
};

Run run(const QString &program, const QStringList &args)
{
    Run r;
    if (QStandardPaths::findExecutable(program).isEmpty()) {
        r.output = program + QStringLiteral(" is not installed");
        return r;
    }
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(60000))
        return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.output = QString::fromUtf8(p.readAll());
    return r;
}

QString desktopKey(const QString &key)
{
    QFile f(source(QStringLiteral("packaging/termohigrometro.desktop")));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    const QRegularExpression re(QStringLiteral("^%1=(.*)$").arg(key), QRegularExpression::MultilineOption);
    return re.match(QString::fromUtf8(f.readAll())).captured(1);
}

} // namespace

class TestDesktopFiles : public QObject {
    Q_OBJECT
private slots:
    void desktopEntryOpensDataFiles()
    {
        const Run v =
            run(QStringLiteral("desktop-file-validate"), {source(QStringLiteral("packaging/termohigrometro.desktop"))});
        QVERIFY2(v.code == 0 && v.output.trimmed().isEmpty(), qPrintable(v.output));
        QVERIFY(desktopKey(QStringLiteral("Exec")).contains(QLatin1String(" %f")));
        QCOMPARE(desktopKey(QStringLiteral("MimeType")), QStringLiteral("application/x-termohigrometro-dlf;"));
    }

    // The XML is built into a MIME database as the package's trigger builds
    // it; a data file then has the type the desktop entry opens.
    void dataFilesGetTheirType()
    {
        const QString xml = source(QStringLiteral("packaging/termohigrometro.xml"));
        const Run lint = run(QStringLiteral("xmllint"), {QStringLiteral("--noout"), xml});
        QVERIFY2(lint.code == 0, qPrintable(lint.output));

        QTemporaryDir home;
        QVERIFY(QDir().mkpath(home.filePath(QStringLiteral("mime/packages"))));
        QVERIFY(QFile::copy(xml, home.filePath(QStringLiteral("mime/packages/termohigrometro.xml"))));
        const Run update = run(QStringLiteral("update-mime-database"), {home.filePath(QStringLiteral("mime"))});
        QVERIFY2(update.code == 0 && !update.output.contains(QLatin1String("rror")), qPrintable(update.output));

        // The database is read on first use, from the data folders of now.
        qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
        QMimeDatabase db;
        const QString declared = desktopKey(QStringLiteral("MimeType")).section(QLatin1Char(';'), 0, 0);
        for (const QString &name : {QStringLiteral("registro.dlf"), QStringLiteral("REGISTRO.DLF")}) {
            const QMimeType type = db.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
            QCOMPARE(type.name(), declared);
            // Text editors still offer themselves for it.
            QVERIFY(type.inherits(QStringLiteral("text/plain")));
        }
        QVERIFY(db.mimeTypeForName(declared).isValid());
    }
};

QTEST_GUILESS_MAIN(TestDesktopFiles)
#include "tst_desktop_files.moc"
