#pragma once

#include "ui/common/Commands.h"
#include "ui/lists/GridModel.h"

#include <QTableView>

// A list grid: a view over a GridModel with the operations the windows rely
// on: rows, columns, the current row and column, cell text, column widths,
// the first visible row and adding a row from one TAB-separated line.
// Row 0 is the heading row (drawn as the fixed header); record rows start at 1.
class Grid : public QTableView, public GridSource {
    Q_OBJECT
public:
    explicit Grid(int columns, QWidget *parent = nullptr);

    GridModel *gridModel() const { return model_; }

    int rows() const { return model_->gridRows(); }
    void setRows(int rows);
    int cols() const { return model_->columns(); }

    // The current cell, as the user or the program selected it.
    int row() const { return row_; }
    void setRow(int row);
    int col() const { return col_; }
    void setCol(int col);
    QString text() const { return model_->cell(row_, col_); }
    void setText(const QString &text) { model_->setCell(row_, col_, text); }
    QString textMatrix(int row, int col) const { return model_->cell(row, col); }
    void setTextMatrix(int row, int col, const QString &text) { model_->setCell(row, col, text); }

    int colWidth(int col) const { return columnWidth(col); }
    void setColWidth(int col, int pixels) { setColumnWidth(col, pixels); }

    // First record row shown at the top (1 when the grid is not scrolled).
    int topRow() const;
    void setTopRow(int row);

    void addItem(const QString &tabLine) { model_->appendLine(tabLine); }
    void addItems(const QVector<QString> &tabLines) { model_->appendLines(tabLines); }
    // Back to the heading row alone, scrolled to the top.
    void clearRecords();

    // GridSource
    int rowCount() const override { return rows(); }
    QString cell(int row, int column) const override { return model_->cell(row, column); }

signals:
    // A click on a record row (row >= 1), or Enter on the current one, after
    // Row and Col follow it.
    void cellClicked(int row, int col);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void clickCell(const QModelIndex &index);

    GridModel *model_;
    int row_ = 0;
    int col_ = 0;
};
