#pragma once

#include "core/link/SerialLink.h"
#include "core/reading/Decode.h"
#include "emulator/EmulatedLink.h"
#include "support/TestApp.h"
#include "ui/panel/Panel.h"

#include <QAction>
#include <QFile>
#include <QTest>

#include <memory>

// One PC sample (Timer2's tick) from a reading that arrived after the call.
inline void sampleFreshReading(Panel &panel)
{
    const quint64 frames = panel.framesDecoded();
    QTRY_VERIFY_WITH_TIMEOUT(panel.framesDecoded() > frames && !panel.linkDown(), 10000);
    panel.Timer2_Timer();
}

// The main window's samples are taken by the test, one per Timer2_Timer() call,
// so that record numbers are exact.
inline void sampleByHand(Panel &panel)
{
    panel.Timer2->stop();
    sharedState().PcSampleSeconds = 1;
}

// A main window on the link `app` holds, started and showing readings, its
// samples taken by hand; null when it does not start within 20 s.
inline std::unique_ptr<Panel> startPanelSampledByHand(App &app)
{
    Panel::setExitHandler([](int) {});
    auto panel = std::make_unique<Panel>(app);
    if (!panel->Form_Load())
        return nullptr;
    panel->show();
    if (!QTest::qWaitFor([&] { return panel->framesDecoded() > 0 && !panel->linkDown(); }, 20000))
        return nullptr;
    sampleByHand(*panel);
    return panel;
}

// A main window on the emulated instrument, with scripted prompts and a fake
// clock. The instrument streams fast so that tests run quickly; the panel's
// own timing rules are unchanged.
struct PanelFixture {
    TestApp t;
    EmulatedLink *link = nullptr;
    std::unique_ptr<Panel> panel;
    QList<int> exits; // exit codes the panel asked for

    static EmulatorOptions fastInstrument(bool newType = true)
    {
        EmulatorOptions o;
        o.newType = newType;
        o.tempC = 25.0;
        o.rh = 50.0;
        o.frameMs = 30;
        o.resumeMs = 250; // the handshake judges what arrives in 0.2 s after "A"
        return o;
    }

    explicit PanelFixture(const EmulatorOptions &options = fastInstrument())
    {
        setDisplayLocale(QLocale::c());
        Panel::setExitHandler([this](int code) { exits << code; });
        auto l = std::make_unique<EmulatedLink>(options);
        link = l.get();
        t.app->setLink(std::move(l));
        SharedState &s = sharedState();
        s.ComPort = 3;
        s.PortName = QStringLiteral("COM3");
        panel = std::make_unique<Panel>(*t.app);
    }

    ~PanelFixture()
    {
        panel.reset();
        Panel::setExitHandler({});
    }

    SharedState &state() { return sharedState(); }
    Reading &reading() { return sharedState().reading; }

    // Form_Load, then the first values on screen.
    bool start(int ms = 10000)
    {
        if (!panel->Form_Load())
            return false;
        panel->show();
        return waitLive(ms);
    }

    bool waitLive(int ms = 10000)
    {
        return QTest::qWaitFor([this] { return !panel->linkDown() && !panel->LblTemperature->text().isEmpty(); }, ms);
    }

    // The instrument's values reach the screen.
    bool waitTemperature(const QString &text, int ms = 10000)
    {
        return QTest::qWaitFor([&] { return panel->LblTemperature->text() == text; }, ms);
    }

    void sampleByHand() { ::sampleByHand(*panel); }
};
