#include "ui/charts/RealTimeRange.h"

#include "core/charts/ChartLogic.h"
#include "ui/charts/RealTime24.h"
#include "ui/common/App.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

RealTimeRange::RealTimeRange(App &app, QWidget *parent)
    : ScaleDialog(app, QStringLiteral("Escala - Tempo real"), parent)
{
    setObjectName(QStringLiteral("RealTimeRange"));
    SSPanel2 = captionPanel(QStringLiteral("Resultados"), "SSPanel2", this);
    TxtCounts = textBox("TxtCounts", this);

    setKeyPress(TxtMaxR, signedNumberKey);
    setKeyPress(TxtMinR, signedNumberKey);
    setKeyPress(TxtCounts, signedNumberKey);

    layOutFrames();

    auto *grid = new QGridLayout(this);
    grid->addWidget(SSFrame1, 0, 0);
    grid->addWidget(SSFrame2, 0, 1);
    auto *counts = new QHBoxLayout;
    counts->addWidget(SSPanel2);
    counts->addWidget(TxtCounts);
    counts->addStretch(1);
    grid->addLayout(counts, 1, 0);
    grid->addWidget(CmdOK, 1, 1, Qt::AlignRight);
    setFixedSize(sizeHint());

    Form_Load();
}

void RealTimeRange::Form_Load()
{
    const SharedState &s = app().state();
    TxtCounts->setText(numberText(countsFromStep(s.liveGeometry.PlotWidth, s.liveSweep.StepX)));
    TxtMaxR->setText(numberText(s.liveScale.RhMax));
    TxtMinR->setText(numberText(s.liveScale.RhMin));
    // Opens on the unit the main window shows, with its boxes filled.
    if (s.CelsiusDisplay)
        COpt_Click();
    else
        FOpt_Click();
}

const ChartScale &RealTimeRange::scale() const
{
    return app().state().liveScale;
}

QString RealTimeRange::celsiusText(double value) const
{
    if (scale().CelsiusFromFahrenheit)
        return QString::number(value, 'f', 1);
    return numberText(value);
}

void RealTimeRange::CmdOK_Click()
{
    SharedState &s = app().state();
    if (!storeTemperature(s.liveScale) || !storeHumidity(s.liveScale))
        return;
    const double counts = boxValue(TxtCounts);
    if (counts > 864000 || counts < 10) {
        refuse(QStringLiteral("10 <= Counts <= 864000, tente novamente!"));
        return;
    }
    if (auto *chart = qobject_cast<ChartWindow *>(app().liveChart.data()); chart && !chart->closed())
        chart->close();
    // The plot width of the chart as it was drawn before it closed.
    s.liveSweep.StepX = s.liveGeometry.PlotWidth / counts;
    showLiveChart(app());
    close();
}

void showRealTimeRange(App &app)
{
    if (app.liveRange) {
        app.liveRange->show();
        app.liveRange->raise();
        app.liveRange->activateWindow();
        return;
    }
    auto *dialog = new RealTimeRange(app, app.mainWindow());
    app.liveRange = dialog;
    dialog->show();
}
