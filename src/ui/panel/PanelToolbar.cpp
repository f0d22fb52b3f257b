#include "ui/panel/Panel.h"

#include "ui/audit/AuditWindow.h"
#include "ui/common/App.h"
#include "ui/common/Commands.h"
#include "ui/common/Icons.h"
#include "ui/common/PanelButtons.h"
#include "ui/panel/PanelParts.h"

#include <QAction>
#include <QMenu>
#include <QToolButton>

#include <tuple>

using namespace panelparts;

namespace {

using ButtonSpec = PanelButtonSpec;
constexpr auto &kButtons = kPanelButtons;

} // namespace

void Panel::buildToolbar()
{
    Toolbar1 = addPanelToolbar(this);
    for (const ButtonSpec &b : kButtons) {
        QAction *a = Toolbar1->addAction(QString::fromUtf8(b.tooltip));
        a->setObjectName(QString::fromLatin1(b.key));
        a->setData(QString::fromLatin1(b.key));
        a->setToolTip(QString::fromUtf8(b.tooltip));
        setButtonImage(a, b.image);
        // Groups as the commands go: files and windows, units, instrument, settings.
        const QString key = QString::fromLatin1(b.key);
        if (key == QLatin1String("Graph") || key == QLatin1String("CF") || key == QLatin1String("PowerOff") ||
            key == QLatin1String("Offset"))
            Toolbar1->addSeparator();
    }
    // The panel's own tools, after the instrument's buttons, gathered behind
    // one button: they grow in number, and the row of the instrument's
    // buttons stays as it always was.
    Toolbar1->addSeparator();
    auto *extras = new QToolButton(Toolbar1);
    extras->setObjectName(QStringLiteral("Extras"));
    extras->setToolTip(QStringLiteral("Mais ferramentas"));
    extras->setIcon(toolbarIcon(QStringLiteral("Extras")));
    extras->setPopupMode(QToolButton::InstantPopup);
    auto *menu = new QMenu(extras);
    menu->setObjectName(QStringLiteral("MenuExtras"));
    for (const auto &[key, text, picture] :
         {std::tuple{"Alarms", "Limites de alarme", "Alarm"}, std::tuple{"Monitoring", "Monitoramento", "Monitoring"},
          std::tuple{"Study", "Estudo de mapeamento", "Study"}, std::tuple{"Audit", "Trilha de auditoria", "Audit"}}) {
        // Children of the toolbar, as the other buttons are, so that button()
        // and click() find them by their key.
        auto *a = new QAction(toolbarIcon(QLatin1String(picture)), QString::fromUtf8(text), Toolbar1);
        a->setObjectName(QString::fromLatin1(key));
        a->setData(QString::fromLatin1(key));
        a->setToolTip(QString::fromUtf8(text));
        menu->addAction(a);
        connect(a, &QAction::triggered, this, [this, a] { Toolbar1_ButtonClick(a); });
    }
    extras->setMenu(menu);
    QAction *holder = Toolbar1->addWidget(extras);
    holder->setObjectName(QStringLiteral("Extras"));
    holder->setData(QStringLiteral("Extras"));
    holder->setToolTip(extras->toolTip());
    Toolbar1->toggleViewAction()->setVisible(false);
    connect(Toolbar1, &QToolBar::actionTriggered, this, &Panel::Toolbar1_ButtonClick);
}

void Panel::setButtonImage(QAction *a, int image)
{
    a->setProperty("image", image);
    a->setIcon(ImageList1.value(image - 1));
}

QAction *Panel::button(const QString &key) const
{
    return Toolbar1->findChild<QAction *>(key, Qt::FindDirectChildrenOnly);
}

int Panel::buttonImage(const QString &key) const
{
    QAction *a = button(key);
    return a ? a->property("image").toInt() : 0;
}

void Panel::click(const QString &key)
{
    if (QAction *a = button(key))
        a->trigger();
}

void Panel::Toolbar1_ButtonClick(QAction *button)
{
    if (!button || unloaded_)
        return;
    const QString key = button->data().toString();
    if (key == QLatin1String("Save"))
        saveCommand();
    else if (key == QLatin1String("Open"))
        commands::openDataFile(app_);
    else if (key == QLatin1String("List"))
        commands::openLiveList(app_);
    else if (key == QLatin1String("Graph"))
        commands::openLiveChart(app_);
    else if (key == QLatin1String("Sample"))
        commands::sample(app_);
    else if (key == QLatin1String("CF"))
        cfCommand();
    else if (key == QLatin1String("Memory"))
        commands::downloadMemory(app_);
    else if (key == QLatin1String("RecStop"))
        commands::recStop(app_);
    else if (key == QLatin1String("Manual"))
        commands::manual(app_);
    else if (key == QLatin1String("PowerOff"))
        commands::powerOff(app_);
    else if (key == QLatin1String("SetTime"))
        commands::setTime(app_);
    else if (key == QLatin1String("Offset"))
        commands::offset(app_);
    else if (key == QLatin1String("AddText"))
        commands::addText(app_);
    else if (key == QLatin1String("Alarms"))
        monitor_->showLimits();
    else if (key == QLatin1String("Monitoring"))
        monitor_->showMonitoring();
    else if (key == QLatin1String("Study"))
        commands::openStudy(app_);
    else if (key == QLatin1String("Audit"))
        showAuditWindow(app_, *monitor_);
}

void Panel::cfCommand()
{
    SharedState &s = app_.state();
    s.CelsiusDisplay = !s.CelsiusDisplay;
    ImaC->setVisible(s.CelsiusDisplay);
    ImaF->setVisible(!s.CelsiusDisplay);
    monitor_->unitChanged(s.CelsiusDisplay);
}
