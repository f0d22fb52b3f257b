#include "ui/lists/ListWindow.h"

#include "core/files/DataFile.h"
#include "ui/common/App.h"
#include "ui/common/Commands.h"
#include "ui/common/Icons.h"
#include "ui/lists/ListExport.h"
#include "ui/lists/ListOps.h"
#include "ui/lists/ListReport.h"
#include "ui/lists/StatsWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

ListWindow::ListWindow(App &app, const QString &caption, QWidget *parent) : QWidget(parent, Qt::Window), app_(app)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(caption);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    Toolbar1 = new QToolBar(this);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setIconSize(QSize(24, 24));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    Toolbar1->setMovable(false);
    layout->addWidget(Toolbar1);

    auto *texts = new QGridLayout;
    texts->setContentsMargins(8, 6, 8, 6);
    texts->setHorizontalSpacing(6);
    texts->setVerticalSpacing(4);
    auto addText = [&](int row, QLabel *&label, QLineEdit *&edit, const char *labelName, const char *editName,
                       const QString &caption) {
        label = new QLabel(caption, this);
        label->setObjectName(QLatin1String(labelName));
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(editName));
        label->setBuddy(edit);
        texts->addWidget(label, row, 0);
        texts->addWidget(edit, row, 1);
    };
    addText(0, LblName, TxtName, "LblName", "TxtName", QStringLiteral("Nome:"));
    addText(1, LblSector, TxtSector, "LblSector", "TxtSector", QStringLiteral("Setor:"));
    addText(2, LblCompany, TxtCompany, "LblCompany", "TxtCompany", QStringLiteral("Empresa:"));
    layout->addLayout(texts);

    GridC = new Grid(kDataFields, this);
    GridC->setObjectName(QStringLiteral("GridC"));
    GridF = new Grid(kDataFields, this);
    GridF->setObjectName(QStringLiteral("GridF"));
    layout->addWidget(GridC, 1);
    layout->addWidget(GridF, 1);
    GridF->hide();

    connect(Toolbar1, &QToolBar::actionTriggered, this, [this](QAction *a) {
        Busy busy(this);
        // The statistics window, the report and the export work alike for every list.
        if (a->data().toString() == QLatin1String("Stats")) {
            openStatsWindow(*this);
            return;
        }
        if (a->data().toString() == QLatin1String("Report")) {
            showListReport(*this);
            return;
        }
        if (a->data().toString() == QLatin1String("Export")) {
            exportListCsv(*this);
            return;
        }
        Toolbar1_ButtonClick(a->data().toString());
    });
}

ListWindow::~ListWindow() = default;

QString ListWindow::name() const
{
    return TxtName->text();
}
QString ListWindow::sector() const
{
    return TxtSector->text();
}
QString ListWindow::company() const
{
    return TxtCompany->text();
}

void ListWindow::addButton(const QString &key, const QString &toolTip)
{
    QAction *a = Toolbar1->addAction(toolbarIcon(key), toolTip);
    a->setData(key);
    a->setObjectName(key);
    a->setToolTip(toolTip);
    buttons_.insert(key, a);
}

QVector<QStringList> ListWindow::visibleRows() const
{
    const QVector<QString> lines = visibleGrid()->gridModel()->snapshot();
    QVector<QStringList> rows;
    rows.reserve(qMax<qsizetype>(0, lines.size() - 1));
    for (qsizetype i = 1; i < lines.size(); ++i)
        rows.append(lines.at(i).split(QLatin1Char('\t')));
    return rows;
}

void ListWindow::showUnit(bool celsius)
{
    GridC->setVisible(celsius);
    GridF->setVisible(!celsius);
}

const QStringList &ListWindow::columnSamples()
{
    static const QStringList samples{QStringLiteral(" 000000 "),   QStringLiteral(" AAAA/AA/AA"),
                                     QStringLiteral(" AA:AA:AA"),  QStringLiteral("AAAAA"),
                                     QStringLiteral("AAAAAAAAAA"), QStringLiteral("AAAAAAAA"),
                                     QStringLiteral("AAAAA")};
    return samples;
}

void ListWindow::setUpGrids()
{
    // The sample text sets the width of the text; the cell's own margins
    // come on top, so the widest heading of each column is drawn whole.
    const int margins = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 1;
    for (Grid *grid : {GridC, GridF}) {
        const QStringList headings = dataFileHeadings(grid == GridC);
        const QFontMetrics fm(grid->font());
        grid->setRow(0);
        for (int c = 0; c < kDataFields; ++c) {
            grid->setCol(c);
            grid->setColWidth(c, fm.horizontalAdvance(columnSamples().at(c)) + margins);
            grid->setText(headings.value(c));
        }
        grid->setCol(0);
    }
}

void ListWindow::placeBesideMainWindow()
{
    QWidget *main = app_.mainWindow();
    if (!main)
        return;
    const QRect frame = main->frameGeometry();
    placeWindow(this, frame.x() + frame.width(), frame.y());
}

void ListWindow::sizeForRows(int records)
{
    int width = 2 * GridC->frameWidth() + GridC->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < GridC->cols(); ++c)
        width += GridC->colWidth(c);
    const int height = 2 * GridC->frameWidth() + GridC->horizontalHeader()->sizeHint().height() +
                       records * GridC->verticalHeader()->defaultSectionSize();
    GridC->setMinimumWidth(width);
    GridF->setMinimumWidth(width);
    const int above = Toolbar1->sizeHint().height() + layout()->itemAt(1)->sizeHint().height();
    resize(width, above + height);
}

void ListWindow::unloadOnce()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    Form_Unload();
}

ListWindow::Busy::Busy(ListWindow *w) : w_(w)
{
    ++w_->busy_;
}

ListWindow::Busy::~Busy()
{
    if (!w_ || --w_->busy_ > 0 || !w_->closePending_)
        return;
    QMetaObject::invokeMethod(w_.data(), &QWidget::close, Qt::QueuedConnection);
}

void ListWindow::closeEvent(QCloseEvent *event)
{
    if (busy_ > 0) {
        closePending_ = true;
        event->ignore();
        return;
    }
    unloadOnce();
    event->accept();
}

void ListWindow::saveGrid(Grid &grid)
{
    SharedState &s = app_.state();
    if (s.PcRecording) {
        app_.refuseRecording();
        return;
    }
    // A cancelled dialog must not send the list to a name chosen earlier.
    s.FileChosen = false;
    ChooseSaveFile(app_);
    if (s.FileChosen)
        SaveGridToFile(app_, *this, grid);
}
