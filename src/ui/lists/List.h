#pragma once

#include "ui/lists/ListWindow.h"

class QLabel;

// The live list ("Lista - Tempo real"): one row per PC sample while it is
// open, both units filled, dumped to a data file every 48 000 rows.
class List : public ListWindow {
    Q_OBJECT
public:
    explicit List(App &app, QWidget *parent = nullptr);
    ~List() override;

    void Form_Load();
    // One sample: the °C and °F lines (date, time and the four values,
    // TAB-separated, as built for the recording file).
    void appendRow(const QString &celsiusLine, const QString &fahrenheitLine);
    // Writes the list to "mmddhhnnss.dlf" in the dump folder and starts it
    // again empty. False (list kept, failure reported) when it could not be written.
    bool dumpList();
    QString lastDumpFile() const { return lastDump_; }

    // Shows where the automatic dumps went (hidden until the first one).
    QLabel *LblDump = nullptr;

    // The rule that keeps the newest rows in view: from this last-row index
    // on, every new row scrolls the grid by one.
    static constexpr int kScrollFromRow = 16;

public slots:
    void Toolbar1_ButtonClick(const QString &key) override;

protected:
    void Form_Unload() override;

private:
    QString lastDump_;
};
