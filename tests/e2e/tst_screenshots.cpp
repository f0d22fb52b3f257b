// `termohigrometro --screenshots DIR` renders every picture the README shows,
// on the emulated instrument, and says so by its exit status.
#include "support/CliRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

CliResult renderInto(const QString &folder)
{
    const QString panel = QFileInfo(qEnvironmentVariable("TH_CLI")).dir().filePath(QStringLiteral("termohigrometro"));
    QProcessEnvironment env = environmentWithoutDisplay();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return runProgram(panel, {QStringLiteral("--screenshots"), folder}, 300000, env);
}

// The pictures the README points at.
QStringList readmePictures()
{
    QFile readme(QDir(qEnvironmentVariable("TH_SOURCE_DIR")).filePath(QStringLiteral("README.md")));
    if (!readme.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression picture(QStringLiteral("docs/screenshots/([\\w-]+\\.png)"));
    QStringList names;
    for (auto it = picture.globalMatch(QString::fromUtf8(readme.readAll())); it.hasNext();)
        names << it.next().captured(1);
    names.removeDuplicates();
    return names;
}

} // namespace

class TstScreenshots : public QObject {
    Q_OBJECT
private slots:
    void everyPictureOfTheReadmeIsRendered()
    {
        const QStringList expected = readmePictures();
        QCOMPARE(expected.size(), 15);
        QTemporaryDir dir;
        // A picture from an earlier run does not pass for this one's.
        QFile stale(dir.filePath(QStringLiteral("memory.png")));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.write("old");
        stale.close();

        const CliResult r = renderInto(dir.path());
        QVERIFY2(r.code == 0, qPrintable(r.err));
        for (const QString &name : expected) {
            const QImage image(dir.filePath(name));
            QVERIFY2(!image.isNull() && image.width() > 100 && image.height() > 50, qPrintable(name));
        }
    }

    void aFolderThatCannotBeMadeFails()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("arquivo")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const CliResult r = renderInto(dir.filePath(QStringLiteral("arquivo/fotos")));
        QVERIFY(r.code > 0);
        QVERIFY(!r.err.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstScreenshots)
#include "tst_screenshots.moc"
