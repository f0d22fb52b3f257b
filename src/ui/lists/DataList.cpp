#include "ui/lists/DataList.h"

#include "ui/common/App.h"
#include "ui/lists/ListOps.h"

#include <QLineEdit>

DataList::DataList(App &app, QWidget *parent) : ListWindow(app, QStringLiteral("Lista de dados"), parent)
{
    setObjectName(QStringLiteral("DataList"));
    addButton(QStringLiteral("Save"), QStringLiteral("Salvar Como"));
    addButton(QStringLiteral("Plot"), QStringLiteral("Plotar"));
    addButton(QStringLiteral("Print"), QStringLiteral("Imprimir"));
    addButton(QStringLiteral("CF"), QStringLiteral("Celsius/Fahrenheit"));
    addButton(QStringLiteral("Stats"), QStringLiteral("Estatísticas"));
    addButton(QStringLiteral("Report"), QStringLiteral("Relatório"));
    addButton(QStringLiteral("Export"), QStringLiteral("Exportar CSV"));
    Form_Load();
}

DataList::~DataList()
{
    unloadOnce();
}

void DataList::Form_Load()
{
    placeBesideMainWindow();
    setUpGrids();
    // Both grids hold the same readings; it opens in the unit the main
    // window shows.
    showUnit(app().state().CelsiusDisplay);
    sizeForRows(16);
}

QStringList DataList::addTextPreface() const
{
    if (!app().state().AddTextOpen || !app().addText)
        return {};
    auto text = [this](const char *name) {
        const auto *edit = app().addText->findChild<QLineEdit *>(QLatin1String(name));
        return edit ? edit->text() : QString();
    };
    const QString dash = QStringLiteral(" -");
    const QString indent = QStringLiteral(" -          ");
    return {dash, dash, dash, indent + text("TxtName"), indent + text("TxtSector"), indent + text("TxtCompany")};
}

void DataList::Toolbar1_ButtonClick(const QString &key)
{
    if (key == QLatin1String("Save")) {
        saveGrid(*visibleGrid());
    } else if (key == QLatin1String("Print")) {
        PrintGrid(app(), *this, *visibleGrid(), addTextPreface());
    } else if (key == QLatin1String("CF")) {
        GridC->setVisible(GridC->isHidden());
        GridF->setVisible(GridF->isHidden());
    } else if (key == QLatin1String("Plot")) {
        commands::openListChart(app(), this, visibleGrid(), celsiusShown());
    }
}

DataList *reopenDataList(App &app)
{
    if (app.dataList) {
        QWidget *old = app.dataList;
        app.dataList = nullptr;
        old->close();
    }
    auto *w = new DataList(app, app.mainWindow());
    app.dataList = w;
    w->show();
    return w;
}
