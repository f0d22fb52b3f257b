#include "ui/lists/DataFileDrop.h"

#include "ui/common/App.h"
#include "ui/common/Commands.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWidget>

namespace {

class DropFilter : public QObject {
public:
    DropFilter(QWidget *window, App &app) : QObject(window), app_(&app) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto *e = static_cast<QDropEvent *>(event);
            if (droppedDataFile(e->mimeData()).isEmpty())
                e->ignore();
            else
                e->acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto *e = static_cast<QDropEvent *>(event);
            const QString path = droppedDataFile(e->mimeData());
            if (path.isEmpty()) {
                e->ignore();
                return true;
            }
            e->acceptProposedAction();
            // The file manager waits for the drop to end; the file list (and
            // a message box about an unreadable file) come after it.
            QPointer<App> app = app_;
            QTimer::singleShot(0, watched, [app, path] {
                if (app)
                    commands::openDataFileAt(*app, path);
            });
            return true;
        }
        default: return QObject::eventFilter(watched, event);
        }
    }

private:
    QPointer<App> app_;
};

} // namespace

QString droppedDataFile(const QMimeData *mime)
{
    return droppedDataFiles(mime).value(0);
}

QStringList droppedDataFiles(const QMimeData *mime)
{
    QStringList out;
    if (!mime || !mime->hasUrls())
        return out;
    for (const QUrl &url : mime->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        if (QFileInfo(path).suffix().compare(QLatin1String("dlf"), Qt::CaseInsensitive) == 0)
            out << path;
    }
    return out;
}

void acceptDataFileDrops(QWidget *window, App &app)
{
    window->setAcceptDrops(true);
    window->installEventFilter(new DropFilter(window, app));
}
