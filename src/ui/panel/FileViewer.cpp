#include "ui/panel/FileViewer.h"

#include "ui/common/App.h"
#include "ui/common/Commands.h"
#include "ui/common/Icons.h"
#include "ui/common/PanelButtons.h"
#include "ui/lists/DataFileDrop.h"
#include "ui/panel/Panel.h"
#include "ui/panel/Port.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QPointer>
#include <QTimer>

#include <algorithm>

FileViewer::FileViewer(App &app, QWidget *parent) : QMainWindow(parent), app_(app)
{
    setObjectName(QStringLiteral("FileViewer"));
    setWindowTitle(texts::kTitle);
    setAttribute(Qt::WA_DeleteOnClose);

    Toolbar1 = addPanelToolbar(this);
    for (const PanelButtonSpec &b : kPanelButtons) {
        const QString key = QString::fromLatin1(b.key);
        QString tip = QString::fromUtf8(b.tooltip);
        if (key != QLatin1String("Open") && key != QLatin1String("AddText"))
            tip += QStringLiteral(" (sem instrumento)");
        QAction *a = Toolbar1->addAction(toolbarPicture(b.image), tip);
        a->setObjectName(key);
        a->setData(key);
        a->setToolTip(tip);
    }
    connect(Toolbar1, &QToolBar::actionTriggered, this, &FileViewer::Toolbar1_ButtonClick);

    LblMessage = new QLabel(QStringLiteral("Nenhum instrumento conectado.\n\n"
                                           "Abra um arquivo de dados (.dlf) pelo botão \"Abrir arquivo para "
                                           "leitura\" ou arraste-o para esta janela."),
                            this);
    LblMessage->setObjectName(QStringLiteral("LblMessage"));
    LblMessage->setAlignment(Qt::AlignCenter);
    LblMessage->setWordWrap(true);
    LblMessage->setMargin(16);
    setCentralWidget(LblMessage);
    resize(460, 200);

    app_.setMainWindow(this);
    app_.prompts().setParentWidget(this);
    acceptDataFileDrops(this, app_);
}

FileViewer::~FileViewer()
{
    if (app_.mainWindow() == this) {
        app_.setMainWindow(nullptr);
        app_.prompts().setParentWidget(nullptr);
    }
}

QAction *FileViewer::button(const QString &key) const
{
    return findChild<QAction *>(key);
}

void FileViewer::click(const QString &key)
{
    if (QAction *a = button(key))
        Toolbar1_ButtonClick(a);
}

void FileViewer::Toolbar1_ButtonClick(QAction *button)
{
    if (!button || closing_)
        return;
    const QString key = button->data().toString();
    if (key == QLatin1String("Open"))
        commands::openDataFile(app_);
    else if (key == QLatin1String("AddText"))
        commands::addText(app_);
    else
        app_.prompts().message(kNoInstrument, texts::kTitle, Prompts::Buttons::Ok, Prompts::Icon::Information);
}

void FileViewer::closeEvent(QCloseEvent *event)
{
    // As with the panel, the program ends with this window: the file list and
    // its chart go with it.
    closing_ = true;
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows) {
        if (w != this && w->isVisible())
            w->close();
    }
    event->accept();
}

bool openFileAtStart(App &app, Port &port, const QString &path)
{
    // A port chosen on the command line: the panel is up, the list goes beside it.
    if (port.panel())
        return commands::openDataFileAt(app, path);
    if (!commands::openDataFileAt(app, path))
        return false;
    // The window manager places the port window once it is mapped; the list
    // follows it there.
    QPointer<QWidget> list = app.fileList;
    QPointer<Port> portWindow = &port;
    // Its frame is known only once the window manager has decorated it.
    for (int ms : {0, 300})
        QTimer::singleShot(ms, &app, [list, portWindow] {
            if (list && portWindow && portWindow->isVisible()) {
                const QRect frame = portWindow->frameGeometry();
                placeWindow(list, frame.x() + frame.width(), frame.y());
            }
        });
    QPointer<App> owner = &app;
    QObject::connect(&port, &Port::closedWithoutChoice, &app, [owner] {
        if (!owner || !owner->fileList || owner->mainWindow())
            return;
        auto *viewer = new FileViewer(*owner);
        const QRect listFrame = owner->fileList->frameGeometry();
        viewer->show();
        // The viewer takes the place of the main window, left of the list.
        placeWindow(viewer, std::max(0, listFrame.x() - viewer->frameGeometry().width()), listFrame.y());
    });
    return true;
}
