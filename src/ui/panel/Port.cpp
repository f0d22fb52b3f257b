#include "ui/panel/Port.h"

#include "platform/LinkFactory.h"
#include "ui/common/App.h"
#include "ui/panel/Panel.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QRegularExpression>

Port::Port(App &app, QWidget *parent) : QWidget(parent), app_(app)
{
    setObjectName(QStringLiteral("Port"));
    setWindowTitle(QStringLiteral("Porta Com"));

    Label1 = new QLabel(QStringLiteral("Porta serial do instrumento:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Ports = new QComboBox(this);
    Ports->setObjectName(QStringLiteral("Ports"));
    // Typed device paths are accepted as they are.
    Ports->setEditable(true);
    Ports->setInsertPolicy(QComboBox::NoInsert);
    Ports->setMinimumWidth(200);
    CmdOK = new QPushButton(QStringLiteral("OK"), this);
    CmdOK->setObjectName(QStringLiteral("CmdOK"));
    CmdOK->setDefault(true);
    Label2 = new QLabel(QStringLiteral("Acesso rápido:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Port1 = new QPushButton(QStringLiteral("COM1"), this);
    Port1->setObjectName(QStringLiteral("Port1"));
    Port2 = new QPushButton(QStringLiteral("COM2"), this);
    Port2->setObjectName(QStringLiteral("Port2"));

    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(14, 12, 14, 12);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);
    grid->addWidget(Label1, 0, 0, 1, 3);
    grid->addWidget(Ports, 1, 0, 1, 2);
    grid->addWidget(CmdOK, 1, 2);
    grid->addWidget(Label2, 2, 0, 1, 3);
    grid->addWidget(Port1, 3, 0);
    grid->addWidget(Port2, 3, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);

    connect(CmdOK, &QPushButton::clicked, this, &Port::CmdOK_Click);
    connect(Port1, &QPushButton::clicked, this, &Port::Port1_Click);
    connect(Port2, &QPushButton::clicked, this, &Port::Port2_Click);
    Form_Load();
}

void Port::Form_Load()
{
    Ports->clear();
    for (int i = 1; i <= 8; ++i)
        Ports->addItem(QStringLiteral("COM%1").arg(i));
    // Adapters the system reports (USB serial ports) that COM1..COM8 do not cover.
    QStringList covered;
    for (int i = 1; i <= 8; ++i)
        covered << devicePathFor(QStringLiteral("COM%1").arg(i));
    for (const QString &name : availablePorts()) {
        if (!covered.contains(name) && Ports->findText(name) < 0)
            Ports->addItem(name);
    }
    Ports->addItem(QString::fromLatin1(kSimulatorPortName));
    Ports->setCurrentIndex(0);
}

void Port::CmdOK_Click()
{
    SharedState &s = app_.state();
    const QString text = Ports->currentText().trimmed();
    static const QRegularExpression com(QStringLiteral("^COM([1-8])$"));
    const QRegularExpressionMatch m = com.match(text);
    if (m.hasMatch()) {
        s.ComPort = qint16(m.captured(1).toInt());
        s.PortName = text;
    } else if (!text.isEmpty()) {
        s.PortName = text;
    }
    showPanel();
}

void Port::Port1_Click()
{
    app_.state().ComPort = 1;
    app_.state().PortName = QStringLiteral("COM1");
    showPanel();
}

void Port::Port2_Click()
{
    app_.state().ComPort = 2;
    app_.state().PortName = QStringLiteral("COM2");
    showPanel();
}

void Port::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted() && !chosen_)
        emit closedWithoutChoice();
}

void Port::showPanel()
{
    if (panel_)
        return;
    chosen_ = true;
    auto *panel = new Panel(app_);
    if (panel->Form_Load()) {
        panel_ = panel;
        panel->show();
    } else {
        panel->deleteLater();
    }
    close();
}
