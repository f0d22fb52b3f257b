#include "core/link/Protocol.h"
#include "ui/common/App.h"
#include "ui/common/Changes.h"
#include "ui/common/Commands.h"
#include "ui/dialogs/AddText.h"
#include "ui/dialogs/DialogLink.h"
#include "ui/dialogs/OffSet.h"
#include "ui/dialogs/SamplingChoice.h"
#include "ui/dialogs/Setup.h"

#include <QPointer>

#include <functional>

namespace {

const QString kPcPrompt =
    QStringLiteral("Digite a taxa de amostragem do computador em segundos\r\n(1 <= t <= 86400 ) ");
const QString kPcTitle = QStringLiteral("Taxa de Amostragem");
const QString kMeterPrompt =
    QStringLiteral("Digite a taxa de amostragem do instrumento em Segundos\r\n(1 <= t <= 65535 ) ");
const QString kMeterTitle = QStringLiteral("Taxa de amostragem");
const QString kPowerOffPrompt =
    QStringLiteral("Digite o tempo de desligamento automático em minutos\r\n(1 <= t <= 255 ) ");
const QString kPowerOffTitle = QStringLiteral("Tempo de desligamento automático");
const QString kStopOnInstrument = QStringLiteral("A gravação automática em andamento só pode ser interrompida "
                                                 "no próprio instrumento.");

// Ends a command whose exchange gave up: the reason, then the polling again.
void giveUp(App &app, const LinkContext &ctx)
{
    dialoglink::reportFailure(app, ctx);
    app.startPolling();
}

// A command that only sends: polling paused around it, the usual message
// when the instrument does not answer.
void runSend(App &app, const std::function<bool(LinkContext &)> &send)
{
    dialoglink::Exchange exchange(app);
    if (!exchange.active())
        return;
    app.stopPolling();
    LinkContext ctx = dialoglink::context(app);
    if (!send(ctx)) {
        giveUp(app, ctx);
        return;
    }
    app.startPolling();
}

void pcSampling(App &app)
{
    SharedState &s = app.state();
    const auto value = dialoglink::askNumber(app, kPcPrompt, kPcTitle, QString::number(s.PcSampleSeconds));
    if (!value)
        return;
    s.PcSampleSeconds = clampPcSampleSeconds(*value);
    s.SampleTick = 0;
    app.startPolling();
}

void instrumentSampling(App &app)
{
    if (app.state().reading.InstrumentRecording) {
        app.refuseRecording();
        return;
    }
    dialoglink::Exchange exchange(app);
    if (!exchange.active())
        return;
    app.stopPolling();
    LinkContext ctx = dialoglink::context(app);
    const std::optional<int> current = readSamplingInterval(ctx);
    if (!current) {
        giveUp(app, ctx);
        return;
    }
    const auto value = dialoglink::askNumber(app, kMeterPrompt, kMeterTitle, QString::number(*current));
    const auto reason = value ? changes::askReason(app) : std::nullopt;
    if (!value || !reason) {
        app.startPolling();
        return;
    }
    const int seconds = clampSamplingSeconds(*value);
    if (!writeSamplingInterval(ctx, seconds)) {
        giveUp(app, ctx);
        return;
    }
    changes::record(app, QStringLiteral("instrument.interval.set"), *current, seconds, *reason);
    app.startPolling();
}

// Reads the offsets and shows them in the offset window; the polling stays
// stopped until that window is done with.
void readAndShowOffsets(App &app)
{
    dialoglink::Exchange exchange(app);
    if (!exchange.active())
        return;
    app.stopPolling();
    LinkContext ctx = dialoglink::context(app);
    const std::optional<Offsets> offsets = readOffsets(ctx);
    if (!offsets) {
        giveUp(app, ctx);
        return;
    }
    QPointer<OffSet> window = qobject_cast<OffSet *>(app.offset.data());
    if (window && !window->isVisible()) {
        // A window closed before is done with: shown again it would never
        // start the polling when it closes a second time.
        window->deleteLater();
        window = nullptr;
    }
    if (!window) {
        window = new OffSet(app, app.mainWindow());
        app.offset = window.data();
    }
    window->showOffsets(offsets->signedRhTenths(), offsets->signedTempTenths());
    if (window->isVisible()) {
        window->raise();
        window->activateWindow();
    } else {
        window->show();
    }
}

} // namespace

namespace commands {

void sample(App &app)
{
    SharedState &s = app.state();
    if (s.InstrumentType == QLatin1String("NewType")) {
        // A new window each time, so it always opens on the instrument's rate.
        QPointer<SamplingChoice> choice = new SamplingChoice(app, app.mainWindow());
        choice->exec();
        if (choice)
            choice->deleteLater();
    } else {
        s.PcSampling = true;
    }
    if (s.PcSampling)
        pcSampling(app);
    else
        instrumentSampling(app);
}

void recStop(App &app)
{
    const bool recording = app.state().reading.InstrumentRecording;
    const auto reason = recording ? std::optional<QString>() : changes::askReason(app);
    if (!recording && !reason)
        return;
    runSend(app, [&](LinkContext &ctx) {
        if (!startLogging(ctx, recording))
            return false;
        if (!recording)
            changes::record(app, QStringLiteral("instrument.logging.start"), false, true, *reason);
        return true;
    });
    // The instrument takes no command to stop logging: without a word the
    // click would seem lost.
    if (recording)
        app.prompts().message(kStopOnInstrument, texts::kTitle, Prompts::Buttons::Ok, Prompts::Icon::Information);
}

void manual(App &app)
{
    if (app.state().reading.InstrumentRecording) {
        app.refuseRecording();
        return;
    }
    const auto reason = changes::askReason(app);
    if (!reason)
        return;
    runSend(app, [&](LinkContext &ctx) {
        if (!manualRecord(ctx))
            return false;
        changes::record(app, QStringLiteral("instrument.manual_record"), QJsonValue::Null, QJsonValue::Null, *reason);
        return true;
    });
}

void powerOff(App &app)
{
    if (app.state().reading.InstrumentRecording) {
        app.refuseRecording();
        return;
    }
    dialoglink::Exchange exchange(app);
    if (!exchange.active())
        return;
    app.stopPolling();
    LinkContext ctx = dialoglink::context(app);
    const std::optional<int> current = readPowerOffMinutes(ctx);
    if (!current && ctx.failure != LinkFailure::None) {
        giveUp(app, ctx);
        return;
    }
    // When the instrument let the handshake through but sent no minutes,
    // the box opens empty: nothing is invented.
    const QString defaultAnswer = current ? QString::number(*current) : QString();
    const auto value = dialoglink::askNumber(app, kPowerOffPrompt, kPowerOffTitle, defaultAnswer);
    const auto reason = changes::askReason(app);
    if (!reason) {
        app.startPolling();
        return;
    }
    const std::optional<int> minutes = value ? std::optional(clampPowerOffMinutes(*value)) : std::nullopt;
    const bool sent = minutes ? writePowerOff(ctx, *minutes) : switchPowerOffOff(ctx);
    if (!sent) {
        giveUp(app, ctx);
        return;
    }
    changes::record(app, QStringLiteral("instrument.poweroff.set"), current ? QJsonValue(*current) : QJsonValue(),
                    minutes ? QJsonValue(*minutes) : QJsonValue(QStringLiteral("off")), *reason);
    app.startPolling();
}

void offset(App &app)
{
    readAndShowOffsets(app);
}

void command1(App &app)
{
    readAndShowOffsets(app);
}

void setTime(App &app)
{
    if (app.state().reading.InstrumentRecording) {
        app.refuseRecording();
        return;
    }
    if (!app.link() || dialoglink::refuseWhileBusy(app))
        return;
    app.stopPolling();
    QPointer<Setup> setup = new Setup(app, app.mainWindow());
    setup->exec();
    if (setup)
        setup->deleteLater();
}

void addText(App &app)
{
    SharedState &s = app.state();
    if (s.AddTextOpen && app.addText)
        return;
    s.AddTextOpen = true;
    auto *window = new AddText(app, app.mainWindow());
    app.addText = window;
    window->show();
}

} // namespace commands
