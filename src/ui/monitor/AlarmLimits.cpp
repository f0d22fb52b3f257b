#include "ui/monitor/AlarmLimits.h"

#include "ui/common/App.h"
#include "ui/monitor/AlarmLog.h"
#include "ui/monitor/PanelMonitor.h"

#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <cmath>

namespace {
// The widest range a bound may take, in °C (the instrument measures well inside it).
constexpr double kLowestC = -100;
constexpr double kHighestC = 200;

QLineEdit *box(QWidget *parent, const QString &name)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setFixedWidth(80);
    e->setAlignment(Qt::AlignRight);
    e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]*[.,]?[0-9]*")), e));
    return e;
}

QString boundText(Quantity q, const std::optional<double> &v, bool celsius)
{
    if (!v)
        return {};
    const double shown = std::round(displayedValue(q, *v, celsius) * 100) / 100;
    return QString::number(shown == 0 ? 0.0 : shown, 'g', 10);
}

QString rangeText(double v)
{
    return QString::number(std::round(v));
}
} // namespace

AlarmLimits::AlarmLimits(App &app, PanelMonitor &monitor, QWidget *parent)
    : QWidget(parent ? parent : app.mainWindow(), Qt::Window), app_(app), monitor_(monitor)
{
    setObjectName(QStringLiteral("AlarmLimits"));
    setWindowTitle(QStringLiteral("Limites de alarme"));
    setAttribute(Qt::WA_DeleteOnClose);
    celsius_ = app_.state().CelsiusDisplay;

    TxtTempLow = box(this, QStringLiteral("TxtTempLow"));
    TxtTempHigh = box(this, QStringLiteral("TxtTempHigh"));
    TxtRHLow = box(this, QStringLiteral("TxtRHLow"));
    TxtRHHigh = box(this, QStringLiteral("TxtRHHigh"));
    TxtDewLow = box(this, QStringLiteral("TxtDewLow"));
    TxtDewHigh = box(this, QStringLiteral("TxtDewHigh"));
    TxtDelay = box(this, QStringLiteral("TxtDelay"));
    TxtDelay->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), TxtDelay));
    ChkSound = new QCheckBox(QStringLiteral("Aviso sonoro no início de um alarme"), this);
    ChkSound->setObjectName(QStringLiteral("ChkSound"));

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->addWidget(new QLabel(QStringLiteral("Mínimo"), this), 0, 1, Qt::AlignCenter);
    grid->addWidget(new QLabel(QStringLiteral("Máximo"), this), 0, 2, Qt::AlignCenter);
    const QString unit = celsius_ ? QStringLiteral("°C") : QStringLiteral("°F");
    const struct {
        QString caption;
        QLineEdit *low, *high;
    } rows[] = {
        {QStringLiteral("Temperatura (%1)").arg(unit), TxtTempLow, TxtTempHigh},
        {QStringLiteral("Umidade (%UR)"), TxtRHLow, TxtRHHigh},
        {QStringLiteral("Ponto de orvalho (%1)").arg(unit), TxtDewLow, TxtDewHigh},
    };
    int row = 1;
    for (const auto &r : rows) {
        grid->addWidget(new QLabel(r.caption, this), row, 0);
        grid->addWidget(r.low, row, 1);
        grid->addWidget(r.high, row, 2);
        ++row;
    }
    grid->addWidget(new QLabel(QStringLiteral("Atraso (amostras fora em seguida)"), this), row, 0);
    grid->addWidget(TxtDelay, row, 1);
    auto *hint = new QLabel(QStringLiteral("Deixe em branco o limite que não quiser vigiar. Os valores são "
                                           "conferidos a cada amostra do computador."),
                            this);
    hint->setWordWrap(true);
    hint->setStyleSheet(QStringLiteral("color: #4a5d73;"));

    CmdOK = new QPushButton(QStringLiteral("OK"), this);
    CmdOK->setObjectName(QStringLiteral("CmdOK"));
    CmdOK->setDefault(true);
    CmdCancel = new QPushButton(QStringLiteral("Cancelar"), this);
    CmdCancel->setObjectName(QStringLiteral("CmdCancel"));
    CmdAlarms = new QPushButton(QStringLiteral("Alarmes"), this);
    CmdAlarms->setObjectName(QStringLiteral("CmdAlarms"));
    CmdAlarms->setToolTip(QStringLiteral("Alarmes desta execução"));
    connect(CmdOK, &QPushButton::clicked, this, &AlarmLimits::CmdOK_Click);
    connect(CmdCancel, &QPushButton::clicked, this, &QWidget::close);
    connect(CmdAlarms, &QPushButton::clicked, this, &AlarmLimits::CmdAlarms_Click);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(CmdAlarms);
    buttons->addStretch(1);
    buttons->addWidget(CmdOK);
    buttons->addWidget(CmdCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(ChkSound);
    layout->addWidget(hint);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    fill();
    if (QWidget *main = app_.mainWindow()) {
        const QRect f = main->frameGeometry();
        placeWindow(this, f.x() + 60, f.y() + 80);
    }
}

void AlarmLimits::fill()
{
    const PanelSettings &s = monitor_.settings();
    const auto put = [&](QLineEdit *low, QLineEdit *high, Quantity q) {
        low->setText(boundText(q, s.limits[q].low, celsius_));
        high->setText(boundText(q, s.limits[q].high, celsius_));
    };
    put(TxtTempLow, TxtTempHigh, Quantity::Temperature);
    put(TxtRHLow, TxtRHHigh, Quantity::Humidity);
    put(TxtDewLow, TxtDewHigh, Quantity::DewPoint);
    TxtDelay->setText(QString::number(s.delay));
    ChkSound->setChecked(s.sound);
}

bool AlarmLimits::readBound(QLineEdit *box, Quantity q, const QString &which, std::optional<double> *out)
{
    QString text = box->text().trimmed();
    out->reset();
    if (text.isEmpty())
        return true;
    const QString name = q == Quantity::Humidity   ? QStringLiteral("Umidade")
                         : q == Quantity::DewPoint ? QStringLiteral("Ponto de orvalho")
                                                   : QStringLiteral("Temperatura");
    if (!text.contains(QLatin1Char('.')) && text.count(QLatin1Char(',')) == 1)
        text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(v)) {
        app_.showError(QStringLiteral("%1, %2: \"%3\" não é um número.").arg(name, which, box->text().trimmed()));
        box->setFocus();
        box->selectAll();
        return false;
    }
    const double lowest = q == Quantity::Humidity ? 0 : displayedValue(q, kLowestC, celsius_);
    const double highest = q == Quantity::Humidity ? 100 : displayedValue(q, kHighestC, celsius_);
    if (v < lowest || v > highest) {
        app_.showError(QStringLiteral("%1: os limites vão de %2 a %3 %4.")
                           .arg(name, rangeText(lowest), rangeText(highest),
                                q == Quantity::Humidity ? QStringLiteral("%UR") : unitText(q, celsius_)));
        box->setFocus();
        box->selectAll();
        return false;
    }
    *out = storedValue(q, v, celsius_);
    return true;
}

void AlarmLimits::CmdOK_Click()
{
    Limits limits;
    const struct {
        Quantity q;
        QLineEdit *low, *high;
    } rows[] = {
        {Quantity::Temperature, TxtTempLow, TxtTempHigh},
        {Quantity::Humidity, TxtRHLow, TxtRHHigh},
        {Quantity::DewPoint, TxtDewLow, TxtDewHigh},
    };
    for (const auto &r : rows) {
        Bounds b;
        if (!readBound(r.low, r.q, QStringLiteral("mínimo"), &b.low) ||
            !readBound(r.high, r.q, QStringLiteral("máximo"), &b.high))
            return;
        if (b.low && b.high && *b.low >= *b.high) {
            app_.showError(QStringLiteral("%1: o mínimo deve ser menor que o máximo.")
                               .arg(r.q == Quantity::Humidity   ? QStringLiteral("Umidade")
                                    : r.q == Quantity::DewPoint ? QStringLiteral("Ponto de orvalho")
                                                                : QStringLiteral("Temperatura")));
            r.low->setFocus();
            return;
        }
        limits[r.q] = b;
    }
    bool ok = false;
    const int delay = TxtDelay->text().trimmed().toInt(&ok);
    if (!ok || delay < 1 || delay > PanelSettings::kMaxDelay) {
        app_.showError(
            QStringLiteral("Atraso: um número inteiro de amostras, de 1 a %1.").arg(PanelSettings::kMaxDelay));
        TxtDelay->setFocus();
        TxtDelay->selectAll();
        return;
    }
    QString error;
    if (!monitor_.setAlarmSettings(limits, delay, ChkSound->isChecked(), &error))
        app_.showError(error + QStringLiteral("\n\nOs limites valem até o fim desta execução."));
    close();
}

void AlarmLimits::CmdAlarms_Click()
{
    if (!logWindow)
        logWindow = new AlarmLogView(monitor_, this);
    logWindow->show();
    logWindow->raise();
}

AlarmLogView::AlarmLogView(PanelMonitor &monitor, QWidget *parent) : QWidget(parent, Qt::Window), monitor_(monitor)
{
    setObjectName(QStringLiteral("AlarmLogView"));
    setWindowTitle(QStringLiteral("Alarmes"));
    setAttribute(Qt::WA_DeleteOnClose);
    TxtAlarmLog = new QPlainTextEdit(this);
    TxtAlarmLog->setObjectName(QStringLiteral("TxtAlarmLog"));
    TxtAlarmLog->setReadOnly(true);
    TxtAlarmLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono(QStringLiteral("Lucida Console"));
    mono.setStyleHint(QFont::Monospace);
    mono.setPointSize(9);
    TxtAlarmLog->setFont(mono);
    LblLogFile = new QLabel(this);
    LblLogFile->setObjectName(QStringLiteral("LblLogFile"));
    LblLogFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
    LblLogFile->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(TxtAlarmLog, 1);
    layout->addWidget(LblLogFile);
    connect(&monitor_, &PanelMonitor::logChanged, this, &AlarmLogView::refresh);
    refresh();
    resize(620, 300);
}

void AlarmLogView::refresh()
{
    const QStringList lines = monitor_.runLog();
    TxtAlarmLog->setPlainText(lines.isEmpty() ? QStringLiteral("Nenhum alarme nesta execução.")
                                              : (QStringList{AlarmLog::kHeading} + lines).join(QLatin1Char('\n')));
    LblLogFile->setText(
        QStringLiteral("Todos os alarmes ficam em %1").arg(QDir::toNativeSeparators(monitor_.logFile())));
}
