#include "ui/charts/ScaleDialog.h"

#include "core/charts/ChartLogic.h"
#include "core/reading/Format.h"
#include "ui/common/App.h"
#include "ui/common/KeyFilter.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {
bool isDigit(int c)
{
    return c >= '0' && c <= '9';
}
} // namespace

ScaleDialog::ScaleDialog(App &app, const QString &caption, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), app_(app)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(caption);

    SSFrame1 = new QGroupBox(QStringLiteral("Temperatura"), this);
    SSFrame1->setObjectName(QStringLiteral("SSFrame1"));
    COpt = new QRadioButton(QStringLiteral("Celsius"), SSFrame1);
    COpt->setObjectName(QStringLiteral("COpt"));
    FOpt = new QRadioButton(QStringLiteral("Fahrenheit"), SSFrame1);
    FOpt->setObjectName(QStringLiteral("FOpt"));
    SSPanel4 = captionPanel(QStringLiteral("Max"), "SSPanel4", SSFrame1);
    SSPanel5 = captionPanel(QStringLiteral("Min"), "SSPanel5", SSFrame1);
    TxtMax = textBox("TxtMax", SSFrame1);
    TxtMin = textBox("TxtMin", SSFrame1);

    SSFrame2 = new QGroupBox(QStringLiteral("UH%"), this);
    SSFrame2->setObjectName(QStringLiteral("SSFrame2"));
    SSPanel1 = captionPanel(QStringLiteral("Max"), "SSPanel1", SSFrame2);
    SSPanel3 = captionPanel(QStringLiteral("Min"), "SSPanel3", SSFrame2);
    TxtMaxR = textBox("TxtMaxR", SSFrame2);
    TxtMinR = textBox("TxtMinR", SSFrame2);

    CmdOK = new QPushButton(QStringLiteral("Ok"), this);
    CmdOK->setObjectName(QStringLiteral("CmdOK"));
    CmdOK->setDefault(true);

    setKeyPress(TxtMax, signedNumberKey);
    setKeyPress(TxtMin, signedNumberKey);

    connect(COpt, &QRadioButton::clicked, this, &ScaleDialog::COpt_Click);
    connect(FOpt, &QRadioButton::clicked, this, &ScaleDialog::FOpt_Click);
    connect(CmdOK, &QPushButton::clicked, this, &ScaleDialog::CmdOK_Click);
}

void ScaleDialog::layOutFrames()
{
    auto *t = new QGridLayout(SSFrame1);
    t->addWidget(COpt, 0, 0);
    t->addWidget(FOpt, 0, 1);
    t->addWidget(SSPanel4, 1, 0);
    t->addWidget(TxtMax, 1, 1);
    t->addWidget(SSPanel5, 2, 0);
    t->addWidget(TxtMin, 2, 1);
    auto *h = new QGridLayout(SSFrame2);
    h->addWidget(SSPanel1, 0, 0);
    h->addWidget(TxtMaxR, 0, 1);
    h->addWidget(SSPanel3, 1, 0);
    h->addWidget(TxtMinR, 1, 1);
    h->setRowStretch(2, 1);
}

QLabel *ScaleDialog::captionPanel(const QString &text, const char *name, QWidget *parent)
{
    auto *panel = new QLabel(text, parent);
    panel->setObjectName(QLatin1String(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    panel->setAlignment(Qt::AlignCenter);
    panel->setMinimumWidth(40);
    return panel;
}

QLineEdit *ScaleDialog::textBox(const char *name, QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setFixedWidth(70);
    return box;
}

void ScaleDialog::setKeyPress(QLineEdit *box, const std::function<void(int &)> &filter)
{
    ::setKeyPress(box, filter);
}

void ScaleDialog::signedNumberKey(int &KeyAscii)
{
    decimalCommaAsPoint(KeyAscii);
    if (!isDigit(KeyAscii) && KeyAscii != '-' && KeyAscii != '.' && KeyAscii != 8)
        KeyAscii = 0;
}

void ScaleDialog::unsignedNumberKey(int &KeyAscii)
{
    decimalCommaAsPoint(KeyAscii);
    if (!isDigit(KeyAscii) && KeyAscii != '.' && KeyAscii != 8)
        KeyAscii = 0;
}

void ScaleDialog::digitKey(int &KeyAscii)
{
    if (!isDigit(KeyAscii) && KeyAscii != 8)
        KeyAscii = 0;
}

double ScaleDialog::boxValue(const QLineEdit *box)
{
    return leadingNumber(box->text());
}

QString ScaleDialog::numberText(double value)
{
    return plainDecimalText(value);
}

QString ScaleDialog::celsiusText(double value) const
{
    return numberText(value);
}

void ScaleDialog::COpt_Click()
{
    COpt->setChecked(true);
    FOpt->setChecked(false);
    TxtMax->setText(celsiusText(scale().TempMaxC));
    TxtMin->setText(celsiusText(scale().TempMinC));
}

void ScaleDialog::FOpt_Click()
{
    FOpt->setChecked(true);
    COpt->setChecked(false);
    TxtMax->setText(numberText(scale().TempMaxF));
    TxtMin->setText(numberText(scale().TempMinF));
}

void ScaleDialog::refuse(const QString &message)
{
    app_.showError(message);
}

bool ScaleDialog::storeTemperature(ChartScale &s)
{
    const double max = boxValue(TxtMax);
    const double min = boxValue(TxtMin);
    if (COpt->isChecked()) {
        if (max > 60 || min < -20 || max <= min) {
            refuse(QStringLiteral("-20 <= Celsius <= 60, tente novamente!"));
            return false;
        }
        s.TempMaxC = max;
        s.TempMinC = min;
        s.TempMaxF = s.TempMaxC * 9 / 5 + 32;
        s.TempMinF = s.TempMinC * 9 / 5 + 32;
        s.CelsiusFromFahrenheit = false;
        return true;
    }
    if (max > 140 || min < -4 || max <= min) {
        refuse(QStringLiteral("-4 <= Fahrenheit <= 140, tente novamente!"));
        return false;
    }
    s.TempMaxF = max;
    s.TempMinF = min;
    s.TempMaxC = roundHalfEven((s.TempMaxF - 32) * 5 / 9 * 10) / 10.0;
    s.TempMinC = roundHalfEven((s.TempMinF - 32) * 5 / 9 * 10) / 10.0;
    s.CelsiusFromFahrenheit = true;
    return true;
}

bool ScaleDialog::storeHumidity(ChartScale &s)
{
    const double max = boxValue(TxtMaxR);
    const double min = boxValue(TxtMinR);
    if (max > 100 || min < 0 || max <= min) {
        refuse(QStringLiteral("0 <= UR% <= 100, tente novamente!"));
        return false;
    }
    s.RhMax = max;
    s.RhMin = min;
    return true;
}
