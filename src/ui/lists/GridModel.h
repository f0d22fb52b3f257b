#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <QVector>

// The rows of a list grid, one TAB-joined string per row: a grid of 48 000
// rows costs about 7 MB instead of the hundreds of bytes per cell an item
// object would take. Row 0 holds the headings and is shown by the view as its
// horizontal header; model rows 0.. are grid rows 1...
class GridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit GridModel(int columns, QObject *parent = nullptr);

    // QAbstractTableModel: the record rows only.
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Grid rows, row 0 being the heading row.
    int gridRows() const { return int(lines_.size()); }
    int columns() const { return columns_; }
    QString cell(int row, int column) const;
    QStringList cells(int row) const;
    // The row as its TAB-joined cells (exactly columns() - 1 TABs).
    const QString &line(int row) const { return lines_.at(row); }
    void setCell(int row, int column, const QString &text);
    // Grows with empty rows or drops rows from the end; at least one row stays.
    void setGridRows(int rows);

    // A new last row from one TAB-separated line: fields beyond the last
    // column are dropped, missing ones leave empty cells.
    void appendLine(const QString &tabLine);
    void appendLines(const QVector<QString> &tabLines);
    // Back to the heading row alone.
    void clearRecords();

    // Every grid row (heading row first). Implicitly shared: taking it is
    // cheap and it stays valid whatever happens to the grid afterwards.
    QVector<QString> snapshot() const { return lines_; }

    // Rows and columns as the grid stores them.
    QString normalized(const QString &tabLine) const;

private:
    int columns_;
    QVector<QString> lines_;
};
