// The real save dialog behind "Save": typed into as a user would, offscreen.
// The extension must be part of the name the dialog checks for an existing
// file, or its overwrite question never comes.
#include "core/link/Pause.h"
#include "ui/common/App.h"
#include "ui/common/Commands.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
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
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, name);
}

} // namespace

class TstPrompts : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    QString home;

private slots:
    void initTestCase()
    {
        home = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path())); // where the dialog opens
    }
    void cleanupTestCase() { QDir::setCurrent(home); }

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
    }
};

QTEST_MAIN(TstPrompts)
#include "tst_prompts.moc"
