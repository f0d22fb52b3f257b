#include "ui/common/App.h"
#include "ui/common/Commands.h"
#include "ui/study/StudyWindow.h"

namespace commands {

QWidget *openStudy(App &app)
{
    auto *w = qobject_cast<StudyWindow *>(app.study.data());
    if (!w) {
        w = new StudyWindow(app, app.mainWindow());
        app.study = w;
    }
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

QWidget *sendToStudy(App &app, const QString &path)
{
    auto *w = static_cast<StudyWindow *>(openStudy(app));
    w->addFiles({path});
    return w;
}

} // namespace commands
