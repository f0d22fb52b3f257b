#include "ui/panel/Panel.h"

#include "ui/common/App.h"
#include "ui/common/PanelButtons.h"
#include "ui/panel/PanelParts.h"

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

using namespace panelparts;

namespace {

// An alarm is red; a warning, the earlier level, amber with dark words.
const QString kAlarmColor = QStringLiteral("#c62828");
const QString kWarningColor = QStringLiteral("#f0a000");
const QString kWarningText = QStringLiteral("#2b1d00");
const QString kWarningValue = QStringLiteral("#b36200");

QString badgeStyle(const QString &background, const QString &text = QStringLiteral("white"))
{
    return QStringLiteral("QLabel { color: %2; background: %1; border-radius: 5px; padding: 3px 8px; }")
        .arg(background, text);
}

QLabel *badge(const QString &name, const QString &text, const QString &color, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setAlignment(Qt::AlignCenter);
    l->setFont(arial(11, true));
    l->setMinimumWidth(54);
    l->setStyleSheet(badgeStyle(color));
    QSizePolicy sp = l->sizePolicy();
    sp.setRetainSizeWhenHidden(true);
    l->setSizePolicy(sp);
    l->hide();
    return l;
}

// A badge of an event: its words, and under them "(não reconhecido)" until
// someone acknowledges it. Two lines are kept from the start, so that
// nothing moves when one comes, and the narrow columns under the values
// need no more than the longer line.
QLabel *eventBadge(const QString &name, const QString &color, QWidget *parent)
{
    QLabel *l = badge(name, QString(), color, parent);
    l->setFont(arial(10, true));
    // The two lines and the padding of the style.
    l->setMinimumHeight(QFontMetrics(l->font()).size(0, QStringLiteral("A\nA")).height() + 6);
    return l;
}

const QColor kCelsiusColor(0xc6, 0x28, 0x28);
const QColor kFahrenheitColor(0x26, 0x68, 0xbe);

// "°C" / "°F" drawn as a picture beside the temperature, `scale` times its
// design size.
QPixmap unitPicture(const QString &text, const QColor &color, qreal dpr, double scale = 1)
{
    // As tall as the font: the temperature's badge sits right under it.
    const int w = qRound(64 * scale), h = qRound(48 * scale);
    QPixmap pm(int(w * dpr), int(h * dpr));
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QFont f = arial(30, true);
    f.setPixelSize(qRound(40 * scale));
    p.setFont(f);
    p.setPen(color);
    p.drawText(QRect(0, 0, w, h), Qt::AlignLeft | Qt::AlignTop, text);
    return pm;
}

} // namespace

void Panel::buildDisplay()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("PanelBody"));
    central->setStyleSheet(QStringLiteral("#PanelBody { background: #e9eef3; }"));
    setCentralWidget(central);

    auto *outer = new QVBoxLayout(central);
    outer->setContentsMargins(12, 10, 12, 10);
    outer->setSpacing(8);

    // Title line: the instrument and the port.
    auto *title = new QHBoxLayout;
    MeterName = new QLabel(QStringLiteral("Termo-higrômetro com datalogger"), central);
    MeterName->setObjectName(QStringLiteral("MeterName"));
    MeterName->setFont(arial(14, true));
    MeterName->setStyleSheet(QStringLiteral("color: #23364d;"));
    LblCOM = new QLabel(kNoCommunication, central);
    LblCOM->setObjectName(QStringLiteral("LblCOM"));
    LblCOM->setFont(arial(12, true));
    LblCOM->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    LblCOM->setCursor(Qt::PointingHandCursor);
    LblCOM->setMinimumWidth(170);
    {
        QSizePolicy sp = LblCOM->sizePolicy();
        sp.setRetainSizeWhenHidden(true);
        LblCOM->setSizePolicy(sp);
    }
    LblCOM->installEventFilter(this);
    title->addWidget(MeterName, 1);
    title->addWidget(LblCOM);
    outer->addLayout(title);

    // The display: status, temperature, the three other values.
    Shape1 = new QFrame(central);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setStyleSheet(
        QStringLiteral("#Shape1 { background: white; border: 2px solid #8fa1b5; border-radius: 10px; }"));
    outer->addWidget(Shape1, 1);
    auto *grid = new QGridLayout(Shape1);
    grid->setContentsMargins(16, 10, 16, 12);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(4);

    auto *status = new QHBoxLayout;
    status->setSpacing(8);
    LblHold = badge(QStringLiteral("LblHold"), QStringLiteral("H"), QStringLiteral("#d98a00"), Shape1);
    LblRecord = badge(QStringLiteral("LblRecord"), QStringLiteral("Record"), QStringLiteral("#c62828"), Shape1);
    LblFull = badge(QStringLiteral("LblFull"), QStringLiteral("Full"), QStringLiteral("#6a1b9a"), Shape1);
    LblBT = badge(QStringLiteral("LblBT"), QStringLiteral("BT"), QStringLiteral("#b71c1c"), Shape1);
    LblBT->setToolTip(QStringLiteral("Bateria fraca"));
    LblHold->setToolTip(QStringLiteral("Leitura congelada no instrumento"));
    LblRecord->setToolTip(QStringLiteral("O instrumento está gravando"));
    LblFull->setToolTip(QStringLiteral("Memória do instrumento cheia"));
    status->addWidget(LblHold);
    status->addWidget(LblRecord);
    status->addWidget(LblFull);
    // Publishing that fails would otherwise go unseen behind the toolbar button.
    LblBroker =
        badge(QStringLiteral("LblBroker"), QStringLiteral("Sem servidor MQTT"), QStringLiteral("#b35900"), Shape1);
    status->addWidget(LblBroker);
    status->addStretch(1);
    status->addWidget(LblBT);
    grid->addLayout(status, 0, 0, 1, 3);

    const QString valueStyle = QStringLiteral("color: #12263f;");
    LblTemperature = new QLabel(Shape1);
    LblTemperature->setObjectName(QStringLiteral("LblTemperature"));
    LblTemperature->setFont(arial(kTemperaturePoints, true));
    LblTemperature->setStyleSheet(valueStyle);
    LblTemperature->setAlignment(Qt::AlignRight | Qt::AlignTop);
    LblTemperature->setMinimumWidth(QFontMetrics(LblTemperature->font()).horizontalAdvance(QStringLiteral("-888.8")));
    LblTemperature->setMinimumHeight(QFontMetrics(LblTemperature->font()).height());

    const qreal dpr = devicePixelRatioF();
    ImaC = new QLabel(Shape1);
    ImaC->setObjectName(QStringLiteral("ImaC"));
    ImaC->setPixmap(unitPicture(QStringLiteral("°C"), kCelsiusColor, dpr));
    ImaF = new QLabel(Shape1);
    ImaF->setObjectName(QStringLiteral("ImaF"));
    ImaF->setPixmap(unitPicture(QStringLiteral("°F"), kFahrenheitColor, dpr));
    ImaF->hide();
    // The unit's top lines up with the top of the digits.
    const QFontMetrics big(LblTemperature->font());
    QFont unitFont = arial(30, true);
    unitFont.setPixelSize(40);
    const QFontMetrics small(unitFont);
    const int unitTop = qMax(0, (big.ascent() - big.capHeight()) - (small.ascent() - small.capHeight()));
    auto *units = new QVBoxLayout;
    units->setContentsMargins(0, unitTop, 0, 0);
    units->setSpacing(0);
    units_ = units;
    unitTop_ = unitTop;
    units->addWidget(ImaC);
    units->addWidget(ImaF);
    LblTempAlarm = eventBadge(QStringLiteral("LblTempAlarm"), kAlarmColor, Shape1);
    units->addWidget(LblTempAlarm);
    units->addStretch(1);

    auto *tempRow = new QHBoxLayout;
    tempRow->addStretch(1);
    tempRow->addWidget(LblTemperature, 0, Qt::AlignTop);
    tempRow->addLayout(units);
    tempRow->addStretch(1);
    auto *tempColumn = new QVBoxLayout;
    tempColumn->addStretch(1);
    tempColumn->addLayout(tempRow);
    tempColumn->addStretch(1);
    grid->addLayout(tempColumn, 1, 0, 1, 3);
    grid->setRowStretch(1, 1);

    auto *line = new QFrame(Shape1);
    line->setFrameShape(QFrame::HLine);
    line->setStyleSheet(QStringLiteral("color: #c5d0dc;"));
    grid->addWidget(line, 2, 0, 1, 3);

    auto value = [&](const QString &name) {
        auto *l = new QLabel(Shape1);
        l->setObjectName(name);
        l->setFont(arial(kValuePoints, true));
        l->setStyleSheet(valueStyle);
        l->setAlignment(Qt::AlignCenter);
        l->setMinimumWidth(QFontMetrics(l->font()).horizontalAdvance(QStringLiteral("-888.8")));
        l->setMinimumHeight(QFontMetrics(l->font()).height());
        return l;
    };
    auto caption = [&](const QString &name, const QString &text) {
        auto *l = new QLabel(text, Shape1);
        l->setObjectName(name);
        l->setFont(arial(12, false));
        l->setStyleSheet(QStringLiteral("color: #4a5d73;"));
        l->setAlignment(Qt::AlignCenter);
        return l;
    };
    LblRH = value(QStringLiteral("LblRH"));
    LblDew = value(QStringLiteral("LblDew"));
    LblWet = value(QStringLiteral("LblWet"));
    UnitRH = caption(QStringLiteral("UnitRH"), QStringLiteral("%UR"));
    UnitDew = caption(QStringLiteral("UnitDew"), QStringLiteral("Orvalho"));
    Label1 = caption(QStringLiteral("Label1"), QStringLiteral("Úmido"));
    grid->addWidget(LblRH, 3, 0);
    grid->addWidget(LblDew, 3, 1);
    grid->addWidget(LblWet, 3, 2);
    grid->addWidget(UnitRH, 4, 0);
    grid->addWidget(UnitDew, 4, 1);
    grid->addWidget(Label1, 4, 2);
    LblRHAlarm = eventBadge(QStringLiteral("LblRHAlarm"), kAlarmColor, Shape1);
    LblDewAlarm = eventBadge(QStringLiteral("LblDewAlarm"), kAlarmColor, Shape1);
    grid->addWidget(LblRHAlarm, 5, 0, Qt::AlignCenter);
    grid->addWidget(LblDewAlarm, 5, 1, Qt::AlignCenter);
    // The events that belong to no value: a line of their own under the
    // values, kept when empty so that nothing moves when one comes.
    auto *events = new QHBoxLayout;
    events->setSpacing(8);
    LblLinkAlarm = eventBadge(QStringLiteral("LblLinkAlarm"), kAlarmColor, Shape1);
    LblLinkAlarm->setToolTip(QStringLiteral("Nenhuma leitura do instrumento pelo tempo definido nos limites"));
    LblBatteryWarning = eventBadge(QStringLiteral("LblBatteryWarning"), kWarningColor, Shape1);
    LblBatteryWarning->setStyleSheet(badgeStyle(kWarningColor, kWarningText));
    LblBatteryWarning->setToolTip(QStringLiteral("O instrumento avisou que a bateria está fraca"));
    events->addStretch(1);
    events->addWidget(LblLinkAlarm);
    events->addWidget(LblBatteryWarning);
    events->addStretch(1);
    grid->addLayout(events, 6, 0, 1, 3);

    // PC recording: indicator, counter, file.
    auto *rec = new QHBoxLayout;
    rec->setSpacing(8);
    LblRec = new QLabel(QStringLiteral("Registro"), central);
    LblRec->setObjectName(QStringLiteral("LblRec"));
    LblRec->setFont(arial(11, true));
    LblRec->setStyleSheet(QStringLiteral("QLabel { color: white; background: #c62828; border-radius: 5px; "
                                         "padding: 2px 8px; }"));
    LblRec->setToolTip(QStringLiteral("Gravando no computador"));
    {
        QSizePolicy sp = LblRec->sizePolicy();
        sp.setRetainSizeWhenHidden(true);
        LblRec->setSizePolicy(sp);
    }
    LblRec->hide();
    LblCount = new QLabel(central);
    LblCount->setObjectName(QStringLiteral("LblCount"));
    LblCount->setFont(arial(12, true));
    LblCount->setMinimumWidth(70);
    LblCount->setStyleSheet(QStringLiteral("color: #23364d;"));
    LblFileName = new QLabel(central);
    LblFileName->setObjectName(QStringLiteral("LblFileName"));
    LblFileName->setFont(arial(11, false));
    LblFileName->setStyleSheet(QStringLiteral("color: #23364d;"));
    LblFileName->setTextFormat(Qt::PlainText);
    // A long file name is cut at the window's edge instead of widening it.
    LblFileName->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    rec->addWidget(LblRec);
    rec->addWidget(LblCount);
    rec->addWidget(LblFileName, 1);
    auto *recBox = new QWidget(central);
    recBox->setLayout(rec);
    recBox->setMinimumHeight(28);
    rec->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(recBox);

    // Command1 lives below the visible client area (resizeEvent keeps it there).
    Command1 = new QPushButton(QStringLiteral("Command1"), central);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setFocusPolicy(Qt::NoFocus);
    connect(Command1, &QPushButton::clicked, this, &Panel::Command1_Click);

    showPortCaption();
    resize(kDesignSize);
    placeCommand1();

    auto *fullScreen = new QAction(QStringLiteral("Tela cheia"), this);
    fullScreen->setObjectName(QStringLiteral("FullScreen"));
    fullScreen->setShortcut(Qt::Key_F11);
    connect(fullScreen, &QAction::triggered, this, &Panel::toggleFullScreen);
    addAction(fullScreen);
    // The smallest window is the one the values need at their design size,
    // not at the size they have grown to: a grown window can be made small again.
    setMinimumSize(minimumSizeHint());
}

void Panel::toggleFullScreen()
{
    if (isFullScreen())
        showNormal();
    else
        showFullScreen();
}

int Panel::valuePoints(int designPoints) const
{
    return qRound(designPoints * valueScale_);
}

// The values grow with the window, as far as the smaller of its two
// stretches allows, so that they can be read across a room. The rest of the
// panel keeps its size, which leaves the values room to grow; a margin keeps
// them clear of the edges when font sizes do not scale exactly.
void Panel::scaleValues()
{
    if (!LblTemperature)
        return;
    const double stretch = std::min(double(width()) / kDesignSize.width(), double(height()) / kDesignSize.height());
    const double scale = std::max(1.0, stretch * 0.92);
    if (std::abs(scale - valueScale_) < 0.01)
        return;
    valueScale_ = scale < 1.0 + 1e-9 ? 1.0 : scale;
    auto grow = [](QLabel *l, int points, const QString &sample) {
        QFont f = l->font();
        f.setPointSize(points);
        l->setFont(f);
        const QFontMetrics fm(f);
        l->setMinimumSize(fm.horizontalAdvance(sample), fm.height());
    };
    grow(LblTemperature, valuePoints(kTemperaturePoints), QStringLiteral("-888.8"));
    for (QLabel *l : {LblRH, LblDew, LblWet})
        grow(l, valuePoints(kValuePoints), QStringLiteral("-888.8"));
    // The unit stays in proportion to the temperature, its top on the digits' top.
    const qreal dpr = devicePixelRatioF();
    ImaC->setPixmap(unitPicture(QStringLiteral("°C"), kCelsiusColor, dpr, valueScale_));
    ImaF->setPixmap(unitPicture(QStringLiteral("°F"), kFahrenheitColor, dpr, valueScale_));
    if (units_)
        units_->setContentsMargins(0, qRound(unitTop_ * valueScale_), 0, 0);
}

void Panel::placeCommand1()
{
    if (!Command1 || !centralWidget())
        return;
    const QSize hint = Command1->sizeHint();
    Command1->setGeometry(0, centralWidget()->height() + 40, hint.width(), hint.height());
}

void Panel::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    scaleValues();
    placeCommand1();
}

QString Panel::portCaption() const
{
    const SharedState &s = app_.state();
    const QString name = s.PortName;
    if (s.ComPort >= 1 && s.ComPort <= 8 && (name.isEmpty() || name == QStringLiteral("COM%1").arg(s.ComPort)))
        return QStringLiteral("COM%1").arg(s.ComPort);
    if (name.isEmpty())
        return QStringLiteral("COM%1").arg(s.ComPort);
    // A long device path keeps its end, where the device's own name is.
    constexpr int kLongest = 28;
    return name.size() <= kLongest ? name : QStringLiteral("…") + name.right(kLongest - 1);
}

// Values kept from before a loss of the link stay on screen, greyed, so they
// are not taken for fresh ones.
void Panel::showValuesStale(bool stale)
{
    valuesStale_ = stale;
    showAlarms();
}

// A value outside its alarm limits is red with its side beside it, one
// outside its warning limits amber; while the link is lost the values are
// stale and their alarms wait for the next sample. An event nobody
// acknowledged keeps its badge after its end, until someone does.
void Panel::showAlarms()
{
    const QString grey = QStringLiteral("color: #9aa5b1;");
    const QString normal = QStringLiteral("color: #12263f;");
    const struct {
        QLabel *value;
        QLabel *badge;
        Quantity q;
    } shown[] = {{LblTemperature, LblTempAlarm, Quantity::Temperature},
                 {LblRH, LblRHAlarm, Quantity::Humidity},
                 {LblDew, LblDewAlarm, Quantity::DewPoint},
                 {LblWet, nullptr, Quantity::WetBulb}};
    const auto waiting = [](const std::optional<AlarmEvent> &e) {
        return e && !e->acknowledged ? QStringLiteral("\n(não reconhecido)") : QString();
    };
    for (const auto &v : shown) {
        const auto e = valuesStale_ || !v.badge ? std::nullopt : monitor_->shown(AlarmSubject::Quantity, v.q);
        const bool warning = e && e->level == AlarmLevel::Warning;
        const QString running = !e || !e->running() ? normal
                                : warning           ? QStringLiteral("color: %1;").arg(kWarningValue)
                                                    : QStringLiteral("color: %1;").arg(kAlarmColor);
        const QString style = valuesStale_ ? grey : running;
        if (v.value->styleSheet() != style)
            v.value->setStyleSheet(style);
        if (!v.badge)
            continue;
        QString text;
        if (e) {
            // An ended event keeps the side it went out on.
            const bool low =
                e->running() ? e->state == AlarmState::Low : e->peak && e->bounds.low && *e->peak < *e->bounds.low;
            text = (warning ? QStringLiteral("AVISO ") : QString()) +
                   (low ? QStringLiteral("BAIXA") : QStringLiteral("ALTA")) + waiting(e);
            const QString look = warning ? badgeStyle(kWarningColor, kWarningText) : badgeStyle(kAlarmColor);
            if (v.badge->styleSheet() != look)
                v.badge->setStyleSheet(look);
        }
        setTextIfChanged(v.badge, text);
        v.badge->setVisible(!text.isEmpty());
    }
    // The lost instrument is what makes the values stale: its badge stays.
    const auto link = monitor_->shown(AlarmSubject::Link);
    setTextIfChanged(LblLinkAlarm, link ? QStringLiteral("SEM COMUNICAÇÃO") + waiting(link) : QString());
    LblLinkAlarm->setVisible(link.has_value());
    const auto battery = valuesStale_ ? std::nullopt : monitor_->shown(AlarmSubject::Battery);
    setTextIfChanged(LblBatteryWarning, battery ? QStringLiteral("BATERIA FRACA") + waiting(battery) : QString());
    LblBatteryWarning->setVisible(battery.has_value());
}

void Panel::showPublishing()
{
    const bool trouble = monitor_->publishingTrouble();
    LblBroker->setVisible(trouble);
    if (trouble)
        LblBroker->setToolTip(monitor_->statusText());
}

void Panel::showPortCaption()
{
    LblCOM->setStyleSheet(QStringLiteral("QLabel { color: #1b6e35; padding: 3px 8px; }"));
    setTextIfChanged(LblCOM, portCaption());
}

void Panel::showNoCommunication()
{
    LblCOM->setStyleSheet(
        QStringLiteral("QLabel { color: white; background: #c62828; border-radius: 5px; padding: 3px 8px; }"));
    showValuesStale(true);
    setTextIfChanged(LblCOM, kNoCommunication);
}

void Panel::showReading(quint8 status)
{
    SharedState &s = app_.state();
    Reading &r = s.reading;
    setTextIfChanged(LblRH, r.RhDot);
    LblFull->setVisible(r.MemoryFull);
    if (status != r.LastStatus) {
        if (s.InstrumentType == QLatin1String("NewType")) {
            QAction *b7 = button(QStringLiteral("RecStop"));
            if (r.InstrumentRecording) {
                setButtonImage(b7, kRecActiveImage);
                b7->setToolTip(kStopTip);
            } else {
                setButtonImage(b7, kRecStopImage);
                b7->setToolTip(kRecStopTip);
            }
        }
        r.LastStatus = status;
    }
    LblRecord->setVisible(r.InstrumentRecording);
    LblHold->setVisible(r.Hold);
    LblBT->setVisible(r.LowBattery);
    if (s.CelsiusDisplay) {
        setTextIfChanged(LblTemperature, r.TempCDot);
        setTextIfChanged(LblDew, r.DewCDot);
        setTextIfChanged(LblWet, r.WetCDot);
    } else {
        setTextIfChanged(LblTemperature, r.TempFDot);
        setTextIfChanged(LblDew, r.DewFDot);
        setTextIfChanged(LblWet, r.WetFDot);
    }
}
