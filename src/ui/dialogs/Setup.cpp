#include "ui/dialogs/Setup.h"

#include "core/link/Protocol.h"
#include "ui/common/App.h"
#include "ui/common/Changes.h"
#include "ui/dialogs/CaptionPanel.h"
#include "ui/dialogs/DialogLink.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

const QString Setup::kMeterTitle = QStringLiteral("Hora do instrumento");
const QString Setup::kPcTitle = QStringLiteral("Hora do sistema do computador");
const QString Setup::kSetText = QStringLiteral("Configurar a hora do instrumento de acordo com a hora do sistema");

namespace {

QLabel *makeClockLabel(QWidget *parent, const QString &name, const QString &text)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    label->setCursor(Qt::PointingHandCursor);
    label->setToolTip(QStringLiteral("Clique para mostrar ou esconder a hora"));
    QFont f = label->font();
    f.setPointSizeF(f.pointSizeF() * 1.25);
    f.setBold(true);
    label->setFont(f);
    label->setMinimumHeight(twipsToPixelsY(480, parent));
    return label;
}

} // namespace

Setup::Setup(App &app, QWidget *parent) : QDialog(parent), app_(app)
{
    setObjectName(QStringLiteral("Setup"));
    setWindowTitle(QStringLiteral("Setup"));
    setModal(true);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(350);
    connect(Timer1, &QTimer::timeout, this, &Setup::Timer1_Timer);

    FrameTime = new QGroupBox(QStringLiteral("Hora"), this);
    FrameTime->setObjectName(QStringLiteral("FrameTime"));
    LblMeterTime = makeClockLabel(FrameTime, QStringLiteral("LblMeterTime"), kMeterTitle);
    LblPCTime = makeClockLabel(FrameTime, QStringLiteral("LblPCTime"), kPcTitle);
    LblMeterTime->installEventFilter(this);
    LblPCTime->installEventFilter(this);
    auto *frameLayout = new QVBoxLayout(FrameTime);
    frameLayout->setSpacing(8);
    frameLayout->addWidget(LblMeterTime);
    frameLayout->addWidget(LblPCTime);

    // Both buttons set the clock. The raised panel is the one on show; the
    // push button stays for keyboard shortcuts and scripts that press it.
    CmdSet = new CaptionPanel(kSetText, this);
    CmdSet->setObjectName(QStringLiteral("CmdSet"));
    CmdSet->setFocusPolicy(Qt::StrongFocus);
    CmdSet->setCursor(Qt::PointingHandCursor);
    CmdSet->setMinimumHeight(twipsToPixelsY(600, this));
    connect(CmdSet, &CaptionPanel::mouseDown, this, &Setup::CmdSet_MouseDown);
    connect(CmdSet, &CaptionPanel::mouseUp, this, &Setup::CmdSet_MouseUp);
    connect(CmdSet, &CaptionPanel::clicked, this, &Setup::CmdSet_Click);

    CmdSetTime = new QPushButton(kSetText, this);
    CmdSetTime->setObjectName(QStringLiteral("CmdSetTime"));
    CmdSetTime->setAutoDefault(false);
    CmdSetTime->hide();
    connect(CmdSetTime, &QPushButton::clicked, this, &Setup::CmdSetTime_Click);

    CmdExit = new QPushButton(QStringLiteral("Sair"), this);
    CmdExit->setObjectName(QStringLiteral("CmdExit"));
    CmdExit->setAutoDefault(false);
    CmdExit->setMinimumWidth(twipsToPixelsX(1215, this));
    connect(CmdExit, &QPushButton::clicked, this, &Setup::CmdExit_Click);

    auto *exitRow = new QHBoxLayout;
    exitRow->addStretch();
    exitRow->addWidget(CmdExit);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 12);
    layout->setSpacing(10);
    layout->addWidget(FrameTime);
    layout->addWidget(CmdSet);
    layout->addWidget(CmdSetTime);
    layout->addLayout(exitRow);

    setMinimumWidth(twipsToPixelsX(5400, this));
    Form_Load();
}

void Setup::Form_Load()
{
    adjustSize();
    if (QWidget *main = app_.mainWindow()) {
        const QRect g = main->frameGeometry();
        // Before it is first shown the window has no frame yet: assume the
        // main window's decoration.
        int outerWidth = frameGeometry().width();
        if (outerWidth <= width())
            outerWidth = width() + g.width() - main->width();
        placeWindow(this, g.left() + (g.width() - outerWidth) / 2, g.top() + twipsToPixelsY(1000, this));
    }
    meterDisplay_ = false;
    pcDisplay_ = false;
    Timer1->start();
}

void Setup::Form_Unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    Timer1->stop();
    // An exchange still waiting starts the polling when it ends.
    if (!exchanging_)
        app_.startPolling();
}

void Setup::done(int result)
{
    Form_Unload();
    QDialog::done(result);
}

void Setup::CmdExit_Click()
{
    close();
}

void Setup::CmdSet_Click()
{
    setInstrumentClock();
}

void Setup::CmdSetTime_Click()
{
    setInstrumentClock();
}

void Setup::CmdSet_MouseDown()
{
    CmdSet->setBevelOuter(1);
}

void Setup::CmdSet_MouseUp()
{
    CmdSet->setBevelOuter(2);
}

void Setup::LblMeterTime_Click()
{
    meterDisplay_ = !meterDisplay_;
}

void Setup::LblPCTime_Click()
{
    pcDisplay_ = !pcDisplay_;
}

bool Setup::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (watched == LblMeterTime)
            LblMeterTime_Click();
        else if (watched == LblPCTime)
            LblPCTime_Click();
    }
    return QDialog::eventFilter(watched, event);
}

void Setup::restartTimer()
{
    if (unloaded_)
        app_.startPolling(); // the window closed while the instrument was busy
    else
        Timer1->start();
}

void Setup::setInstrumentClock()
{
    if (unloaded_)
        return;
    if (!reason_) {
        QPointer<Setup> self(this);
        const auto reason = changes::askReason(app_);
        if (!self || !reason)
            return;
        reason_ = *reason;
    }
    if (exchanging_) {
        // A clock read is waiting on the instrument: write right after it.
        pendingSet_ = true;
        return;
    }
    dialoglink::Exchange exchange(app_);
    if (!exchange.active())
        return;
    QPointer<Setup> self(this);
    Timer1->stop();
    exchanging_ = true;
    LinkContext ctx = dialoglink::context(app_);
    const QDateTime now = app_.clock().now();
    const bool sent = writeInstrumentClock(ctx, now);
    if (!self)
        return;
    exchanging_ = false;
    const QString reason = reason_.value_or(QString());
    reason_.reset();
    if (!sent)
        dialoglink::reportFailure(app_, ctx);
    else
        // The clock shown before, and the PC's time the instrument was set to.
        changes::record(
            app_, QStringLiteral("instrument.clock.set"),
            lastMeterClock_.isEmpty() ? QJsonValue() : QJsonValue(lastMeterClock_),
            QJsonObject{{QStringLiteral("clock"), clockText(clockBytes(now))},
                        {QStringLiteral("pc"), now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate)}},
            reason);
    restartTimer();
}

void Setup::showInstrumentClock()
{
    dialoglink::Exchange exchange(app_, dialoglink::Talk::Settings, false);
    if (!exchange.active())
        return;
    QPointer<Setup> self(this);
    Timer1->stop();
    exchanging_ = true;
    LinkContext ctx = dialoglink::context(app_);
    const std::optional<QByteArray> six = readInstrumentClock(ctx);
    if (!self)
        return;
    exchanging_ = false;
    if (six) {
        lastMeterClock_ = clockText(*six);
        LblMeterTime->setText(lastMeterClock_);
    } else if (ctx.failure != LinkFailure::None) {
        // A silent instrument: switch its display off rather than asking
        // again every 350 ms.
        meterDisplay_ = false;
        LblMeterTime->setText(kMeterTitle);
        dialoglink::reportFailure(app_, ctx);
    } else {
        // The answer came short: there is no time to show.
        LblMeterTime->setText(QStringLiteral("--/--/-- --:--:--"));
    }
    restartTimer();
}

void Setup::Timer1_Timer()
{
    if (exchanging_ || unloaded_)
        return;
    if (app_.state().reading.InstrumentRecording) {
        close();
        return;
    }

    QPointer<Setup> self(this);
    if (meterDisplay_) {
        showInstrumentClock();
        if (!self)
            return;
        if (pendingSet_) {
            pendingSet_ = false;
            setInstrumentClock();
            if (!self)
                return;
        }
    } else {
        LblMeterTime->setText(kMeterTitle);
    }

    if (pcDisplay_)
        LblPCTime->setText(app_.clock().now().toString(QStringLiteral("yy/MM/dd HH:mm:ss")));
    else
        LblPCTime->setText(kPcTitle);
}
