#pragma once

#include "ui/lists/Grid.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

class App;
class QAction;
class QLabel;
class QLineEdit;
class QToolBar;

// The layout shared by the three list windows: the toolbar, the name, sector
// and company boxes with their labels, and the two seven-column grids GridC
// (°C) and GridF (°F), of which one is shown at a time.
class ListWindow : public QWidget {
    Q_OBJECT
public:
    ~ListWindow() override;

    App &app() const { return app_; }

    QToolBar *Toolbar1 = nullptr;
    QLabel *LblName = nullptr;
    QLabel *LblSector = nullptr;
    QLabel *LblCompany = nullptr;
    QLineEdit *TxtName = nullptr;
    QLineEdit *TxtSector = nullptr;
    QLineEdit *TxtCompany = nullptr;
    Grid *GridC = nullptr;
    Grid *GridF = nullptr;

    QString name() const;
    QString sector() const;
    QString company() const;

    // The toolbar button of `key` (nullptr when this window has none).
    QAction *button(const QString &key) const { return buttons_.value(key); }
    // Shows GridC when `celsius`, GridF otherwise.
    void showUnit(bool celsius);
    bool celsiusShown() const { return !GridC->isHidden(); }
    Grid *visibleGrid() const { return celsiusShown() ? GridC : GridF; }
    // The record rows of the visible grid as they stand now, split into
    // their fields: what the report and the export take, unchanged by rows
    // that arrive afterwards.
    QVector<QStringList> visibleRows() const;
    // "Save": refused during a PC recording run, else the save dialog and
    // `grid` into the file chosen.
    void saveGrid(Grid &grid);

    // Holds the window open while a command runs: a command may wait in a
    // dialog or let events run (printing), and a close asked meanwhile (the
    // main window closes the live list when the link is lost) happens once
    // it is over instead of pulling the window from under it.
    class Busy {
    public:
        explicit Busy(ListWindow *w);
        ~Busy();
        Busy(const Busy &) = delete;
        Busy &operator=(const Busy &) = delete;

    private:
        QPointer<ListWindow> w_;
    };
    bool closePending() const { return closePending_; }

    // Headings and column widths of both grids, heading row selected.
    void setUpGrids();
    // Column widths of the list grids: each as wide as its sample text.
    static const QStringList &columnSamples();

public slots:
    virtual void Toolbar1_ButtonClick(const QString &key) = 0;

protected:
    ListWindow(App &app, const QString &caption, QWidget *parent);

    void addButton(const QString &key, const QString &toolTip);
    // Left edge at the main window's right edge, tops aligned.
    void placeBesideMainWindow();
    // Tall enough for the heading row and `records` record rows.
    void sizeForRows(int records);

    void closeEvent(QCloseEvent *event) override;
    // Runs once when the window closes (the windows clear their open flags).
    virtual void Form_Unload() {}
    // For the windows' destructors: a window destroyed without being closed
    // (its parent went first) still runs its Form_Unload.
    void unloadOnce();

private:
    App &app_;
    QHash<QString, QAction *> buttons_;
    bool unloaded_ = false;
    int busy_ = 0;
    bool closePending_ = false;
};
