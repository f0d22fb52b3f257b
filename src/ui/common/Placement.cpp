#include "ui/common/Placement.h"

#include "ui/common/App.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>

QRect fitFrame(const QRect &frame, const QRect &available)
{
    if (available.isEmpty())
        return frame;
    QRect out = frame;
    out.setWidth(std::min(frame.width(), available.width()));
    out.setHeight(std::min(frame.height(), available.height()));
    out.moveLeft(std::max(available.left(), std::min(frame.left(), available.right() + 1 - out.width())));
    out.moveTop(std::max(available.top(), std::min(frame.top(), available.bottom() + 1 - out.height())));
    return out;
}

QMargins frameMargins(const QWidget *w)
{
    const auto margins = [](const QWidget *v) {
        const QRect f = v->frameGeometry(), g = v->geometry();
        return QMargins(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom());
    };
    if (w->isVisible() && w->frameGeometry() != w->geometry())
        return margins(w);
    // Not decorated yet: the window manager will give it the frame it gave
    // the windows already shown.
    for (const QWidget *v : QApplication::topLevelWidgets())
        if (v != w && v->isVisible() && v->frameGeometry() != v->geometry())
            return margins(v);
    return {};
}

namespace {

QScreen *screenFor(const QWidget *w, const QPoint &at)
{
    if (QScreen *s = QGuiApplication::screenAt(at))
        return s;
    if (const App *app = App::current(); app && app->mainWindow() && app->mainWindow()->screen())
        return app->mainWindow()->screen();
    if (w->screen())
        return w->screen();
    return QGuiApplication::primaryScreen();
}

// Where the frame of `w` goes when its top-left corner is asked at `topLeft`.
QRect fittedFrame(const QWidget *w, const QPoint &topLeft)
{
    const QMargins m = frameMargins(w);
    const QSize size = w->isVisible() ? w->frameGeometry().size() : w->size().grownBy(m);
    const QRect frame(topLeft, size);
    QScreen *screen = screenFor(w, frame.center());
    return screen ? fitFrame(frame, screen->availableGeometry()) : frame;
}

void applyFrame(QWidget *w, const QRect &frame)
{
    const QMargins m = frameMargins(w);
    const QSize client = frame.size().shrunkBy(m);
    if (client.width() < w->width() || client.height() < w->height())
        w->resize(std::max(client.width(), 1), std::max(client.height(), 1));
    w->move(frame.topLeft());
}

// A window manager decorates a window some moments after it is mapped.
void refitSoon(QWidget *w)
{
    QPointer<QWidget> guarded = w;
    for (int ms : {0, 150, 500})
        QTimer::singleShot(ms, w, [guarded] {
            if (guarded && guarded->isVisible())
                keepOnScreen(guarded);
        });
}

// Once shown and decorated, a window whose real frame came out past an edge
// (the window manager's frame was larger than guessed, or none was known) is
// brought back; later moves are the user's.
class RefitOnShow : public QObject {
public:
    explicit RefitOnShow(QWidget *w) : QObject(w), w_(w) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == w_ && event->type() == QEvent::Show) {
            refitSoon(w_);
            deleteLater();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget *w_;
};

} // namespace

void keepOnScreen(QWidget *w)
{
    const QRect now = w->isVisible() ? w->frameGeometry() : QRect(w->pos(), w->size().grownBy(frameMargins(w)));
    const QRect fitted = fittedFrame(w, now.topLeft());
    if (fitted != now)
        applyFrame(w, fitted);
}

void placeWindow(QWidget *w, int left, int top)
{
    applyFrame(w, fittedFrame(w, QPoint(left, top)));
    if (w->isVisible())
        refitSoon(w);
    else
        w->installEventFilter(new RefitOnShow(w));
}
