// The real file dialogs behind "Save" and "Open": typed into as a user
// would, offscreen. The extension must be part of the name the dialog checks
// for an existing file, or its overwrite question never comes; and the
// dialogs start where the user was last, also in a later run.
#include "core/link/Pause.h"
#include "platform/FolderMemory.h"
#include "ui/common/App.h"
#include "ui/common/Commands.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// Runs `act` on the next modal window of type W once it is up. A window that
// never comes is noted and whatever is modal is closed, so no test hangs.
template <typename W> void whenModal(std::function<void(W *)> act, bool *missed)
{
    auto *timer = new QTimer;
    auto *clock = new QElapsedTimer;
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, act, missed] {
        W *w = qobject_cast<W *>(QApplication::activeModalWidget());
        if (!w || !w->isVisible()) {
            if (clock->elapsed() < 20000)
                return;
            *missed = true;
            if (auto *d = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                d->reject();
        }
        timer->stop();
        timer->deleteLater();
        delete clock;
        if (w && w->isVisible())
            act(w);
    });
    timer->start(20);
}

QLineEdit *nameEdit(QFileDialog *d)
{
    return d->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
}

void type(QFileDialog *d, const QString &name)
{
    QLineEdit *edit = nameEdit(d);
    QVERIFY(edit);
    // Pasted whole: typed key by key, a full path makes the dialog go into
    // each folder as its "/" comes, clearing the box, whenever its folder
    // model (filled by a thread of its own) is quick enough.
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    edit->insert(name);
}

// The dialog's own Open or Save on the typed name. Not the Return key: the
// completer's popup, filled by a thread of its own, may be up on a slow
// machine and take it.
void acceptTyped(QFileDialog *d)
{
    if (QCompleter *c = nameEdit(d)->completer(); c && c->popup())
        c->popup()->hide();
    QMetaObject::invokeMethod(d, "accept");
}

} // namespace

class TstPrompts : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void initTestCase()
    {
        // A home of its own: the documents folder the dialogs fall back to is made here.
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("home"))));
        qputenv("HOME", dir.filePath(QStringLiteral("home")).toLocal8Bit());
        qunsetenv("XDG_CONFIG_HOME");
        // The dialogs open in the folder last used: here, the test's own.
        folders::setSettingsFile(dir.filePath(QStringLiteral("pastas.ini")));
        folders::remember(QStringLiteral("dlf"), dir.filePath(QStringLiteral("anterior.dlf")));
    }

    void saveDialogAsksBeforeReplacingTheFinalName()
    {
        const QString existing = dir.filePath(QStringLiteral("ensaio.dlf"));
        {
            QFile f(existing);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("antigo");
        }
        App app(App::realServices());
        bool missed = false;

        // "No" to the question: the dialog stays, nothing is chosen.
        QString question;
        bool stillOpen = false;
        whenModal<QFileDialog>(
            [&](QFileDialog *d) {
                type(d, QStringLiteral("ensaio"));
                whenModal<QMessageBox>(
                    [&](QMessageBox *box) {
                        question = box->text();
                        box->button(QMessageBox::No)->click();
                    },
                    &missed);
                QTest::keyClick(nameEdit(d), Qt::Key_Return);
                stillOpen = d->isVisible();
                d->reject();
            },
            &missed);
        app.state().FileChosen = false;
        ChooseSaveFile(app);
        QVERIFY(!missed);
        QVERIFY2(question.contains(QStringLiteral("ensaio.dlf")), qPrintable(question));
        QVERIFY(stillOpen);
        QVERIFY(!app.state().FileChosen);

        // "Yes": the existing file is the one chosen.
        whenModal<QFileDialog>(
            [&](QFileDialog *d) {
                type(d, QStringLiteral("ensaio"));
                whenModal<QMessageBox>([](QMessageBox *box) { box->button(QMessageBox::Yes)->click(); }, &missed);
                QTest::keyClick(nameEdit(d), Qt::Key_Return);
            },
            &missed);
        ChooseSaveFile(app);
        QVERIFY(!missed);
        QVERIFY(app.state().FileChosen);
        QCOMPARE(QFileInfo(app.state().RecordFilePath).absoluteFilePath(), QFileInfo(existing).absoluteFilePath());

        // A name ending in a dot gets no second dot; a new name asks nothing.
        WidgetPrompts prompts;
        auto typeAndAccept = [&](const QString &name, int filterDown) {
            whenModal<QFileDialog>(
                [&, name, filterDown](QFileDialog *d) {
                    auto *combo = d->findChild<QComboBox *>(QStringLiteral("fileTypeCombo"));
                    for (int i = 0; combo && i < filterDown; ++i)
                        QTest::keyClick(combo, Qt::Key_Down);
                    type(d, name);
                    QTest::keyClick(nameEdit(d), Qt::Key_Return);
                    if (d->isVisible()) {
                        missed = true; // an unexpected question kept it open
                        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
                            box->reject();
                        d->reject();
                    }
                },
                &missed);
            return prompts.saveFile(texts::kDataFilter, true);
        };
        const Prompts::FileChoice dotted = typeAndAccept(QStringLiteral("novo."), 0);
        QVERIFY(!missed);
        QVERIFY(dotted.accepted);
        QVERIFY2(!dotted.fileName.endsWith(QLatin1String("..dlf")), qPrintable(dotted.fileName));
        QVERIFY(dotted.fileTitle == QLatin1String("novo.") || dotted.fileTitle == QLatin1String("novo.dlf"));

        // "All Files" keeps the name as typed.
        const Prompts::FileChoice plain = typeAndAccept(QStringLiteral("notas"), 1);
        QVERIFY(!missed);
        QCOMPARE(plain.fileTitle, QStringLiteral("notas"));
        QCOMPARE(plain.filterIndex, 1);
    }

    void dialogsStartWhereTheUserWasLast()
    {
        QTemporaryDir place;
        folders::setSettingsFile(place.filePath(QStringLiteral("config/pastas.ini")));
        // The first time: the documents folder.
        const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QVERIFY(QDir().mkpath(docs));
        QCOMPARE(Prompts::startFolder(texts::kDataFilter), docs);

        const QString ensaios = place.filePath(QStringLiteral("ensaios"));
        QVERIFY(QDir().mkpath(ensaios));
        {
            QFile f(ensaios + QStringLiteral("/camara.dlf"));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        WidgetPrompts prompts;
        bool missed = false;
        QString startedIn;
        whenModal<QFileDialog>(
            [&](QFileDialog *d) {
                startedIn = d->directory().absolutePath();
                type(d, ensaios + QStringLiteral("/camara.dlf"));
                acceptTyped(d);
                if (d->isVisible()) {
                    missed = true;
                    d->reject();
                }
            },
            &missed);
        const Prompts::FileChoice opened = prompts.openFile(texts::kDataFilter);
        QVERIFY(!missed);
        QVERIFY(opened.accepted);
        QCOMPARE(QDir(startedIn), QDir(docs));

        // A later run reads the folder back from the file: data files, and
        // any kind never used before, start there.
        QSettings kept(folders::settingsFile(), QSettings::IniFormat);
        QCOMPARE(QDir(kept.value(QStringLiteral("folders/dlf")).toString()), QDir(ensaios));
        QCOMPARE(QDir(Prompts::startFolder(texts::kDataFilter)), QDir(ensaios));
        const QString pictures = QStringLiteral("Imagem PNG (*.png)|*.png|");
        QCOMPARE(QDir(Prompts::startFolder(pictures)), QDir(ensaios));

        // The real save dialog starts there too; a picture saved elsewhere
        // moves the pictures' folder, not the data files'.
        const QString imagens = place.filePath(QStringLiteral("imagens"));
        QVERIFY(QDir().mkpath(imagens));
        whenModal<QFileDialog>(
            [&](QFileDialog *d) {
                startedIn = d->directory().absolutePath();
                type(d, imagens + QStringLiteral("/grafico"));
                acceptTyped(d);
                if (d->isVisible()) {
                    missed = true;
                    d->reject();
                }
            },
            &missed);
        const Prompts::FileChoice saved = prompts.saveFile(pictures, true);
        QVERIFY(!missed);
        QCOMPARE(saved.fileTitle, QStringLiteral("grafico.png"));
        QCOMPARE(QDir(startedIn), QDir(ensaios));
        QCOMPARE(QDir(Prompts::startFolder(pictures)), QDir(imagens));
        QCOMPARE(QDir(Prompts::startFolder(texts::kDataFilter)), QDir(ensaios));

        // A folder that has gone is passed over.
        QVERIFY(QDir(ensaios).removeRecursively());
        QCOMPARE(QDir(Prompts::startFolder(texts::kDataFilter)), QDir(imagens));
    }
};

QTEST_MAIN(TstPrompts)
#include "tst_prompts.moc"
