#include "ui/dialogs/SamplingChoice.h"

#include "ui/common/App.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

SamplingChoice::SamplingChoice(App &app, QWidget *parent) : QDialog(parent), app_(app)
{
    setObjectName(QStringLiteral("SamplingChoice"));
    setWindowTitle(QStringLiteral("Sampling Rate"));
    setModal(true);

    OptMeter = new QRadioButton(QStringLiteral("Taxa de amostragem do instrumento"), this);
    OptMeter->setObjectName(QStringLiteral("OptMeter"));
    OptPC = new QRadioButton(QStringLiteral("Taxa de amostragem do computador"), this);
    OptPC->setObjectName(QStringLiteral("OptPC"));
    auto *group = new QButtonGroup(this);
    group->addButton(OptMeter);
    group->addButton(OptPC);
    OptMeter->setChecked(true);

    CmdOK = new QPushButton(QStringLiteral("Ok"), this);
    CmdOK->setObjectName(QStringLiteral("CmdOK"));
    CmdOK->setDefault(true);
    CmdOK->setMinimumWidth(twipsToPixelsX(1215, this));
    connect(CmdOK, &QPushButton::clicked, this, &SamplingChoice::CmdOK_Click);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(CmdOK);
    buttons->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 16, 18, 14);
    layout->setSpacing(10);
    layout->addWidget(OptMeter);
    layout->addWidget(OptPC);
    layout->addSpacing(6);
    layout->addLayout(buttons);

    Form_Load();
}

void SamplingChoice::Form_Load()
{
    adjustSize();
    if (QWidget *main = app_.mainWindow()) {
        const QRect g = main->frameGeometry();
        placeWindow(this, g.left() + twipsToPixelsX(120, this), g.top() + twipsToPixelsY(840, this));
    }
}

void SamplingChoice::CmdOK_Click()
{
    app_.state().PcSampling = OptPC->isChecked();
    accept();
}
