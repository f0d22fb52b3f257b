#include "ui/lists/List.h"

#include "core/files/DataFile.h"
#include "ui/common/App.h"
#include "ui/lists/ListOps.h"

#include <QDir>
#include <QLabel>
#include <QVBoxLayout>

List::List(App &app, QWidget *parent) : ListWindow(app, QStringLiteral("Lista - Tempo real"), parent)
{
    setObjectName(QStringLiteral("List"));
    addButton(QStringLiteral("Save"), QStringLiteral("Salvar como"));
    addButton(QStringLiteral("Print"), QStringLiteral("Imprimir"));
    addButton(QStringLiteral("CF"), QStringLiteral("Celsius/Fahrenheit"));
    addButton(QStringLiteral("Stats"), QStringLiteral("Estatísticas"));
    addButton(QStringLiteral("Report"), QStringLiteral("Relatório"));
    addButton(QStringLiteral("Export"), QStringLiteral("Exportar CSV"));

    LblDump = new QLabel(this);
    LblDump->setObjectName(QStringLiteral("LblDump"));
    LblDump->setWordWrap(true);
    LblDump->setTextInteractionFlags(Qt::TextSelectableByMouse);
    LblDump->setContentsMargins(8, 4, 8, 4);
    LblDump->hide();
    static_cast<QVBoxLayout *>(layout())->addWidget(LblDump);
    Form_Load();
}

List::~List()
{
    unloadOnce();
}

void List::Form_Load()
{
    placeBesideMainWindow();
    showUnit(app().state().ListUnitCelsius);
    setUpGrids();
    sizeForRows(kScrollFromRow);
}

void List::Form_Unload()
{
    // A list whose close waited for a command may go after a new one opened.
    if (!app().liveList || app().liveList == this)
        app().state().ListOpen = false;
}

void List::appendRow(const QString &celsiusLine, const QString &fahrenheitLine)
{
    SharedState &s = app().state();
    const int n = ++s.ListRowCount;
    bool scroll[2] = {false, false};
    Grid *grids[2] = {GridC, GridF};
    for (int g = 0; g < 2; ++g) {
        grids[g]->setRow(grids[g]->rows() - 1);
        scroll[g] = grids[g]->row() >= kScrollFromRow;
    }
    const QString number = QString::number(n) + QLatin1Char('\t');
    GridC->addItem(number + celsiusLine);
    GridF->addItem(number + fahrenheitLine);
    // Scrolled once the row is in, so the scroll range already includes it.
    for (int g = 0; g < 2; ++g) {
        if (scroll[g])
            grids[g]->setTopRow(grids[g]->topRow() + 1);
    }
    if (n != 0 && n % kRecordsPerFile == 0)
        dumpList();
}

bool List::dumpList()
{
    BusyCursor busy;
    SharedState &s = app().state();
    ++s.ListSplitNo;
    const QString folder = app().autoDumpFolder();
    const QString path =
        QDir(folder).filePath(app().clock().now().toString(QStringLiteral("MMddhhmmss")) + QStringLiteral(".dlf"));
    const Grid *grid = s.ListUnitCelsius ? GridC : GridF;
    QString error;
    bool ok = false;
    {
        CaptionProgress caption(this);
        ok = writeGridFile(path, name(), sector(), company(), grid->gridModel()->snapshot(), &error,
                           [&](int i) { caption.show(i); });
    }
    if (!ok) {
        // The rows stay in the list: emptying it would lose them.
        app().showError(listtexts::saveFailed(error));
        return false;
    }
    lastDump_ = path;
    LblDump->setText(QStringLiteral("Lista gravada automaticamente em %1").arg(QDir::toNativeSeparators(path)));
    LblDump->show();
    // Starts again empty with its headings; the numbering carries on. The
    // window and its name, sector and company texts stay, so the next dump
    // carries them too.
    GridC->clearRecords();
    GridF->clearRecords();
    s.ListOpen = true;
    return true;
}

void List::Toolbar1_ButtonClick(const QString &key)
{
    SharedState &s = app().state();
    if (key == QLatin1String("Save")) {
        saveGrid(s.ListUnitCelsius ? *GridC : *GridF);
    } else if (key == QLatin1String("Print")) {
        PrintGrid(app(), *this, s.ListUnitCelsius ? *GridC : *GridF);
    } else if (key == QLatin1String("CF")) {
        s.ListUnitCelsius = !s.ListUnitCelsius;
        showUnit(s.ListUnitCelsius);
    }
}
