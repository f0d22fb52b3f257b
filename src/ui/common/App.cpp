#include "ui/common/App.h"

#include "core/link/SerialLink.h"
#include "platform/EventPause.h"

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>

namespace {
App *g_current = nullptr;

double dpiX(const QWidget *w)
{
    if (w)
        return w->logicalDpiX();
    if (QScreen *s = QGuiApplication::primaryScreen())
        return s->logicalDotsPerInchX();
    return 96.0;
}

double dpiY(const QWidget *w)
{
    if (w)
        return w->logicalDpiY();
    if (QScreen *s = QGuiApplication::primaryScreen())
        return s->logicalDotsPerInchY();
    return 96.0;
}
} // namespace

App::Services App::realServices()
{
    Services s;
    s.prompts = std::make_unique<WidgetPrompts>();
    s.printer = std::make_unique<DialogPrintService>();
    s.clock = std::make_unique<SystemClock>();
    s.pause = std::make_unique<EventPause>();
    return s;
}

App::App(Services services, QObject *parent) : QObject(parent), services_(std::move(services))
{
    g_current = this;
}

App::~App()
{
    if (g_current == this)
        g_current = nullptr;
}

App *App::current()
{
    return g_current;
}

App &App::instance()
{
    Q_ASSERT(g_current);
    return *g_current;
}

void App::setLink(std::unique_ptr<SerialLink> link)
{
    link_ = std::move(link);
}

void App::stopPolling()
{
    if (pollTimer_)
        pollTimer_->stop();
}

void App::startPolling()
{
    if (pollTimer_)
        pollTimer_->start();
}

int App::pollingInterval() const
{
    return pollTimer_ ? pollTimer_->interval() : 150;
}

void App::refuseRecording()
{
    prompts().message(texts::kRecordingRefusal, texts::kTitle, Prompts::Buttons::Ok, Prompts::Icon::Critical);
}

void App::showError(const QString &text)
{
    prompts().message(text, texts::kTitle, Prompts::Buttons::Ok, Prompts::Icon::Critical);
}

QString App::autoDumpFolder() const
{
    QString folder = autoDumpFolder_;
    if (folder.isEmpty()) {
        QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (docs.isEmpty())
            docs = QDir::homePath();
        folder = docs + QStringLiteral("/Termo-higrometro");
    }
    QDir().mkpath(folder);
    return folder;
}

int twipsToPixelsX(double twips, const QWidget *w)
{
    return qRound(twips * dpiX(w) / 1440.0);
}
int twipsToPixelsY(double twips, const QWidget *w)
{
    return qRound(twips * dpiY(w) / 1440.0);
}
double pixelsToTwipsX(int px, const QWidget *w)
{
    return px * 1440.0 / dpiX(w);
}
double pixelsToTwipsY(int px, const QWidget *w)
{
    return px * 1440.0 / dpiY(w);
}

void deleteTopLevelWindows(QWidget *keep)
{
    // Guarded: deleting one window deletes the windows it owns.
    QList<QPointer<QWidget>> windows;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w != keep)
            windows << w;
    }
    for (const QPointer<QWidget> &w : windows) {
        if (w && !w->parentWidget())
            delete w.data();
    }
}
