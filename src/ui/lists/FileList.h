#pragma once

#include "ui/lists/ListWindow.h"

#include <QByteArray>

class QLabel;

// The file list: the records of one data file, in the grid of the file's
// unit; the data source of the file chart.
class FileList : public ListWindow {
    Q_OBJECT
public:
    explicit FileList(App &app, QWidget *parent = nullptr);
    ~FileList() override;

    void Form_Load();
    // Loads a data file's bytes: texts, unit, records. `title` is the
    // caption (the file's name without its folder). Returns the records loaded.
    int loadData(const QByteArray &bytes, const QString &title);
    // The grid of the loaded file's unit (FileUnitCelsius).
    Grid *unitGrid() const;
    // The file the list was read from (empty for bytes from elsewhere): what
    // "Study" sends to the mapping study.
    QString filePath() const { return filePath_; }
    void setFilePath(const QString &path);

    QLabel *LblMessage[3] = {nullptr, nullptr, nullptr};
    // The file's signature as checked when it was opened, under the grids.
    QLabel *LblSignature = nullptr;

public slots:
    void Toolbar1_ButtonClick(const QString &key) override;

protected:
    void Form_Unload() override;

private:
    void showSignature();
    QString filePath_;
};
