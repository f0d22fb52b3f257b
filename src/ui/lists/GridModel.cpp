#include "ui/lists/GridModel.h"

namespace {
constexpr QChar kTab = QLatin1Char('\t');

// Start and length of field `column` in a normalized line.
bool fieldSpan(const QString &line, int column, qsizetype &start, qsizetype &length)
{
    qsizetype from = 0;
    for (int c = 0; c < column; ++c) {
        const qsizetype tab = line.indexOf(kTab, from);
        if (tab < 0)
            return false;
        from = tab + 1;
    }
    const qsizetype end = line.indexOf(kTab, from);
    start = from;
    length = (end < 0 ? line.size() : end) - from;
    return true;
}
} // namespace

GridModel::GridModel(int columns, QObject *parent) : QAbstractTableModel(parent), columns_(qMax(1, columns))
{
    lines_.append(QString(columns_ - 1, kTab));
}

int GridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(lines_.size()) - 1;
}

int GridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columns_;
}

QVariant GridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return cell(index.row() + 1, index.column());
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return cell(0, section);
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return section + 1;
    return QAbstractTableModel::headerData(section, orientation, role);
}

QString GridModel::cell(int row, int column) const
{
    if (row < 0 || row >= lines_.size() || column < 0 || column >= columns_)
        return {};
    qsizetype start = 0, length = 0;
    if (!fieldSpan(lines_.at(row), column, start, length))
        return {};
    return lines_.at(row).mid(start, length);
}

QStringList GridModel::cells(int row) const
{
    if (row < 0 || row >= lines_.size())
        return QStringList(columns_, QString());
    return lines_.at(row).split(kTab);
}

void GridModel::setCell(int row, int column, const QString &text)
{
    if (row < 0 || row >= lines_.size() || column < 0 || column >= columns_)
        return;
    QString clean = text;
    clean.replace(kTab, QLatin1Char(' ')); // a TAB inside a cell would shift the others
    qsizetype start = 0, length = 0;
    if (!fieldSpan(lines_.at(row), column, start, length))
        return;
    lines_[row].replace(start, length, clean);
    lines_[row].squeeze();
    if (row == 0)
        emit headerDataChanged(Qt::Horizontal, column, column);
    else
        emit dataChanged(index(row - 1, column), index(row - 1, column));
}

void GridModel::setGridRows(int rows)
{
    rows = qMax(1, rows);
    const int current = int(lines_.size());
    if (rows > current) {
        beginInsertRows({}, current - 1, rows - 2);
        lines_.reserve(rows);
        const QString empty(columns_ - 1, kTab);
        while (lines_.size() < rows)
            lines_.append(empty);
        endInsertRows();
    } else if (rows < current) {
        beginRemoveRows({}, rows - 1, current - 2);
        lines_.resize(rows);
        endRemoveRows();
    }
}

QString GridModel::normalized(const QString &tabLine) const
{
    const qsizetype tabs = tabLine.count(kTab);
    QString out;
    if (tabs == columns_ - 1) {
        out = tabLine;
    } else if (tabs < columns_ - 1) {
        out = tabLine + QString(columns_ - 1 - tabs, kTab);
    } else {
        qsizetype start = 0, length = 0;
        fieldSpan(tabLine, columns_ - 1, start, length);
        out = tabLine.left(start + length);
    }
    // Lines built by concatenation often carry spare capacity; 48 000 of them
    // would waste megabytes.
    if (out.capacity() > out.size())
        out.squeeze();
    return out;
}

void GridModel::appendLine(const QString &tabLine)
{
    const int row = int(lines_.size()) - 1;
    beginInsertRows({}, row, row);
    lines_.append(normalized(tabLine));
    endInsertRows();
}

void GridModel::appendLines(const QVector<QString> &tabLines)
{
    if (tabLines.isEmpty())
        return;
    const int first = int(lines_.size()) - 1;
    beginInsertRows({}, first, first + int(tabLines.size()) - 1);
    lines_.reserve(lines_.size() + tabLines.size());
    for (const QString &l : tabLines)
        lines_.append(normalized(l));
    endInsertRows();
}

void GridModel::clearRecords()
{
    if (lines_.size() <= 1)
        return;
    beginRemoveRows({}, 0, int(lines_.size()) - 2);
    lines_.resize(1);
    lines_.squeeze();
    endRemoveRows();
}
