#pragma once

#include "core/study/Study.h"

#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>
#include <QWidget>

#include <array>

class App;
class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class StudyChart;

// "Estudo de mapeamento": the files of several loggers placed over a room,
// analysed together as `termohigrometro-cli study` analyses them: the
// figures of each logger, the hot and cold spots, the overlay chart, the
// report and the table as CSV. Every change of the files, labels, limits or
// period is analysed again at the next pass of the event loop.
class StudyWindow : public QWidget {
    Q_OBJECT
public:
    explicit StudyWindow(App &app, QWidget *parent = nullptr);

    // Reads the files and adds them (a file already in the study is not
    // added twice); one that cannot be read stays in the list, named in the
    // status line, until it is removed.
    void addFiles(const QStringList &paths);
    QStringList files() const;
    // Analyses now instead of at the next pass of the event loop.
    void refresh();
    const study::Result &result() const { return result_; }

    // Controls, by their objectName.
    QPushButton *CmdAdd = nullptr;
    QPushButton *CmdRemove = nullptr;
    QPushButton *CmdReport = nullptr;
    QPushButton *CmdExport = nullptr;
    QTableWidget *GridFiles = nullptr; // label (editable), file
    // Temperature and humidity limits: "TxtLow_temp", "TxtHigh_rh", ...
    std::array<QLineEdit *, 2> TxtLow{}, TxtHigh{};
    QCheckBox *ChkFrom = nullptr;
    QCheckBox *ChkTo = nullptr;
    QDateTimeEdit *DtFrom = nullptr;
    QDateTimeEdit *DtTo = nullptr;
    QLineEdit *TxtMkt = nullptr;
    QLabel *LblSummary = nullptr;
    QLabel *LblStatus = nullptr;
    QTableWidget *GridLoggers = nullptr;
    QComboBox *CboChart = nullptr;
    StudyChart *Chart = nullptr;

    // Columns of GridLoggers.
    enum Column {
        ColLabel,
        ColRecords,
        ColInterval,
        ColMin,
        ColMinAt,
        ColMax,
        ColMaxAt,
        ColMean,
        ColMkt,
        ColOutside,
        ColExcursions,
        kColumns
    };
    // The backgrounds of the hot and the cold spot's rows.
    static QColor hotColor();
    static QColor coldColor();

public slots:
    void CmdAdd_Click();
    void CmdRemove_Click();
    bool CmdReport_Click();
    bool CmdExport_Click();

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    struct Entry {
        QString path;
        QString label;
        QString error; // why the file could not be read
        bool celsius = true;
        QString name, sector, company;
        QVector<DataRecord> records;
    };

    void buildLayout();
    void listFiles();
    // The options as typed; false with the reasons in *problems.
    bool readOptions(study::Options &options, QStringList *problems);
    void showResult();
    void showFailure(const QString &text);
    void showChart();
    // The loggers of the entries in the study (all of them readable).
    QVector<study::Logger> loggers() const;
    // The table's rows as the CSV gives them, in the order shown.
    QVector<QStringList> csvRows() const;

    App &app_;
    QVector<Entry> entries_;
    QTimer update_;
    study::Result result_;
    QVector<study::Logger> analysed_; // the loggers result_ was computed from
    std::array<QLabel *, 2> limitLabels_{};
};
