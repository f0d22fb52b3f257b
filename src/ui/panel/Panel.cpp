#include "ui/panel/Panel.h"

#include "core/link/SerialLink.h"
#include "platform/EventPause.h"
#include "platform/LinkFactory.h"
#include "ui/common/App.h"
#include "ui/common/Commands.h"
#include "ui/common/Icons.h"
#include "ui/lists/DataFileDrop.h"
#include "ui/panel/PanelParts.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMouseEvent>

using namespace panelparts;

namespace {

Panel::ExitHandler &exitHandler()
{
    static Panel::ExitHandler handler = [](int code) { QCoreApplication::exit(code); };
    return handler;
}

} // namespace

Panel::Panel(App &app, QWidget *parent) : QMainWindow(parent), app_(app), recorder_(app.state())
{
    setObjectName(QStringLiteral("Panel"));
    setWindowTitle(kCaption);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(150);
    connect(Timer1, &QTimer::timeout, this, &Panel::Timer1_Timer);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(1000);
    connect(Timer2, &QTimer::timeout, this, &Panel::Timer2_Timer);
    blinkTimer_ = new QTimer(this);
    blinkTimer_->setInterval(200);
    connect(blinkTimer_, &QTimer::timeout, this, &Panel::blinkStep);
    monitor_ = new PanelMonitor(app_, this);
    connect(monitor_, &PanelMonitor::alarmsChanged, this, &Panel::showAlarms);
    connect(monitor_, &PanelMonitor::statusChanged, this, &Panel::showPublishing);

    for (int i = 1; i <= 15; ++i)
        ImageList1 << toolbarPicture(i);

    buildToolbar();
    buildDisplay();

    app_.setMainWindow(this);
    app_.setTimers(Timer1, Timer2);
    app_.prompts().setParentWidget(this);
    acceptDataFileDrops(this, app_);
}

Panel::~Panel()
{
    // The monitor, a child, closes after this window's own parts are gone:
    // what it says then must not reach them.
    disconnect(monitor_, nullptr, this, nullptr);
    // Whatever ends the window, the recording file is closed with every record in it.
    if (recorder_.running())
        recorder_.stop();
    if (app_.mainWindow() == this) {
        app_.setMainWindow(nullptr);
        app_.prompts().setParentWidget(nullptr);
    }
}

void Panel::setExitHandler(ExitHandler handler)
{
    exitHandler() = handler ? std::move(handler) : [](int code) { QCoreApplication::exit(code); };
}

void Panel::exitProgram(int code)
{
    exitHandler()(code);
}

bool Panel::Form_Load()
{
    placeWindow(this, 0, 0);
    SharedState &s = app_.state();

    QString name = s.PortName;
    if (name.isEmpty() && s.ComPort >= 1 && s.ComPort <= 8)
        name = QStringLiteral("COM%1").arg(s.ComPort);
    if (!app_.link() && !name.isEmpty())
        app_.setLink(createLink(name));
    QString error;
    if (!app_.link() || !app_.link()->OpenPort(&error)) {
        app_.showError(QStringLiteral("Dispositivo não disponível"));
        exitProgram(1);
        return false;
    }
    showPortCaption();

    s.applyPanelLoadDefaults(app_.clock().now());
    linkDown_ = true;
    monitor_->start();
    Timer1->start();
    Timer2->start();
    return true;
}

void Panel::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void Panel::Form_Unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    Timer1->stop();
    Timer2->stop();
    blinkTimer_->stop();
    blinking_ = false;
    if (recorder_.running())
        recorder_.stop();
    monitor_->close();
    // Sequences waiting inside a handler give up instead of spinning on a
    // finished event loop.
    if (auto *pause = dynamic_cast<EventPause *>(&app_.pause()))
        pause->abort();
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows) {
        if (w != this && w->isVisible())
            w->close();
    }
    if (SerialLink *link = app_.link())
        link->close();
    exitProgram(0);
}

bool Panel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == LblCOM && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        LblCOM_Click();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

SerialLink *Panel::COM() const
{
    return app_.link();
}

void Panel::LblCOM_Click()
{
    setWindowTitle(windowTitle() == kCaption ? kCaptionWithBuild : kCaption);
}

void Panel::Command1_Click()
{
    commands::command1(app_);
}
