#include "ui/panel/Panel.h"

#include "core/link/Pause.h"
#include "core/link/Protocol.h"
#include "core/link/SerialLink.h"
#include "core/reading/Decode.h"
#include "platform/EventPause.h"
#include "platform/LinkFactory.h"
#include "ui/common/App.h"
#include "ui/common/Commands.h"
#include "ui/panel/PanelParts.h"

#include <QFileInfo>
#include <QThread>

using namespace panelparts;

namespace {

// A resynchronisation that gets no valid answer for this long goes back to
// blinking "Sem Comunicação" instead of insisting in silence.
constexpr double kResyncSeconds = 4.0;
// A removed device is looked for again this often.
constexpr int kReopenMs = 1000;

} // namespace

void Panel::Timer1_Timer()
{
    // Waits inside a tick let the timer fire again; one tick at a time, and
    // none while the link is being recovered.
    if (inTick_ || unloaded_)
        return;
    if (blinking_) {
        Timer1->stop();
        return;
    }
    SharedState &s = app_.state();
    if (s.ResyncPending) {
        NoDataRoutine();
        return;
    }
    SerialLink *link = app_.link();
    if (!link)
        return;
    inTick_ = true;
    LinkContext ctx{*link, app_.pause()};
    const std::optional<QByteArray> frame = ReadLiveFrame(ctx, [this] {
        // The design's 60 points, as large as the window has made the values.
        QFont f = LblTemperature->font();
        if (f.pointSize() != valuePoints(kTemperaturePoints)) {
            f.setPointSize(valuePoints(kTemperaturePoints));
            LblTemperature->setFont(f);
        }
    });
    inTick_ = false;
    if (unloaded_ || app_.pause().aborted())
        return;
    if (!frame) {
        NoDataRoutine();
        return;
    }
    Reading &r = s.reading;
    decodeFrame(r, *frame);
    ++frames_;
    if (linkDown_) {
        showValuesStale(false);
        monitor_->linkChanged(true);
    }
    linkDown_ = false;
    app_.pause().processEvents();
    if (unloaded_)
        return;
    showReading(quint8(frame->at(1)));
    app_.pause().processEvents();
}

// The link is lost (or not yet found): blink "Sem Comunicação" until the
// instrument sends anything, then handshake, identify and poll again. The
// blinking runs on its own timer, so the rest of the program (and the user)
// carries on meanwhile.
void Panel::NoDataRoutine()
{
    Timer1->stop();
    if (unloaded_)
        return;
    linkDown_ = true;
    monitor_->linkChanged(false);
    showNoCommunication();
    SharedState &s = app_.state();
    if (s.ChartOpen)
        commands::closeLiveChart(app_);
    if (s.ListOpen)
        commands::closeLiveList(app_);
    blinking_ = true;
    blinkLevel_ = QThread::currentThread()->loopLevel();
    reopenClock_.invalidate();
    blinkTimer_->start();
}

bool Panel::portGone() const
{
    SerialLink *link = app_.link();
    return !link || link->hasFailed() || !link->isOpen();
}

void Panel::tryReopen()
{
    SerialLink *link = app_.link();
    if (!link)
        return;
    if (reopenClock_.isValid() && reopenClock_.elapsed() < kReopenMs)
        return;
    reopenClock_.start();
    // The same name again: a USB adapter that comes back gets its old name.
    link->close();
    link->OpenPort();
}

void Panel::blinkStep()
{
    if (!blinking_ || unloaded_ || app_.pause().aborted()) {
        blinkTimer_->stop();
        return;
    }
    // A handler waiting in a nested loop (a command talking to the instrument,
    // a dialog) owns the link until it returns: keep blinking, touch nothing.
    if (QThread::currentThread()->loopLevel() > blinkLevel_) {
        LblCOM->setVisible(!LblCOM->isVisible());
        return;
    }
    SerialLink *link = app_.link();
    if (portGone())
        tryReopen();
    if (portGone() || link->PendingCount() == 0) {
        LblCOM->setVisible(!LblCOM->isVisible());
        return;
    }
    blinkTimer_->stop();
    if (!resynchronise()) {
        if (unloaded_ || app_.pause().aborted())
            return;
        showNoCommunication();
        SharedState &s = app_.state();
        if (s.ChartOpen)
            commands::closeLiveChart(app_);
        if (s.ListOpen)
            commands::closeLiveList(app_);
        blinkTimer_->start();
        return;
    }
    blinking_ = false;
    LblCOM->setVisible(true);
    showPortCaption();
    app_.state().ResyncPending = false;
    Timer1->start();
}

bool Panel::resynchronise()
{
    SerialLink *link = app_.link();
    LinkContext ctx{*link, app_.pause(), kResyncSeconds};
    if (!LinkHandshake(ctx))
        return false;
    const QString type = identifyInstrument(ctx);
    if (type.isEmpty())
        return false;
    const bool newType = type == QLatin1String("NewType");
    for (const char *key : {"RecStop", "Manual", "PowerOff"})
        button(QString::fromLatin1(key))->setEnabled(newType);
    app_.state().InstrumentType = type;
    return true;
}
