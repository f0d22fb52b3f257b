#pragma once

#include "core/stats/Limits.h"
#include "core/stats/Stats.h"

#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QVector>
#include <QWidget>

#include <array>

class Grid;
class ListWindow;
class QLabel;
class QLineEdit;
class QTableWidget;

// The figures of a list window's rows (the grid of the unit it shows), with
// fields for the limits of each quantity. It follows the list: rows added,
// the list emptied or its unit switched update the figures.
class StatsWindow : public QWidget {
    Q_OBJECT
public:
    explicit StatsWindow(ListWindow &list);

    QLabel *LblRecords = nullptr;
    QLabel *LblPeriod = nullptr;
    QLabel *LblMkt = nullptr;
    QTableWidget *GridStats = nullptr;
    // Limit fields by Quantity: objectName "TxtLow_temp", "TxtHigh_rh", ...
    std::array<QLineEdit *, kQuantities> TxtLow{};
    std::array<QLineEdit *, kQuantities> TxtHigh{};
    QLabel *LblLimitError = nullptr;

    const RowStats &stats() const { return stats_; }
    const Limits &limits() const { return limits_; }
    bool celsius() const { return celsius_; }

    // Recomputes now instead of at the next pass of the event loop.
    void refresh();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void watch(Grid *grid);
    void rowsAdded();
    void reload();
    void readLimits();
    void convertTemperatureLimits(bool toCelsius);
    void display(const RowStats &s);

    QPointer<ListWindow> list_;
    // The list's two grids, compared by address only: their Hide events also
    // come while the list is being destroyed, when it is no ListWindow any more.
    QList<const QObject *> grids_;
    QTimer update_;
    bool celsius_ = true;
    bool reloadNeeded_ = true;
    QVector<QStringList> rows_; // the shown grid's record rows, split into cells
    Limits limits_;
    RowStats stats_;
    std::array<QLabel *, kQuantities> limitLabels_{};
};

// Shows the statistics window of `list`, creating it when it has none.
StatsWindow *openStatsWindow(ListWindow &list);
