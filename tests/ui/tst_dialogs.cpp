// The settings windows on their own: placement, key filters, validation,
// the clock window's displays and writes, the sampling choice and the
// name/sector/company files.
#include "support/TestApp.h"
#include "support/TestValues.h"

#include "core/link/Protocol.h"
#include "emulator/EmulatedLink.h"
#include "ui/common/Commands.h"
#include "ui/dialogs/AddText.h"
#include "ui/dialogs/CaptionPanel.h"
#include "ui/dialogs/DialogLink.h"
#include "ui/dialogs/OffSet.h"
#include "ui/dialogs/SamplingChoice.h"
#include "ui/dialogs/Setup.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

bool writeAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

QString LblText(QWidget *w, const char *name)
{
    auto *label = w->findChild<QLabel *>(QLatin1String(name));
    return label ? label->text() : QString();
}

} // namespace

class TstDialogs : public QObject {
    Q_OBJECT

    std::unique_ptr<TestApp> t;
    EmulatedLink *emu = nullptr;
    QTimer poll;
    std::unique_ptr<QWidget> main;

    App &app() { return *t->app; }
    ScriptedPrompts &prompts() { return *t->prompts; }
    InstrumentModel &model() { return emu->model(); }

private slots:
    void init()
    {
        dialoglink::setTimeoutSeconds(10);
        t = std::make_unique<TestApp>();
        EmulatorOptions options;
        auto link = std::make_unique<EmulatedLink>(options);
        emu = link.get();
        QVERIFY(emu->OpenPort());
        app().setLink(std::move(link));
        app().setTimers(&poll, nullptr);
        poll.setInterval(150);
        poll.stop();
        main = std::make_unique<QWidget>();
        main->setGeometry(100, 80, 600, 400);
        main->show();
        app().setMainWindow(main.get());
        model().clearReceivedLog();
    }
    void cleanup()
    {
        delete app().offset.data();
        delete app().addText.data();
        main.reset();
        t.reset();
    }

    // ---- Setup

    void clockBytesSent_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<bool>("viaPanel");
        const QDateTime a(QDate(2008, 8, 1), QTime(9, 5, 7));
        const QDateTime b(QDate(2009, 12, 31), QTime(23, 59, 59));
        QTest::newRow("push button") << a << bytes({0x08, 0x08, 0x01, 0x09, 0x05, 0x07}) << false;
        QTest::newRow("raised panel") << a << bytes({0x08, 0x08, 0x01, 0x09, 0x05, 0x07}) << true;
        QTest::newRow("end of 2009") << b << bytes({0x09, 0x12, 0x31, 0x23, 0x59, 0x59}) << true;
    }
    void clockBytesSent()
    {
        QFETCH(QDateTime, now);
        QFETCH(QByteArray, sent);
        QFETCH(bool, viaPanel);
        t->clock->t = now;
        Setup setup(app());
        setup.show();
        if (viaPanel) {
            QTest::mousePress(setup.CmdSet, Qt::LeftButton);
            QCOMPARE(setup.CmdSet->bevelOuter(), 1);
            QTest::mouseRelease(setup.CmdSet, Qt::LeftButton);
        } else {
            setup.CmdSetTime->click();
        }
        QCOMPARE(setup.CmdSet->bevelOuter(), 2);
        const QByteArray log = model().receivedLog();
        QVERIFY2(log.endsWith("TW" + sent), log.toHex().constData());
        QCOMPARE(log.count("TW"), 1);
        QTRY_COMPARE_WITH_TIMEOUT(model().clock(emu->driver().nowMs()).date(), now.date(), 10000);
        QVERIFY(setup.Timer1->isActive());
        QVERIFY(!poll.isActive());
    }

    void clockDisplays()
    {
        model().setClock(QDateTime(QDate(2008, 12, 31), QTime(23, 59, 58)), emu->driver().nowMs());
        Setup setup(app());
        setup.show();
        QCOMPARE(setup.windowTitle(), QStringLiteral("Setup"));
        QCOMPARE(setup.LblMeterTime->text(), QStringLiteral("Hora do instrumento"));
        QCOMPARE(setup.LblPCTime->text(), QStringLiteral("Hora do sistema do computador"));

        QTest::mouseClick(setup.LblPCTime, Qt::LeftButton);
        QTRY_COMPARE(setup.LblPCTime->text(), QStringLiteral("26/12/08 10:00:00"));
        QTest::mouseClick(setup.LblPCTime, Qt::LeftButton);
        QTRY_COMPARE(setup.LblPCTime->text(), QStringLiteral("Hora do sistema do computador"));

        QTest::mouseClick(setup.LblMeterTime, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(setup.LblMeterTime->text() != QStringLiteral("Hora do instrumento"), 10000);
        snapshot(&setup, QStringLiteral("Setup"));
        // The emulated clock runs on, so allow for the seconds the exchange took.
        const QString shown = setup.LblMeterTime->text();
        QCOMPARE(shown.size(), 17);
        QVERIFY2(shown.startsWith(QStringLiteral("08/12/31 23:59:5")) ||
                     shown.startsWith(QStringLiteral("09/01/01 00:00:")),
                 qPrintable(shown));
        QVERIFY(model().receivedLog().contains("TR"));
        QTest::mouseClick(setup.LblMeterTime, Qt::LeftButton);
        QTRY_COMPARE(setup.LblMeterTime->text(), QStringLiteral("Hora do instrumento"));
        QVERIFY(prompts().shown.isEmpty());
    }

    void closingRestartsPolling()
    {
        poll.stop();
        auto *setup = new Setup(app());
        setup->show();
        QVERIFY(setup->Timer1->isActive());
        setup->CmdExit->click();
        QVERIFY(!setup->isVisible());
        QVERIFY(!setup->Timer1->isActive());
        QVERIFY(poll.isActive());
        delete setup;
    }

    void closesWhenTheInstrumentLogs()
    {
        poll.stop();
        Setup setup(app());
        setup.show();
        app().state().reading.InstrumentRecording = true;
        QTRY_VERIFY(!setup.isVisible());
        QVERIFY(poll.isActive());
    }

    void silentClockDisplayGivesUp()
    {
        dialoglink::setTimeoutSeconds(0.5);
        emu->setSilent(true);
        Setup setup(app());
        setup.show();
        QTest::mouseClick(setup.LblMeterTime, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(prompts().messages(), QStringList{dialoglink::kNoAnswer}, 10000);
        QVERIFY(!setup.meterClockShown());
        QCOMPARE(setup.LblMeterTime->text(), QStringLiteral("Hora do instrumento"));
        QTRY_VERIFY(setup.Timer1->isActive());
        // Further ticks do not ask the instrument again.
        QSignalSpy ticks(setup.Timer1, &QTimer::timeout);
        QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= 3, 10000);
        QCOMPARE(prompts().messages().size(), 1);
    }

    void setTimeCommandIsModalAndPlaced()
    {
        poll.start();
        QRect placed;
        QTimer::singleShot(0, [&] {
            auto *setup = qobject_cast<Setup *>(QApplication::activeModalWidget());
            QVERIFY(setup);
            placed = setup->frameGeometry();
            QVERIFY(!poll.isActive());
            setup->CmdExit->click();
        });
        commands::setTime(app());
        QVERIFY(poll.isActive());
        const QRect g = main->frameGeometry();
        QCOMPARE(placed.top(), g.top() + twipsToPixelsY(1000));
        QVERIFY(qAbs(placed.left() - (g.left() + (g.width() - placed.width()) / 2)) <= 1);
    }

    // ---- SamplingChoice

    void samplingChoice()
    {
        app().state().PcSampling = true;
        {
            SamplingChoice choice(app());
            QCOMPARE(choice.windowTitle(), QStringLiteral("Sampling Rate"));
            QVERIFY(choice.OptMeter->isChecked());
            QVERIFY(!choice.OptPC->isChecked());
            QCOMPARE(choice.pos(), main->frameGeometry().topLeft() + QPoint(twipsToPixelsX(120), twipsToPixelsY(840)));
            choice.show();
            snapshot(&choice, QStringLiteral("SamplingChoice"));
            choice.CmdOK->click();
            QVERIFY(!app().state().PcSampling);
        }
        {
            SamplingChoice choice(app());
            choice.OptPC->click();
            QVERIFY(!choice.OptMeter->isChecked());
            choice.CmdOK->click();
            QVERIFY(app().state().PcSampling);
        }
        {
            // The close box keeps the previous choice.
            SamplingChoice choice(app());
            choice.show();
            choice.OptMeter->click();
            choice.close();
            QVERIFY(app().state().PcSampling);
        }
    }

    // ---- OffSet

    void offsetEntries_data()
    {
        QTest::addColumn<QString>("h");
        QTest::addColumn<QString>("t");
        QTest::addColumn<QByteArray>("sent"); // empty: refused
        QTest::newRow("12.5 / -2.5") << "12.5"
                                     << "-2.5" << bytes({2, 125, 25});
        QTest::newRow("-0.5 / 0") << "-0.5"
                                  << "0" << bytes({1, 5, 0});
        QTest::newRow("25.5 accepted") << "0"
                                       << "25.5" << bytes({0, 0, 255});
        QTest::newRow("-25.5 accepted") << "-25.5"
                                        << "-25.5" << bytes({3, 255, 255});
        QTest::newRow("empty boxes") << ""
                                     << "" << bytes({0, 0, 0});
        QTest::newRow("--5 is 0") << "--5"
                                  << "5-" << bytes({0, 0, 50});
        QTest::newRow("12.25 to even") << "12.25"
                                       << "0.35" << bytes({0, 122, 4});
        QTest::newRow("leading number") << "1.5.7"
                                        << "-.5" << bytes({2, 15, 5});
        QTest::newRow("25.6 refused") << "0"
                                      << "25.6" << QByteArray();
        QTest::newRow("-30 refused") << "-30"
                                     << "0" << QByteArray();
        QTest::newRow("25.55 refused") << "25.55"
                                       << "0" << QByteArray();
    }
    void offsetEntries()
    {
        QFETCH(QString, h);
        QFETCH(QString, t);
        QFETCH(QByteArray, sent);
        auto *window = new OffSet(app(), main.get());
        app().offset = window;
        window->show();
        window->TxtH->setText(h);
        window->TxtT->setText(t);
        QVERIFY(!poll.isActive());
        window->CmdOK->click();
        QVERIFY(poll.isActive());
        if (sent.isEmpty()) {
            QCOMPARE(prompts().messages(), QStringList{QStringLiteral(" -25.5 <= Offset Value <= 25.5 ")});
            QCOMPARE(prompts().shown[0].title, texts::kTitle);
            QCOMPARE(prompts().shown[0].icon, Prompts::Icon::Critical);
            QVERIFY(window->isVisible());
            QVERIFY(window->TxtH->text().isEmpty());
            QVERIFY(window->TxtT->text().isEmpty());
            QVERIFY(model().receivedLog().isEmpty());
        } else {
            QVERIFY(prompts().shown.isEmpty());
            const QByteArray log = model().receivedLog();
            QVERIFY2(log.endsWith("BW" + sent), log.toHex().constData());
            QTRY_VERIFY(!app().offset);
        }
    }

    void offsetWindow()
    {
        auto *window = new OffSet(app(), main.get());
        app().offset = window;
        QCOMPARE(window->windowTitle(), QStringLiteral("Compensação"));
        QCOMPARE(window->pos(),
                 QPoint(main->frameGeometry().left() + main->frameGeometry().width(), main->frameGeometry().top()));
        QCOMPARE(window->SSPanel5->text(), QStringLiteral("%UR"));
        QCOMPARE(window->SSPanel4->text(), QStringLiteral("Celsius"));
        window->show();
        window->showOffsets(-125, -5);
        snapshot(window, QStringLiteral("OffSet"));

        // Only digits, "-", "." and Backspace reach the boxes; a decimal
        // comma is the point the box reads, not a key to drop.
        window->TxtH->clear();
        QTest::keyClicks(window->TxtH, QStringLiteral("a12b,5x*-"));
        QCOMPARE(window->TxtH->text(), QStringLiteral("12.5-"));
        QTest::keyClick(window->TxtH, Qt::Key_Backspace);
        QCOMPARE(window->TxtH->text(), QStringLiteral("12.5"));
        QCOMPARE(OffSet::TxtT_KeyPress(','), int('.'));
        QCOMPARE(OffSet::TxtT_KeyPress('7'), int('7'));

        // Closing without Ok sends nothing and starts the polling.
        window->close();
        QVERIFY(poll.isActive());
        QVERIFY(model().receivedLog().isEmpty());
        QTRY_VERIFY(!app().offset);
    }

    void offsetSilentWrite()
    {
        dialoglink::setTimeoutSeconds(0.4);
        emu->setSilent(true);
        auto *window = new OffSet(app(), main.get());
        app().offset = window;
        window->show();
        window->TxtH->setText(QStringLiteral("1"));
        window->CmdOK->click();
        QCOMPARE(prompts().messages(), QStringList{dialoglink::kNoAnswer});
        QVERIFY(window->isVisible()); // the user may try again
        QVERIFY(poll.isActive());
        QVERIFY(!model().receivedLog().contains("BW"));
    }

    // ---- AddText

    void addTextWindowAtMostOnce()
    {
        commands::addText(app());
        auto *window = qobject_cast<AddText *>(app().addText.data());
        QVERIFY(window);
        QVERIFY(app().state().AddTextOpen);
        QCOMPARE(window->windowTitle(), QStringLiteral("Nome, Setor, Empresa"));
        const QRect g = main->frameGeometry();
        QCOMPARE(window->pos(), QPoint(g.left(), g.top() + g.height()));
        window->TxtName->setText(QStringLiteral("kept"));
        commands::addText(app());
        QCOMPARE(app().addText.data(), window);
        QCOMPARE(window->TxtName->text(), QStringLiteral("kept"));
        QCOMPARE(LblText(window, "LblName"), QStringLiteral("Nome:"));
        QCOMPARE(LblText(window, "LblSector"), QStringLiteral("Setor:"));
        QCOMPARE(LblText(window, "LblCompany"), QStringLiteral("Empresa:"));
        QVERIFY(window->CmdOpen->text().isEmpty() && !window->CmdOpen->icon().isNull());
        QVERIFY(window->CmdSave->text().isEmpty() && !window->CmdSave->icon().isNull());
        snapshot(window, QStringLiteral("AddText"));

        // "*" cannot be typed; everything else can.
        window->TxtSector->clear();
        QTest::keyClicks(window->TxtSector, QStringLiteral("a*b, c;"));
        QCOMPARE(window->TxtSector->text(), QStringLiteral("ab, c;"));

        window->close();
        QVERIFY(!app().state().AddTextOpen);
        QTRY_VERIFY(!app().addText);
        commands::addText(app());
        QVERIFY(app().addText);
        QVERIFY(app().state().AddTextOpen);
    }

    void nseSaveAndOpen()
    {
        AddText window(app());
        const QString path = t->path(QStringLiteral("pessoa.nse"));

        // All empty: three empty lines.
        prompts().answerFile(path);
        window.CmdSave->click();
        QCOMPARE(prompts().shown.last().kind, QStringLiteral("save"));
        QCOMPARE(prompts().shown.last().text, QStringLiteral("Nome, Setor, Empresa (*.nse)|*.nse|"));
        QCOMPARE(readAll(path), QByteArray("\r\n\r\n\r\n"));

        // A comma and a non-ASCII letter travel on one line, in Windows-1252.
        window.TxtName->setText(QStringLiteral("Silva, João"));
        window.TxtSector->setText(QStringLiteral("Qualidade \"B\""));
        window.TxtCompany->setText(QStringLiteral("Ação *Ltda*"));
        prompts().answerFile(path);
        window.CmdSave->click();
        QCOMPARE(readAll(path), QByteArray("Silva, Jo\xe3o\r\nQualidade \"B\"\r\nA\xe7\xe3o *Ltda*\r\n"));

        AddText other(app());
        prompts().answerFile(path);
        other.CmdOpen->click();
        QCOMPARE(prompts().shown.last().kind, QStringLiteral("open"));
        QCOMPARE(other.TxtName->text(), QStringLiteral("Silva, João"));
        QCOMPARE(other.TxtSector->text(), QStringLiteral("Qualidade \"B\""));
        QCOMPARE(other.TxtCompany->text(), QStringLiteral("Ação *Ltda*"));
        QVERIFY(prompts().messages().isEmpty());
    }

    void nseOpenGroups()
    {
        AddText window(app());
        window.TxtCompany->setText(QStringLiteral("antes"));
        const QString two = t->path(QStringLiteral("two.nse"));
        QVERIFY(writeAll(two, "Ana\r\nLab\r\n"));
        prompts().answerFile(two);
        window.CmdOpen->click();
        QCOMPARE(window.TxtName->text(), QStringLiteral("Ana"));
        QCOMPARE(window.TxtSector->text(), QStringLiteral("Lab"));
        QCOMPARE(window.TxtCompany->text(), QStringLiteral("antes"));

        const QString six = t->path(QStringLiteral("six.nse"));
        QVERIFY(writeAll(six, "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n"));
        prompts().answerFile(six);
        window.CmdOpen->click();
        QCOMPARE(window.TxtName->text(), QStringLiteral("4"));
        QCOMPARE(window.TxtSector->text(), QStringLiteral("5"));
        QCOMPARE(window.TxtCompany->text(), QStringLiteral("6"));
    }

    void nseFailuresAndCancel()
    {
        AddText window(app());
        window.TxtName->setText(QStringLiteral("x"));
        // Cancelled dialogs do nothing.
        window.CmdSave->click();
        window.CmdOpen->click();
        QCOMPARE(window.TxtName->text(), QStringLiteral("x"));
        QVERIFY(prompts().messages().isEmpty());

        // A file that cannot be written or read is reported, and nothing changes.
        prompts().answerFile(t->path(QStringLiteral("no/such/folder/a.nse")));
        window.CmdSave->click();
        prompts().answerFile(t->path(QStringLiteral("missing.nse")));
        window.CmdOpen->click();
        const QStringList shown = prompts().messages();
        QCOMPARE(shown.size(), 2);
        QVERIFY(shown[0].startsWith(QStringLiteral("Não foi possível salvar o arquivo a.nse.")));
        QVERIFY(shown[1].startsWith(QStringLiteral("Não foi possível abrir o arquivo missing.nse.")));
        QCOMPARE(window.TxtName->text(), QStringLiteral("x"));
    }
};

QTEST_MAIN(TstDialogs)
#include "tst_dialogs.moc"
