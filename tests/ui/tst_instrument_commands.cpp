// The toolbar's instrument commands against the emulated instrument: the
// bytes it received, the prompts shown and the polling timer afterwards.
#include "support/TestApp.h"
#include "support/TestValues.h"

#include "emulator/EmulatedLink.h"
#include "ui/common/Commands.h"
#include "ui/dialogs/DialogLink.h"
#include "ui/dialogs/OffSet.h"
#include "ui/dialogs/SamplingChoice.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

namespace {

// Answers the next SamplingChoice as soon as it is shown modally.
void answerChoice(bool pc)
{
    QTimer::singleShot(0, [pc] {
        auto *choice = qobject_cast<SamplingChoice *>(QApplication::activeModalWidget());
        QVERIFY(choice);
        QVERIFY(choice->OptMeter->isChecked());
        if (pc)
            choice->OptPC->click();
        choice->CmdOK->click();
    });
}

} // namespace

class TstInstrumentCommands : public QObject {
    Q_OBJECT

    std::unique_ptr<TestApp> t;
    EmulatedLink *emu = nullptr;
    QTimer poll;

    App &app() { return *t->app; }
    ScriptedPrompts &prompts() { return *t->prompts; }
    InstrumentModel &model() { return emu->model(); }

    void setUpApp(bool newType = true, int truncatedAnswers = 0)
    {
        t = std::make_unique<TestApp>();
        EmulatorOptions options;
        options.newType = newType;
        options.truncatedAnswers = truncatedAnswers;
        auto link = std::make_unique<EmulatedLink>(options);
        emu = link.get();
        QVERIFY(emu->OpenPort());
        app().setLink(std::move(link));
        app().setTimers(&poll, nullptr);
        app().state().applyPanelLoadDefaults(t->clock->now());
        app().state().InstrumentType = newType ? QStringLiteral("NewType") : QStringLiteral("OldType");
        poll.setInterval(150);
        poll.start();
        model().clearReceivedLog();
    }

    QStringList inputPrompts() const
    {
        QStringList out;
        for (const auto &s : t->prompts->shown)
            if (s.kind == QLatin1String("input"))
                out << s.text;
        return out;
    }

private slots:
    void init()
    {
        dialoglink::setTimeoutSeconds(10);
        setUpApp();
    }
    void cleanup()
    {
        delete app().offset.data();
        t.reset();
    }

    void pcSamplingAnswers_data()
    {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("refusals");
        QTest::newRow("zero") << QStringList{"0"} << 1 << 0;
        QTest::newRow("above") << QStringList{"90000"} << 86400 << 0;
        QTest::newRow("half to even down") << QStringList{"2.5"} << 2 << 0;
        QTest::newRow("half to even up") << QStringList{"3,5"} << 4 << 0;
        QTest::newRow("fraction") << QStringList{" 7.6 "} << 8 << 0;
        QTest::newRow("huge") << QStringList{"1e300"} << 86400 << 0;
        QTest::newRow("negative") << QStringList{"-4"} << 1 << 0;
        QTest::newRow("not a number, then a number") << QStringList{"dez", "1.2.3", "inf", "10"} << 10 << 3;
        QTest::newRow("cancel") << QStringList{} << 2 << 0;
        QTest::newRow("not a number, then cancel") << QStringList{"abc"} << 2 << 1;
    }
    void pcSamplingAnswers()
    {
        QFETCH(QStringList, answers);
        QFETCH(int, stored);
        QFETCH(int, refusals);
        setUpApp(false); // the older instrument goes straight to the PC box
        app().state().SampleTick = 5;
        poll.stop();
        for (const QString &a : answers)
            prompts().inputAnswers.push_back(a);

        commands::sample(app());

        QVERIFY(app().state().PcSampling);
        QCOMPARE(app().state().PcSampleSeconds, stored);
        const QStringList asked = inputPrompts();
        QCOMPARE(asked.size(), refusals + 1);
        QCOMPARE(asked.first(),
                 QStringLiteral("Digite a taxa de amostragem do computador em segundos\r\n(1 <= t <= 86400 ) "));
        QCOMPARE(prompts().shown.first().title, QStringLiteral("Taxa de Amostragem"));
        QCOMPARE(prompts().shown.first().defaultAnswer, QStringLiteral("2"));
        QCOMPARE(prompts().messages(), QStringList(refusals, dialoglink::kNotANumber));
        const bool changed = !answers.isEmpty() && answers.last() != QLatin1String("abc");
        QCOMPARE(app().state().SampleTick, changed ? 0 : 5);
        QCOMPARE(poll.isActive(), changed);
        QVERIFY(model().receivedLog().isEmpty());
    }

    void choosingPcSamplingLeadsToThePcBox()
    {
        answerChoice(true);
        prompts().inputAnswers.push_back(QStringLiteral("30"));
        commands::sample(app());
        QVERIFY(app().state().PcSampling);
        QCOMPARE(app().state().PcSampleSeconds, 30);
        QVERIFY(model().receivedLog().isEmpty());
    }

    void instrumentSampling_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<int>("interval");
        QTest::newRow("300") << "300" << bytes({1, 44}) << 300;
        QTest::newRow("65535") << "65535" << bytes({255, 255}) << 65535;
        QTest::newRow("70000 clamped") << "70000" << bytes({255, 255}) << 65535;
        QTest::newRow("0 clamped") << "0" << bytes({0, 1}) << 1;
        QTest::newRow("256.5 to even") << "256.5" << bytes({1, 0}) << 256;
    }
    void instrumentSampling()
    {
        QFETCH(QString, answer);
        QFETCH(QByteArray, sent);
        QFETCH(int, interval);
        model().setLoggingInterval(90);
        answerChoice(false);
        prompts().inputAnswers.push_back(answer);

        commands::sample(app());

        QVERIFY(!app().state().PcSampling);
        QCOMPARE(inputPrompts(), QStringList{QStringLiteral(
                                     "Digite a taxa de amostragem do instrumento em Segundos\r\n(1 <= t <= 65535 ) ")});
        QCOMPARE(prompts().shown.last().title, QStringLiteral("Taxa de amostragem"));
        QCOMPARE(prompts().shown.last().defaultAnswer, QStringLiteral("90"));
        const QByteArray log = model().receivedLog();
        QVERIFY(log.contains("IR"));
        QVERIFY2(log.endsWith("IW" + sent), log.toHex().constData());
        QTRY_COMPARE_WITH_TIMEOUT(model().loggingInterval(), interval, 10000);
        QVERIFY(poll.isActive());
        QCOMPARE(app().state().PcSampleSeconds, 2);
    }

    void instrumentSamplingCancelled()
    {
        answerChoice(false);
        commands::sample(app());
        QVERIFY(!model().receivedLog().contains("IW"));
        QVERIFY(poll.isActive());
    }

    void refusedWhileLogging()
    {
        app().state().reading.InstrumentRecording = true;
        answerChoice(false);
        commands::sample(app());
        commands::manual(app());
        commands::powerOff(app());
        commands::setTime(app());
        QCOMPARE(prompts().messages(), QStringList(4, texts::kRecordingRefusal));
        for (const auto &s : prompts().shown) {
            QCOMPARE(s.title, texts::kTitle);
            QCOMPARE(s.icon, Prompts::Icon::Critical);
        }
        QVERIFY(model().receivedLog().isEmpty());
        QVERIFY(poll.isActive());
    }

    void recStop()
    {
        commands::recStop(app());
        QVERIFY(model().receivedLog().endsWith('R'));
        QVERIFY(model().receivedLog().contains('A'));
        QTRY_VERIFY_WITH_TIMEOUT(model().logging(), 10000);
        QVERIFY(poll.isActive());

        // While the instrument logs, only the handshake goes out.
        app().state().reading.InstrumentRecording = true;
        model().clearReceivedLog();
        commands::recStop(app());
        const QByteArray log = model().receivedLog();
        QVERIFY(!log.isEmpty());
        QCOMPARE(log.count('A'), log.size());
        // ...and the user learns that logging stops on the instrument.
        QCOMPARE(prompts().shown.size(), 1);
        QVERIFY(prompts().shown.first().text.contains(QStringLiteral("no próprio instrumento")));
        QCOMPARE(prompts().shown.first().icon, Prompts::Icon::Information);
    }

    void manualRecord()
    {
        model().setDrifting(false);
        commands::manual(app());
        QVERIFY(model().receivedLog().endsWith('S'));
        QVERIFY(poll.isActive());
    }

    void powerOffTime_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("minutes");
        QTest::newRow("10") << "10" << 10;
        QTest::newRow("300 clamped") << "300" << 255;
        QTest::newRow("0.5 clamped") << "0.5" << 1;
        QTest::newRow("12.5 to even") << "12.5" << 12;
    }
    void powerOffTime()
    {
        QFETCH(QString, answer);
        QFETCH(int, minutes);
        const int before = model().powerOffMinutes();
        QVERIFY(before != minutes);
        prompts().inputAnswers.push_back(answer);
        commands::powerOff(app());
        QCOMPARE(prompts().shown.size(), 1);
        QCOMPARE(prompts().shown[0].text,
                 QStringLiteral("Digite o tempo de desligamento automático em minutos\r\n(1 <= t <= 255 ) "));
        QCOMPARE(prompts().shown[0].title, QStringLiteral("Tempo de desligamento automático"));
        QCOMPARE(prompts().shown[0].defaultAnswer, QString::number(before));
        const QByteArray log = model().receivedLog();
        QVERIFY(log.contains("PR"));
        const qsizetype w = log.indexOf("PW");
        QVERIFY(w >= 0);
        QCOMPARE(log.mid(w, 3), QByteArray("PW") + char(minutes));
        QVERIFY2(log.endsWith(QByteArray("PA") + char(255)), log.toHex().constData());
        QTRY_COMPARE_WITH_TIMEOUT(model().powerOffMinutes(), minutes, 10000);
        QVERIFY(model().powerOffEnabled());
        QVERIFY(poll.isActive());
    }

    void powerOffSwitchedOffByAnEmptyAnswer()
    {
        commands::powerOff(app());
        const QByteArray log = model().receivedLog();
        QVERIFY(!log.contains("PW"));
        QVERIFY(log.endsWith(QByteArray("PA") + char(0)));
        QTRY_VERIFY_WITH_TIMEOUT(!model().powerOffEnabled(), 10000);
        QVERIFY(poll.isActive());
    }

    void offsetsShownInTheWindow_data()
    {
        QTest::addColumn<int>("flags");
        QTest::addColumn<int>("rh");
        QTest::addColumn<int>("temp");
        QTest::addColumn<QString>("txtH");
        QTest::addColumn<QString>("txtT");
        QTest::newRow("both negative") << 3 << 125 << 5 << "-12.5"
                                       << "-.5";
        QTest::newRow("zero") << 0 << 0 << 0 << "0.0"
                              << "0.0";
        QTest::newRow("largest") << 0 << 255 << 7 << "25.5"
                                 << "0.7";
    }
    void offsetsShownInTheWindow()
    {
        QFETCH(int, flags);
        QFETCH(int, rh);
        QFETCH(int, temp);
        QFETCH(QString, txtH);
        QFETCH(QString, txtT);
        model().setOffsets(quint8(flags), quint8(rh), quint8(temp));
        // Not refused while the instrument logs.
        app().state().reading.InstrumentRecording = true;

        commands::offset(app());

        auto *window = qobject_cast<OffSet *>(app().offset.data());
        QVERIFY(window);
        QVERIFY(window->isVisible());
        QCOMPARE(window->TxtH->text(), txtH);
        QCOMPARE(window->TxtT->text(), txtT);
        QVERIFY(model().receivedLog().endsWith("BR"));
        QVERIFY(!poll.isActive()); // until the window is done with
        QVERIFY(prompts().shown.isEmpty());
    }

    void offsetRoundTripThroughTheWindow()
    {
        commands::command1(app());
        auto *window = qobject_cast<OffSet *>(app().offset.data());
        QVERIFY(window);
        // Typed as a Brazilian user types them: a decimal comma.
        window->TxtH->clear();
        window->TxtT->clear();
        QTest::keyClicks(window->TxtH, QStringLiteral("12,5"));
        QTest::keyClicks(window->TxtT, QStringLiteral("-2,5"));
        window->CmdOK->click();
        QVERIFY(model().receivedLog().endsWith("BW" + bytes({2, 125, 25})));
        QVERIFY(poll.isActive());
        QTRY_VERIFY(!app().offset);
        QTRY_COMPARE_WITH_TIMEOUT(int(model().rhOffsetTenths()), 125, 10000);

        // The instrument now answers with what was written.
        commands::offset(app());
        window = qobject_cast<OffSet *>(app().offset.data());
        QVERIFY(window);
        QCOMPARE(window->TxtH->text(), QStringLiteral("12.5"));
        QCOMPARE(window->TxtT->text(), QStringLiteral("-2.5"));
        window->close();
        QVERIFY(poll.isActive());
    }

    void shortAnswers()
    {
        // Every command's first answer comes cut in half: the interval and
        // offset reads ask again; the power-off read has no byte to show.
        setUpApp(true, 1);
        model().setLoggingInterval(300);
        model().setOffsets(1, 20, 30);
        answerChoice(false);
        commands::sample(app());
        QCOMPARE(prompts().shown.last().defaultAnswer, QStringLiteral("300"));
        QCOMPARE(model().receivedLog().count("IR"), 2);

        commands::offset(app());
        auto *window = qobject_cast<OffSet *>(app().offset.data());
        QVERIFY(window);
        QCOMPARE(window->TxtH->text(), QStringLiteral("-2.0"));
        QCOMPARE(window->TxtT->text(), QStringLiteral("3.0"));
        QCOMPARE(model().receivedLog().count("BR"), 2);
        window->close();

        prompts().inputAnswers.push_back(QStringLiteral("15"));
        commands::powerOff(app());
        QCOMPARE(prompts().shown.last().title, QStringLiteral("Tempo de desligamento automático"));
        QCOMPARE(prompts().shown.last().defaultAnswer, QString());
        QCOMPARE(model().receivedLog().count("PR"), 1);
        QTRY_COMPARE_WITH_TIMEOUT(model().powerOffMinutes(), 15, 10000);
        QVERIFY(prompts().messages().isEmpty());
        QVERIFY(poll.isActive());
    }

    void silentInstrumentGivesUp()
    {
        dialoglink::setTimeoutSeconds(0.6);
        emu->setSilent(true);
        answerChoice(false);
        commands::sample(app());
        QVERIFY(poll.isActive());
        poll.stop();
        commands::powerOff(app());
        QVERIFY(poll.isActive());
        poll.stop();
        commands::offset(app());
        QVERIFY(poll.isActive());
        QVERIFY(!app().offset);
        poll.stop();
        commands::manual(app());
        QVERIFY(poll.isActive());
        QCOMPARE(prompts().messages(), QStringList(4, dialoglink::kNoAnswer));
        QVERIFY(inputPrompts().isEmpty());
        for (const auto &s : prompts().shown)
            QCOMPARE(s.title, texts::kTitle);
    }

    void oneExchangeAtATime()
    {
        // A click that arrives while a command waits on the instrument is
        // refused with a word, and sends nothing.
        bool nestedRan = false;
        prompts().onShown = [&](const ScriptedPrompts::Shown &s) {
            if (s.kind != QLatin1String("input"))
                return;
            const QByteArray before = model().receivedLog();
            commands::manual(app());
            nestedRan = model().receivedLog() != before;
        };
        prompts().inputAnswers.push_back(QString());
        commands::powerOff(app());
        prompts().onShown = {};
        QVERIFY(!nestedRan);
        QVERIFY(!model().receivedLog().contains('S'));
        QCOMPARE(prompts().messages(), QStringList{dialoglink::kExchangeBusy});
        QCOMPARE(prompts().shown.last().title, texts::kTitle);

        // The logger memory's window being open does not hold the commands back.
        app().state().MemoryBusy = true;
        model().clearReceivedLog();
        commands::manual(app());
        QTRY_VERIFY_WITH_TIMEOUT(model().receivedLog().contains('S'), 10000);
        QCOMPARE(prompts().messages().size(), 1);
    }
};

QTEST_MAIN(TstInstrumentCommands)
#include "tst_instrument_commands.moc"
