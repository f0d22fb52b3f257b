#include "ui/dialogs/AddText.h"

#include "core/files/NseFile.h"
#include "ui/common/App.h"
#include "ui/common/Icons.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

const QString AddText::kFilter = QStringLiteral("Nome, Setor, Empresa (*.nse)|*.nse|");

namespace {

QLineEdit *makeBox(QWidget *parent, const QString &name)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setMinimumWidth(twipsToPixelsX(4800, parent));
    return box;
}

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &text, QLineEdit *buddy)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setBuddy(buddy);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

QToolButton *makePictureButton(QWidget *parent, const QString &name, const QString &iconKey, const QString &tip)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(toolbarIcon(iconKey));
    button->setIconSize(QSize(24, 24));
    button->setToolTip(tip);
    button->setAutoRaise(false);
    button->setFixedSize(36, 36);
    return button;
}

} // namespace

AddText::AddText(App &app, QWidget *parent) : QWidget(parent, Qt::Window), app_(app)
{
    setObjectName(QStringLiteral("AddText"));
    setWindowTitle(QStringLiteral("Nome, Setor, Empresa"));
    setAttribute(Qt::WA_DeleteOnClose);

    TxtName = makeBox(this, QStringLiteral("TxtName"));
    TxtSector = makeBox(this, QStringLiteral("TxtSector"));
    TxtCompany = makeBox(this, QStringLiteral("TxtCompany"));
    LblName = makeLabel(this, QStringLiteral("LblName"), QStringLiteral("Nome:"), TxtName);
    LblSector = makeLabel(this, QStringLiteral("LblSector"), QStringLiteral("Setor:"), TxtSector);
    LblCompany = makeLabel(this, QStringLiteral("LblCompany"), QStringLiteral("Empresa:"), TxtCompany);
    for (QLineEdit *box : {TxtName, TxtSector, TxtCompany})
        box->installEventFilter(this);

    // The tooltips stand in for the captions the picture buttons do not have.
    CmdOpen = makePictureButton(this, QStringLiteral("CmdOpen"), QStringLiteral("Open"), QStringLiteral("Abrir"));
    CmdSave = makePictureButton(this, QStringLiteral("CmdSave"), QStringLiteral("Save"), QStringLiteral("Salvar"));
    connect(CmdOpen, &QToolButton::clicked, this, &AddText::CmdOpen_Click);
    connect(CmdSave, &QToolButton::clicked, this, &AddText::CmdSave_Click);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);
    grid->addWidget(LblName, 0, 0);
    grid->addWidget(TxtName, 0, 1);
    grid->addWidget(LblSector, 1, 0);
    grid->addWidget(TxtSector, 1, 1);
    grid->addWidget(LblCompany, 2, 0);
    grid->addWidget(TxtCompany, 2, 1);

    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->addStretch();
    buttons->addWidget(CmdOpen);
    buttons->addWidget(CmdSave);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 10);
    layout->setSpacing(10);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    Form_Load();
}

AddText::~AddText()
{
    // A window destroyed with its parent never sees a close event.
    if (!unloaded_)
        sharedState().AddTextOpen = false;
}

void AddText::Form_Load()
{
    adjustSize();
    if (QWidget *main = app_.mainWindow()) {
        const QRect g = main->frameGeometry();
        placeWindow(this, g.left(), g.top() + g.height());
    }
}

void AddText::Form_Unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    app_.state().AddTextOpen = false;
}

void AddText::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

bool AddText::eventFilter(QObject *watched, QEvent *event)
{
    // "*" marks an absent text in the data files, so it cannot be typed here.
    if (event->type() == QEvent::KeyPress && (watched == TxtName || watched == TxtSector || watched == TxtCompany)) {
        if (static_cast<QKeyEvent *>(event)->text() == QLatin1String("*"))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void AddText::CmdSave_Click()
{
    const Prompts::FileChoice choice = app_.prompts().saveFile(kFilter, true);
    if (!choice.accepted || choice.fileTitle.isEmpty() || choice.fileName.isEmpty())
        return;
    QString error;
    if (!writeNseFile(choice.fileName, TxtName->text(), TxtSector->text(), TxtCompany->text(), &error))
        app_.showError(QStringLiteral("Não foi possível salvar o arquivo %1.\n%2").arg(choice.fileTitle, error));
}

void AddText::CmdOpen_Click()
{
    const Prompts::FileChoice choice = app_.prompts().openFile(kFilter);
    if (!choice.accepted || choice.fileName.isEmpty())
        return;
    NseContents contents;
    QString error;
    if (!readNseFile(choice.fileName, contents, &error)) {
        app_.showError(QStringLiteral("Não foi possível abrir o arquivo %1.\n%2").arg(choice.fileTitle, error));
        return;
    }
    if (contents.hasName)
        TxtName->setText(contents.name);
    if (contents.hasSector)
        TxtSector->setText(contents.sector);
    if (contents.hasCompany)
        TxtCompany->setText(contents.company);
}
