#pragma once

#include "ui/charts/ScaleDialog.h"

// "Escala - Tempo real": the live chart's scale and its number of points
// across the plot ("Counts").
class RealTimeRange : public ScaleDialog {
    Q_OBJECT
public:
    explicit RealTimeRange(App &app, QWidget *parent = nullptr);

    QLabel *SSPanel2 = nullptr; // "Resultados"
    QLineEdit *TxtCounts = nullptr;

public slots:
    void Form_Load();
    void CmdOK_Click() override;

protected:
    const ChartScale &scale() const override;
    QString celsiusText(double value) const override;
};

// Shows the live chart's scale dialog (or raises the one already open).
void showRealTimeRange(App &app);
