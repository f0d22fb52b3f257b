#pragma once

#include "ui/charts/ScaleDialog.h"

// "Escala do Gráfico": the file chart's scale and its range of records.
class PlotRange : public ScaleDialog {
    Q_OBJECT
public:
    explicit PlotRange(App &app, QWidget *parent = nullptr);

    QGroupBox *SSFrame3 = nullptr; // "Gravações"
    QLabel *SSPanel6 = nullptr;    // "De"
    QLabel *SSPanel7 = nullptr;    // "Até"
    QLineEdit *TxtFrom = nullptr;
    QLineEdit *TxtTo = nullptr;

public slots:
    void Form_Resize();
    void CmdOK_Click() override;

protected:
    const ChartScale &scale() const override;
    void resizeEvent(QResizeEvent *event) override;
};

// Shows the file chart's scale dialog (or raises the one already open).
void showPlotRange(App &app);
