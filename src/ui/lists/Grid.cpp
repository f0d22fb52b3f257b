#include "ui/lists/Grid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>

Grid::Grid(int columns, QWidget *parent) : QTableView(parent), model_(new GridModel(columns, this))
{
    setModel(model_);
    // Fixed row heights and per-row scrolling keep 48 000 rows as cheap to
    // scroll as 20: the view never measures rows it does not show.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->hide();
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setTextElideMode(Qt::ElideNone);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setTabKeyNavigation(false);

    connect(this, &QAbstractItemView::clicked, this, &Grid::clickCell);
}

void Grid::clickCell(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    row_ = index.row() + 1;
    col_ = index.column();
    emit cellClicked(row_, col_);
}

void Grid::keyPressEvent(QKeyEvent *event)
{
    // Enter on the row reached with the arrow keys does what a click on it
    // does, so the grid can be used without the mouse.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentIndex().isValid()) {
        clickCell(currentIndex());
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

void Grid::setRows(int rows)
{
    model_->setGridRows(rows);
    row_ = qMin(row_, this->rows() - 1);
}

void Grid::setRow(int row)
{
    row_ = qBound(0, row, rows() - 1);
}

void Grid::setCol(int col)
{
    col_ = qBound(0, col, cols() - 1);
}

int Grid::topRow() const
{
    return verticalScrollBar()->value() + 1;
}

void Grid::setTopRow(int row)
{
    // The scroll range follows the rows only at the next layout; bring it
    // up to date so a row just added can be scrolled to at once.
    updateGeometries();
    verticalScrollBar()->setValue(qMax(0, row - 1));
}

void Grid::clearRecords()
{
    model_->clearRecords();
    row_ = 0;
    verticalScrollBar()->setValue(0);
}
