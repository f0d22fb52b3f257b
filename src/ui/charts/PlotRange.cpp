#include "ui/charts/PlotRange.h"

#include "core/charts/ChartDrawing.h"
#include "core/reading/Format.h"
#include "ui/charts/ListPlot1.h"
#include "ui/common/App.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

PlotRange::PlotRange(App &app, QWidget *parent) : ScaleDialog(app, QStringLiteral("Escala do Gráfico"), parent)
{
    setObjectName(QStringLiteral("PlotRange"));
    SSFrame3 = new QGroupBox(QStringLiteral("Gravações"), this);
    SSFrame3->setObjectName(QStringLiteral("SSFrame3"));
    SSPanel6 = captionPanel(QStringLiteral("De"), "SSPanel6", SSFrame3);
    SSPanel7 = captionPanel(QStringLiteral("Até"), "SSPanel7", SSFrame3);
    TxtFrom = textBox("TxtFrom", SSFrame3);
    TxtTo = textBox("TxtTo", SSFrame3);

    // Humidity cannot be negative here; records are whole numbers.
    setKeyPress(TxtMaxR, unsignedNumberKey);
    setKeyPress(TxtMinR, unsignedNumberKey);
    setKeyPress(TxtFrom, digitKey);
    setKeyPress(TxtTo, digitKey);

    layOutFrames();
    auto *r = new QGridLayout(SSFrame3);
    r->addWidget(SSPanel6, 0, 0);
    r->addWidget(TxtFrom, 0, 1);
    r->addWidget(SSPanel7, 1, 0);
    r->addWidget(TxtTo, 1, 1);
    r->setRowStretch(2, 1);

    auto *grid = new QGridLayout(this);
    grid->addWidget(SSFrame1, 0, 0);
    grid->addWidget(SSFrame2, 0, 1);
    grid->addWidget(SSFrame3, 0, 2);
    grid->addWidget(CmdOK, 1, 2, Qt::AlignRight);

    // Opens on the unit of the plotted rows.
    (plotCelsius(app) ? COpt : FOpt)->setChecked(true);
    setFixedSize(sizeHint());
}

const ChartScale &PlotRange::scale() const
{
    return app().state().fileScale;
}

void PlotRange::resizeEvent(QResizeEvent *event)
{
    ScaleDialog::resizeEvent(event);
    Form_Resize();
}

void PlotRange::Form_Resize()
{
    const SharedState &s = app().state();
    if (COpt->isChecked()) {
        TxtMax->setText(numberText(s.fileScale.TempMaxC));
        TxtMin->setText(numberText(s.fileScale.TempMinC));
    } else {
        TxtMax->setText(numberText(s.fileScale.TempMaxF));
        TxtMin->setText(numberText(s.fileScale.TempMinF));
    }
    TxtFrom->setText(QString::number(s.PlotFrom));
    TxtTo->setText(QString::number(s.PlotTo));
    TxtMaxR->setText(numberText(s.fileScale.RhMax));
    TxtMinR->setText(numberText(s.fileScale.RhMin));
}

void PlotRange::CmdOK_Click()
{
    SharedState &s = app().state();
    if (!storeTemperature(s.fileScale) || !storeHumidity(s.fileScale))
        return;
    const double from = boxValue(TxtFrom);
    const double to = boxValue(TxtTo);
    if (from < 1 || to <= from || to > s.FileRecordCount) {
        refuse(QStringLiteral("1 <= From <= %1, tente novamente!").arg(s.FileRecordCount));
        return;
    }
    s.PlotFrom = int(roundHalfEven(from));
    s.PlotTo = int(roundHalfEven(to));
    s.PlotCount = s.PlotTo - s.PlotFrom + 1;
    if (auto *chart = qobject_cast<ChartWindow *>(app().fileChart.data()); chart && !chart->closed())
        chart->close();
    s.fileSweep.StepX = fileStepX(s.fileGeometry, s.PlotCount);
    showFileChart(app());
    close();
}

void showPlotRange(App &app)
{
    if (app.plotRange) {
        app.plotRange->show();
        app.plotRange->raise();
        app.plotRange->activateWindow();
        return;
    }
    auto *dialog = new PlotRange(app, app.mainWindow());
    app.plotRange = dialog;
    dialog->show();
}
