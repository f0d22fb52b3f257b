#include "ui/monitor/AlarmLimits.h"

#include "core/monitor/EmailText.h"
#include "ui/common/App.h"
#include "ui/common/KeyFilter.h"
#include "ui/monitor/AlarmLog.h"
#include "ui/monitor/PanelMonitor.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableWidget>
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
    : QWidget(parent ? parent : app.mainWindow(), Qt::Tool), app_(app), monitor_(monitor)
{
    closeOnEscape(this);
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
    TxtTempWarnLow = box(this, QStringLiteral("TxtTempWarnLow"));
    TxtTempWarnHigh = box(this, QStringLiteral("TxtTempWarnHigh"));
    TxtRHWarnLow = box(this, QStringLiteral("TxtRHWarnLow"));
    TxtRHWarnHigh = box(this, QStringLiteral("TxtRHWarnHigh"));
    TxtDewWarnLow = box(this, QStringLiteral("TxtDewWarnLow"));
    TxtDewWarnHigh = box(this, QStringLiteral("TxtDewWarnHigh"));
    TxtTempHyst = box(this, QStringLiteral("TxtTempHyst"));
    TxtRHHyst = box(this, QStringLiteral("TxtRHHyst"));
    TxtDewHyst = box(this, QStringLiteral("TxtDewHyst"));
    // A number of samples, or a duration: 90s, 30m, 2h.
    const QRegularExpression delayText(QStringLiteral("[0-9]{0,5}([.,][0-9]*)?\\s*(s|m|min|h)?"));
    TxtDelay = box(this, QStringLiteral("TxtDelay"));
    TxtDelay->setValidator(new QRegularExpressionValidator(delayText, TxtDelay));
    TxtWarnDelay = box(this, QStringLiteral("TxtWarnDelay"));
    TxtWarnDelay->setValidator(new QRegularExpressionValidator(delayText, TxtWarnDelay));
    TxtLinkAfter = box(this, QStringLiteral("TxtLinkAfter"));
    TxtLinkAfter->setValidator(new QRegularExpressionValidator(delayText, TxtLinkAfter));
    ChkSound = new QCheckBox(QStringLiteral("Aviso sonoro no início de um alarme"), this);
    ChkSound->setObjectName(QStringLiteral("ChkSound"));

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->addWidget(new QLabel(QStringLiteral("Alarme mínimo"), this), 0, 1, Qt::AlignCenter);
    grid->addWidget(new QLabel(QStringLiteral("Alarme máximo"), this), 0, 2, Qt::AlignCenter);
    grid->addWidget(new QLabel(QStringLiteral("Aviso mínimo"), this), 0, 3, Qt::AlignCenter);
    grid->addWidget(new QLabel(QStringLiteral("Aviso máximo"), this), 0, 4, Qt::AlignCenter);
    grid->addWidget(new QLabel(QStringLiteral("Histerese"), this), 0, 5, Qt::AlignCenter);
    LblTemp = new QLabel(this);
    LblDew = new QLabel(this);
    const struct {
        QLabel *caption;
        QLineEdit *low, *high, *warnLow, *warnHigh, *hyst;
    } rows[] = {
        {LblTemp, TxtTempLow, TxtTempHigh, TxtTempWarnLow, TxtTempWarnHigh, TxtTempHyst},
        {new QLabel(QStringLiteral("Umidade (%UR)"), this), TxtRHLow, TxtRHHigh, TxtRHWarnLow, TxtRHWarnHigh,
         TxtRHHyst},
        {LblDew, TxtDewLow, TxtDewHigh, TxtDewWarnLow, TxtDewWarnHigh, TxtDewHyst},
    };
    int row = 1;
    for (const auto &r : rows) {
        grid->addWidget(r.caption, row, 0);
        int column = 1;
        for (QLineEdit *e : {r.low, r.high, r.warnLow, r.warnHigh, r.hyst})
            grid->addWidget(e, row, column++);
        ++row;
    }
    showUnit();
    grid->addWidget(new QLabel(QStringLiteral("Atraso do alarme (amostras ou 90s, 30m, 2h)"), this), row, 0);
    grid->addWidget(TxtDelay, row, 1);
    grid->addWidget(new QLabel(QStringLiteral("Atraso do aviso"), this), row, 3, Qt::AlignRight);
    grid->addWidget(TxtWarnDelay, row++, 4);
    grid->addWidget(new QLabel(QStringLiteral("Sem comunicação: alarme após (0: nunca)"), this), row, 0);
    grid->addWidget(TxtLinkAfter, row, 1);
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
    CmdAlarms->setToolTip(QStringLiteral("Alarmes desta execução, o mais recente primeiro"));
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

void AlarmLimits::showUnit()
{
    const QString unit = celsius_ ? QStringLiteral("°C") : QStringLiteral("°F");
    LblTemp->setText(QStringLiteral("Temperatura (%1)").arg(unit));
    LblDew->setText(QStringLiteral("Ponto de orvalho (%1)").arg(unit));
}

void AlarmLimits::setCelsius(bool celsius)
{
    if (celsius == celsius_)
        return;
    // What is typed follows the unit: a bound that is not a number yet stays as typed.
    for (QLineEdit *box : {TxtTempLow, TxtTempHigh, TxtDewLow, TxtDewHigh}) {
        const std::optional<double> v = parseDecimal(box->text());
        if (v)
            box->setText(boundText(Quantity::Temperature, storedValue(Quantity::Temperature, *v, celsius_), celsius));
    }
    celsius_ = celsius;
    showUnit();
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
    const auto warn = [&](QLineEdit *low, QLineEdit *high, QLineEdit *hyst, Quantity q) {
        low->setText(boundText(q, s.warning[q].low, celsius_));
        high->setText(boundText(q, s.warning[q].high, celsius_));
        // A difference of temperatures: in °F it is 1.8 times as large.
        const double h = s.hysteresis[size_t(q)] * (q == Quantity::Humidity || celsius_ ? 1.0 : 1.8);
        hyst->setText(h == 0 ? QString() : QString::number(std::round(h * 100) / 100, 'g', 10));
    };
    warn(TxtTempWarnLow, TxtTempWarnHigh, TxtTempHyst, Quantity::Temperature);
    warn(TxtRHWarnLow, TxtRHWarnHigh, TxtRHHyst, Quantity::Humidity);
    warn(TxtDewWarnLow, TxtDewWarnHigh, TxtDewHyst, Quantity::DewPoint);
    TxtDelay->setText(s.delayMs > 0 ? durationText(s.delayMs) : QString::number(s.delay));
    TxtWarnDelay->setText(s.warningDelay.text());
    TxtLinkAfter->setText(durationText(s.linkAlarmAfterMs));
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
    const std::optional<double> parsed = parseDecimal(text);
    if (!parsed) {
        app_.showError(QStringLiteral("%1, %2: \"%3\" não é um número.").arg(name, which, box->text().trimmed()));
        box->setFocus();
        box->selectAll();
        return false;
    }
    const double v = *parsed;
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
    PanelSettings a = monitor_.settings();
    const struct {
        Quantity q;
        QLineEdit *low, *high, *warnLow, *warnHigh, *hyst;
        QString name;
    } rows[] = {
        {Quantity::Temperature, TxtTempLow, TxtTempHigh, TxtTempWarnLow, TxtTempWarnHigh, TxtTempHyst,
         QStringLiteral("Temperatura")},
        {Quantity::Humidity, TxtRHLow, TxtRHHigh, TxtRHWarnLow, TxtRHWarnHigh, TxtRHHyst, QStringLiteral("Umidade")},
        {Quantity::DewPoint, TxtDewLow, TxtDewHigh, TxtDewWarnLow, TxtDewWarnHigh, TxtDewHyst,
         QStringLiteral("Ponto de orvalho")},
    };
    for (const auto &r : rows) {
        for (const auto &[low, high, target, level] :
             {std::tuple{r.low, r.high, &a.limits, QString()},
              std::tuple{r.warnLow, r.warnHigh, &a.warning, QStringLiteral(" (aviso)")}}) {
            Bounds b;
            if (!readBound(low, r.q, QStringLiteral("mínimo") + level, &b.low) ||
                !readBound(high, r.q, QStringLiteral("máximo") + level, &b.high))
                return;
            if (b.low && b.high && *b.low >= *b.high) {
                app_.showError(QStringLiteral("%1: o mínimo deve ser menor que o máximo.").arg(r.name + level));
                low->setFocus();
                return;
            }
            (*target)[r.q] = b;
        }
        const QString h = r.hyst->text().trimmed();
        const auto hv = h.isEmpty() ? std::optional<double>(0) : parseDecimal(h);
        if (!hv || *hv < 0) {
            app_.showError(QStringLiteral("%1, histerese: \"%2\" não é um número positivo.").arg(r.name, h));
            r.hyst->setFocus();
            r.hyst->selectAll();
            return;
        }
        a.hysteresis[size_t(r.q)] = *hv / (r.q == Quantity::Humidity || celsius_ ? 1.0 : 1.8);
    }
    const auto delay = AlarmDelay::parse(TxtDelay->text().trimmed().replace(QLatin1Char(','), QLatin1Char('.')));
    if (!delay || (delay->ms == 0 && delay->samples > PanelSettings::kMaxDelay)) {
        app_.showError(
            QStringLiteral("Atraso: um número inteiro de amostras, de 1 a %1, ou uma duração (90s, 30m, 2h).")
                .arg(PanelSettings::kMaxDelay));
        TxtDelay->setFocus();
        TxtDelay->selectAll();
        return;
    }
    a.delay = delay->ms > 0 ? 1 : delay->samples;
    a.delayMs = delay->ms;
    const auto warnDelay =
        AlarmDelay::parse(TxtWarnDelay->text().trimmed().replace(QLatin1Char(','), QLatin1Char('.')));
    if (!warnDelay || (warnDelay->ms == 0 && warnDelay->samples > PanelSettings::kMaxDelay)) {
        app_.showError(QStringLiteral("Atraso do aviso: um número inteiro de amostras, de 1 a %1, ou uma duração "
                                      "(90s, 30m, 2h).")
                           .arg(PanelSettings::kMaxDelay));
        TxtWarnDelay->setFocus();
        return;
    }
    a.warningDelay = *warnDelay;
    const auto linkAfter = parseDurationMs(TxtLinkAfter->text().trimmed().isEmpty() ? QStringLiteral("0")
                                                                                    : TxtLinkAfter->text().trimmed());
    if (!linkAfter) {
        app_.showError(QStringLiteral("Sem comunicação: uma duração (90s, 5m, 1h) ou 0."));
        TxtLinkAfter->setFocus();
        return;
    }
    a.linkAlarmAfterMs = *linkAfter;
    a.sound = ChkSound->isChecked();
    QString error;
    if (!monitor_.setAlarmSettings(a, &error))
        app_.showError(error + QStringLiteral("\n\nOs limites valem até o fim desta execução."));
    close();
}

void AlarmLimits::CmdAlarms_Click()
{
    monitor_.showAlarmLog();
    logWindow = monitor_.alarmLogWindow;
}

AlarmLogView::AlarmLogView(PanelMonitor &monitor, QWidget *parent) : QWidget(parent, Qt::Tool), monitor_(monitor)
{
    setObjectName(QStringLiteral("AlarmLogView"));
    setWindowTitle(QStringLiteral("Alarmes"));
    setAttribute(Qt::WA_DeleteOnClose);
    closeOnEscape(this);
    GridAlarms = new QTableWidget(this);
    GridAlarms->setObjectName(QStringLiteral("GridAlarms"));
    GridAlarms->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GridAlarms->setSelectionBehavior(QAbstractItemView::SelectRows);
    GridAlarms->verticalHeader()->hide();
    GridAlarms->setAlternatingRowColors(true);
    GridAlarms->setColumnCount(6);
    GridAlarms->setHorizontalHeaderLabels({QStringLiteral("Hora"), QStringLiteral("Grandeza"), QStringLiteral("Estado"),
                                           QStringLiteral("Valor"), QStringLiteral("Limite"),
                                           QStringLiteral("Unidade")});
    GridAlarms->horizontalHeader()->setStretchLastSection(true);
    GridEvents = new QTableWidget(this);
    GridEvents->setObjectName(QStringLiteral("GridEvents"));
    GridEvents->setEditTriggers(QAbstractItemView::NoEditTriggers);
    GridEvents->setSelectionBehavior(QAbstractItemView::SelectRows);
    GridEvents->setSelectionMode(QAbstractItemView::SingleSelection);
    GridEvents->verticalHeader()->hide();
    GridEvents->setAlternatingRowColors(true);
    GridEvents->setColumnCount(9);
    GridEvents->setHorizontalHeaderLabels({QStringLiteral("Nº"), QStringLiteral("Grandeza"), QStringLiteral("Nível"),
                                           QStringLiteral("Início"), QStringLiteral("Fim"), QStringLiteral("Pico"),
                                           QStringLiteral("Duração"), QStringLiteral("Reconhecido por"),
                                           QStringLiteral("Comentário")});
    GridEvents->horizontalHeader()->setStretchLastSection(true);
    CmdAck = new QPushButton(QStringLiteral("Reconhecer"), this);
    CmdAck->setObjectName(QStringLiteral("CmdAck"));
    connect(CmdAck, &QPushButton::clicked, this, &AlarmLogView::CmdAck_Click);
    LblLogFile = new QLabel(this);
    LblLogFile->setObjectName(QStringLiteral("LblLogFile"));
    LblLogFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
    LblLogFile->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Eventos"), this));
    layout->addWidget(GridEvents, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(CmdAck);
    layout->addLayout(buttons);
    layout->addWidget(new QLabel(QStringLiteral("Registro"), this));
    layout->addWidget(GridAlarms, 1);
    layout->addWidget(LblLogFile);
    connect(&monitor_, &PanelMonitor::logChanged, this, &AlarmLogView::refresh);
    refresh();
    resize(760, 480);
}

void AlarmLogView::CmdAck_Click()
{
    const QVector<AlarmEvent> events = monitor_.events();
    quint64 id = 0;
    if (const auto rows = GridEvents->selectionModel()->selectedRows(); !rows.isEmpty())
        id = GridEvents->item(rows.first().row(), 0)->text().toULongLong();
    if (id == 0)
        for (const AlarmEvent &e : events)
            if (!e.acknowledged) {
                id = e.id;
                break;
            }
    App &app = monitor_.app();
    if (id == 0) {
        app.prompts().message(QStringLiteral("Nenhum alarme espera reconhecimento."), texts::kTitle);
        return;
    }
    const QString comment =
        app.prompts()
            .input(QStringLiteral("Alarme nº %1: o que foi verificado ou feito? (obrigatório)").arg(id),
                   QStringLiteral("Reconhecer alarme"), QString())
            .trimmed();
    if (comment.isEmpty())
        return; // cancelled
    QString error;
    if (!monitor_.acknowledge(id, comment, &error))
        app.prompts().message(QStringLiteral("O alarme nº %1 não foi reconhecido: %2").arg(id).arg(error),
                              texts::kTitle);
}

void AlarmLogView::refresh()
{
    const QVector<AlarmEvent> events = monitor_.events();
    GridEvents->setRowCount(int(events.size()));
    const QColor red(0xc6, 0x28, 0x28);
    for (int i = 0; i < events.size(); ++i) {
        const AlarmEvent &e = events[events.size() - 1 - i];
        const auto when = [](const QDateTime &t) {
            return t.isValid() ? t.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) : QString();
        };
        QString what = e.subject == AlarmSubject::Link      ? QStringLiteral("comunicação")
                       : e.subject == AlarmSubject::Battery ? QStringLiteral("bateria")
                                                            : quantityName(e.quantity);
        const QString peak = e.peak && e.subject == AlarmSubject::Quantity
                                 ? QLocale(QLocale::Portuguese, QLocale::Brazil).toString(*e.peak, 'f', 1) +
                                       QLatin1Char(' ') + unitText(e.quantity, true)
                                 : QString();
        const QDateTime until = e.running() ? monitor_.app().clock().now() : e.ended;
        const QString duration = e.started.isValid() ? durationPhrase(e.started.msecsTo(until)) : QString();
        const QString ack = e.acknowledged ? QStringLiteral("%1 em %2").arg(e.ackUser, when(e.ackTime))
                                           : QStringLiteral("não reconhecido");
        const QStringList cells{QString::number(e.id),
                                what,
                                e.level == AlarmLevel::Warning ? QStringLiteral("aviso") : QStringLiteral("alarme"),
                                when(e.started),
                                e.running() ? QStringLiteral("em curso") : when(e.ended),
                                peak,
                                duration,
                                ack,
                                e.ackComment};
        for (int c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if ((c == 4 && e.running()) || (c == 7 && !e.acknowledged))
                item->setForeground(red);
            GridEvents->setItem(i, c, item);
        }
    }
    GridEvents->resizeColumnsToContents();

    const QStringList lines = monitor_.runLog();
    GridAlarms->setRowCount(int(lines.size()));
    // The newest first: the one a user opens the window for.
    for (int i = 0; i < lines.size(); ++i) {
        const QStringList cells = lines[lines.size() - 1 - i].split(QLatin1Char(','));
        for (int c = 0; c < GridAlarms->columnCount(); ++c) {
            QString text = cells.value(c);
            if (c == 0)
                text = QDateTime::fromString(text, Qt::ISODate).toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
            auto *item = new QTableWidgetItem(text);
            if (c == 2 && text != QLatin1String("normal"))
                item->setForeground(QColor(0xc6, 0x28, 0x28));
            item->setTextAlignment(Qt::Alignment(c >= 3 && c <= 4 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
            GridAlarms->setItem(i, c, item);
        }
    }
    GridAlarms->resizeColumnsToContents();
    GridAlarms->scrollToTop();
    LblLogFile->setText(
        lines.isEmpty()
            ? QStringLiteral("Nenhum alarme nesta execução. Todos os alarmes ficam em %1")
                  .arg(QDir::toNativeSeparators(monitor_.logFile()))
            : QStringLiteral("Todos os alarmes ficam em %1").arg(QDir::toNativeSeparators(monitor_.logFile())));
}
