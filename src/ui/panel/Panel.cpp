#include "ui/panel/Panel.h"

#include "core/link/Pause.h"
#include "core/link/Protocol.h"
#include "core/link/SerialLink.h"
#include "core/reading/Decode.h"
#include "platform/EventPause.h"
#include "platform/LinkFactory.h"
#include "ui/common/App.h"
#include "ui/common/Commands.h"
#include "ui/common/Icons.h"
#include "ui/common/PanelButtons.h"
#include "ui/lists/DataFileDrop.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

using ButtonSpec = PanelButtonSpec;
constexpr auto &kButtons = kPanelButtons;
constexpr int kStopImage = 13;      // button 1 while a PC run records
constexpr int kRecStopImage = 7;    // button 7 while the instrument is idle
constexpr int kRecActiveImage = 14; // button 7 while the instrument logs
const QString kStopTip = QStringLiteral("Parar gravação");
const QString kSaveTip = QStringLiteral("Salvar Como");
const QString kRecStopTip = QStringLiteral("Gravar automaticamente");

// A resynchronisation that gets no valid answer for this long goes back to
// blinking "Sem Comunicação" instead of insisting in silence.
constexpr double kResyncSeconds = 4.0;
// A removed device is looked for again this often.
constexpr int kReopenMs = 1000;

Panel::ExitHandler &exitHandler()
{
    static Panel::ExitHandler handler = [](int code) { QCoreApplication::exit(code); };
    return handler;
}

void setTextIfChanged(QLabel *l, const QString &text)
{
    if (l->text() != text)
        l->setText(text);
}

// The four values' sizes at the design size of the window.
constexpr int kTemperaturePoints = 60;
constexpr int kValuePoints = 30;

QFont arial(int pointSize, bool bold)
{
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(pointSize);
    f.setBold(bold);
    return f;
}

QLabel *badge(const QString &name, const QString &text, const QString &color, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setAlignment(Qt::AlignCenter);
    l->setFont(arial(11, true));
    l->setMinimumWidth(54);
    l->setStyleSheet(
        QStringLiteral("QLabel { color: white; background: %1; border-radius: 5px; padding: 3px 8px; }").arg(color));
    QSizePolicy sp = l->sizePolicy();
    sp.setRetainSizeWhenHidden(true);
    l->setSizePolicy(sp);
    l->hide();
    return l;
}

const QColor kCelsiusColor(0xc6, 0x28, 0x28);
const QColor kFahrenheitColor(0x26, 0x68, 0xbe);

// "°C" / "°F" drawn as a picture beside the temperature, `scale` times its
// design size.
QPixmap unitPicture(const QString &text, const QColor &color, qreal dpr, double scale = 1)
{
    const int w = qRound(64 * scale), h = qRound(56 * scale);
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

Panel::Panel(App &app, QWidget *parent) : QMainWindow(parent), app_(app), recorder_(app.state())
{
    setObjectName(QStringLiteral("Panel"));
    setWindowTitle(kCaption);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(150);
    connect(Timer1, &QTimer::timeout, this, &Panel::Timer1_Timer);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(1000);
    connect(Timer2, &QTimer::timeout, this, &Panel::Timer2_Timer);
    blinkTimer_ = new QTimer(this);
    blinkTimer_->setInterval(200);
    connect(blinkTimer_, &QTimer::timeout, this, &Panel::blinkStep);
    monitor_ = new PanelMonitor(app_, this);
    connect(monitor_, &PanelMonitor::alarmsChanged, this, &Panel::showAlarms);

    for (int i = 1; i <= 15; ++i)
        ImageList1 << toolbarPicture(i);

    buildToolbar();
    buildDisplay();

    app_.setMainWindow(this);
    app_.setTimers(Timer1, Timer2);
    app_.prompts().setParentWidget(this);
    acceptDataFileDrops(this, app_);
}

Panel::~Panel()
{
    // Whatever ends the window, the recording file is closed with every record in it.
    if (recorder_.running())
        recorder_.stop();
    if (app_.mainWindow() == this) {
        app_.setMainWindow(nullptr);
        app_.prompts().setParentWidget(nullptr);
    }
}

void Panel::setExitHandler(ExitHandler handler)
{
    exitHandler() = handler ? std::move(handler) : [](int code) { QCoreApplication::exit(code); };
}

void Panel::exitProgram(int code)
{
    exitHandler()(code);
}

void Panel::buildToolbar()
{
    Toolbar1 = new QToolBar(this);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setMovable(false);
    Toolbar1->setFloatable(false);
    Toolbar1->setIconSize(QSize(24, 24));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    Toolbar1->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, Toolbar1);
    for (const ButtonSpec &b : kButtons) {
        QAction *a = Toolbar1->addAction(QString::fromUtf8(b.tooltip));
        a->setObjectName(QString::fromLatin1(b.key));
        a->setData(QString::fromLatin1(b.key));
        a->setToolTip(QString::fromUtf8(b.tooltip));
        setButtonImage(a, b.image);
        // Groups as the commands go: files and windows, units, instrument, settings.
        const QString key = QString::fromLatin1(b.key);
        if (key == QLatin1String("Graph") || key == QLatin1String("CF") || key == QLatin1String("PowerOff") ||
            key == QLatin1String("Offset"))
            Toolbar1->addSeparator();
    }
    // The panel's own watch over the readings, after the instrument's buttons.
    Toolbar1->addSeparator();
    for (const auto &[key, tip] :
         {std::pair{"Alarms", "Limites de alarme"}, std::pair{"Monitoring", "Monitoramento"}}) {
        QAction *a = Toolbar1->addAction(QString::fromUtf8(tip));
        a->setObjectName(QString::fromLatin1(key));
        a->setData(QString::fromLatin1(key));
        a->setToolTip(QString::fromUtf8(tip));
        a->setIcon(toolbarIcon(QLatin1String(key) == QLatin1String("Alarms") ? QStringLiteral("Alarm")
                                                                             : QStringLiteral("Monitoring")));
    }
    Toolbar1->toggleViewAction()->setVisible(false);
    connect(Toolbar1, &QToolBar::actionTriggered, this, &Panel::Toolbar1_ButtonClick);
}

void Panel::setButtonImage(QAction *a, int image)
{
    a->setProperty("image", image);
    a->setIcon(ImageList1.value(image - 1));
}

QAction *Panel::button(const QString &key) const
{
    return Toolbar1->findChild<QAction *>(key, Qt::FindDirectChildrenOnly);
}

int Panel::buttonImage(const QString &key) const
{
    QAction *a = button(key);
    return a ? a->property("image").toInt() : 0;
}

void Panel::click(const QString &key)
{
    if (QAction *a = button(key))
        a->trigger();
}

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
    units_ = units;
    unitTop_ = unitTop;
    units->addWidget(ImaC);
    units->addWidget(ImaF);
    LblTempAlarm = badge(QStringLiteral("LblTempAlarm"), QString(), QStringLiteral("#c62828"), Shape1);
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
    LblRHAlarm = badge(QStringLiteral("LblRHAlarm"), QString(), QStringLiteral("#c62828"), Shape1);
    LblDewAlarm = badge(QStringLiteral("LblDewAlarm"), QString(), QStringLiteral("#c62828"), Shape1);
    grid->addWidget(LblRHAlarm, 5, 0, Qt::AlignCenter);
    grid->addWidget(LblDewAlarm, 5, 1, Qt::AlignCenter);

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

bool Panel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == LblCOM && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        LblCOM_Click();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

SerialLink *Panel::COM() const
{
    return app_.link();
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

// A value outside its limits is red with its state beside it; while the link
// is lost the values are stale and the alarms wait for the next sample.
void Panel::showAlarms()
{
    const QString grey = QStringLiteral("color: #9aa5b1;");
    const QString normal = QStringLiteral("color: #12263f;");
    const QString red = QStringLiteral("color: #c62828;");
    const struct {
        QLabel *value;
        QLabel *badge;
        Quantity q;
    } shown[] = {{LblTemperature, LblTempAlarm, Quantity::Temperature},
                 {LblRH, LblRHAlarm, Quantity::Humidity},
                 {LblDew, LblDewAlarm, Quantity::DewPoint},
                 {LblWet, nullptr, Quantity::WetBulb}};
    for (const auto &v : shown) {
        const AlarmState st = valuesStale_ || !v.badge ? AlarmState::Ok : monitor_->state(v.q);
        const QString style = valuesStale_ ? grey : st != AlarmState::Ok ? red : normal;
        if (v.value->styleSheet() != style)
            v.value->setStyleSheet(style);
        if (v.badge) {
            setTextIfChanged(v.badge, st == AlarmState::High  ? QStringLiteral("ALTA")
                                      : st == AlarmState::Low ? QStringLiteral("BAIXA")
                                                              : QString());
            v.badge->setVisible(st != AlarmState::Ok);
        }
    }
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

bool Panel::Form_Load()
{
    placeWindow(this, 0, 0);
    SharedState &s = app_.state();

    QString name = s.PortName;
    if (name.isEmpty() && s.ComPort >= 1 && s.ComPort <= 8)
        name = QStringLiteral("COM%1").arg(s.ComPort);
    if (!app_.link() && !name.isEmpty())
        app_.setLink(createLink(name));
    QString error;
    if (!app_.link() || !app_.link()->OpenPort(&error)) {
        app_.showError(QStringLiteral("Dispositivo não disponível"));
        exitProgram(1);
        return false;
    }
    showPortCaption();

    s.applyPanelLoadDefaults(app_.clock().now());
    linkDown_ = true;
    monitor_->start();
    Timer1->start();
    Timer2->start();
    return true;
}

void Panel::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void Panel::Form_Unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    Timer1->stop();
    Timer2->stop();
    blinkTimer_->stop();
    blinking_ = false;
    if (recorder_.running())
        recorder_.stop();
    monitor_->close();
    // Sequences waiting inside a handler give up instead of spinning on a
    // finished event loop.
    if (auto *pause = dynamic_cast<EventPause *>(&app_.pause()))
        pause->abort();
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget *w : windows) {
        if (w != this && w->isVisible())
            w->close();
    }
    if (SerialLink *link = app_.link())
        link->close();
    exitProgram(0);
}

void Panel::LblCOM_Click()
{
    setWindowTitle(windowTitle() == kCaption ? kCaptionWithBuild : kCaption);
}

void Panel::Command1_Click()
{
    commands::command1(app_);
}

// ---- polling

void Panel::Timer1_Timer()
{
    // Waits inside a tick let the timer fire again; one tick at a time, and
    // none while the link is being recovered.
    if (inTick_ || unloaded_)
        return;
    if (blinking_) {
        Timer1->stop();
        return;
    }
    SharedState &s = app_.state();
    if (s.ResyncPending) {
        NoDataRoutine();
        return;
    }
    SerialLink *link = app_.link();
    if (!link)
        return;
    inTick_ = true;
    LinkContext ctx{*link, app_.pause()};
    const std::optional<QByteArray> frame = ReadLiveFrame(ctx, [this] {
        // The design's 60 points, as large as the window has made the values.
        QFont f = LblTemperature->font();
        if (f.pointSize() != valuePoints(kTemperaturePoints)) {
            f.setPointSize(valuePoints(kTemperaturePoints));
            LblTemperature->setFont(f);
        }
    });
    inTick_ = false;
    if (unloaded_ || app_.pause().aborted())
        return;
    if (!frame) {
        NoDataRoutine();
        return;
    }
    Reading &r = s.reading;
    decodeFrame(r, *frame);
    ++frames_;
    if (linkDown_) {
        showValuesStale(false);
        monitor_->linkChanged(true);
    }
    linkDown_ = false;
    app_.pause().processEvents();
    if (unloaded_)
        return;
    showReading(quint8(frame->at(1)));
    app_.pause().processEvents();
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

// The link is lost (or not yet found): blink "Sem Comunicação" until the
// instrument sends anything, then handshake, identify and poll again. The
// blinking runs on its own timer, so the rest of the program (and the user)
// carries on meanwhile.
void Panel::NoDataRoutine()
{
    Timer1->stop();
    if (unloaded_)
        return;
    linkDown_ = true;
    monitor_->linkChanged(false);
    showNoCommunication();
    SharedState &s = app_.state();
    if (s.ChartOpen)
        commands::closeLiveChart(app_);
    if (s.ListOpen)
        commands::closeLiveList(app_);
    blinking_ = true;
    blinkLevel_ = QThread::currentThread()->loopLevel();
    reopenClock_.invalidate();
    blinkTimer_->start();
}

bool Panel::portGone() const
{
    SerialLink *link = app_.link();
    return !link || link->hasFailed() || !link->isOpen();
}

void Panel::tryReopen()
{
    SerialLink *link = app_.link();
    if (!link)
        return;
    if (reopenClock_.isValid() && reopenClock_.elapsed() < kReopenMs)
        return;
    reopenClock_.start();
    // The same name again: a USB adapter that comes back gets its old name.
    link->close();
    link->OpenPort();
}

void Panel::blinkStep()
{
    if (!blinking_ || unloaded_ || app_.pause().aborted()) {
        blinkTimer_->stop();
        return;
    }
    // A handler waiting in a nested loop (a command talking to the instrument,
    // a dialog) owns the link until it returns: keep blinking, touch nothing.
    if (QThread::currentThread()->loopLevel() > blinkLevel_) {
        LblCOM->setVisible(!LblCOM->isVisible());
        return;
    }
    SerialLink *link = app_.link();
    if (portGone())
        tryReopen();
    if (portGone() || link->PendingCount() == 0) {
        LblCOM->setVisible(!LblCOM->isVisible());
        return;
    }
    blinkTimer_->stop();
    if (!resynchronise()) {
        if (unloaded_ || app_.pause().aborted())
            return;
        showNoCommunication();
        SharedState &s = app_.state();
        if (s.ChartOpen)
            commands::closeLiveChart(app_);
        if (s.ListOpen)
            commands::closeLiveList(app_);
        blinkTimer_->start();
        return;
    }
    blinking_ = false;
    LblCOM->setVisible(true);
    showPortCaption();
    app_.state().ResyncPending = false;
    Timer1->start();
}

bool Panel::resynchronise()
{
    SerialLink *link = app_.link();
    LinkContext ctx{*link, app_.pause(), kResyncSeconds};
    if (!LinkHandshake(ctx))
        return false;
    const QString type = identifyInstrument(ctx);
    if (type.isEmpty())
        return false;
    const bool newType = type == QLatin1String("NewType");
    for (const char *key : {"RecStop", "Manual", "PowerOff"})
        button(QString::fromLatin1(key))->setEnabled(newType);
    app_.state().InstrumentType = type;
    return true;
}

// ---- PC recording

void Panel::Timer2_Timer()
{
    SharedState &s = app_.state();
    if (!sampleTickDue(s))
        return;
    const QDateTime now = app_.clock().now();
    const SampleLines lines = buildSampleLines(s.reading, now);
    s.SampleTime = lines.time;
    // Alarms and publication watch every sample of a fresh reading, whether
    // or not anything records or lists it.
    if (!linkDown_)
        monitor_->sample(s.reading, now);
    if (s.PcRecording) {
        // A reading kept from before a loss of the link is not a sample.
        if (!linkDown_) {
            QString error;
            const PcRecorder::Outcome outcome = recorder_.writeSample(lines, s.CelsiusDisplay, &error);
            if (outcome != PcRecorder::Outcome::Written) {
                const QString path = recorder_.currentFile();
                stopRecording();
                recordingFailed(QStringLiteral("Não foi possível gravar no arquivo\n%1\n%2\n\n"
                                               "A gravação no computador foi interrompida; "
                                               "as leituras continuam na tela.")
                                    .arg(QDir::toNativeSeparators(path), error));
                return;
            }
            setTextIfChanged(LblCount, QString::number(s.RecordCount));
            setTextIfChanged(LblRec, QStringLiteral("Registro"));
        }
    } else {
        setTextIfChanged(LblFileName, QString());
        setTextIfChanged(LblCount, QString());
        setTextIfChanged(LblRec, QString());
        s.RecordCount = 0;
    }
    if (s.ListOpen && !linkDown_)
        commands::appendLiveRow(app_, lines.celsius, lines.fahrenheit);
}

void Panel::recordingFailed(const QString &message)
{
    app_.showError(message);
}

// ---- toolbar

void Panel::Toolbar1_ButtonClick(QAction *button)
{
    if (!button || unloaded_)
        return;
    const QString key = button->data().toString();
    if (key == QLatin1String("Save"))
        saveCommand();
    else if (key == QLatin1String("Open"))
        commands::openDataFile(app_);
    else if (key == QLatin1String("List"))
        commands::openLiveList(app_);
    else if (key == QLatin1String("Graph"))
        commands::openLiveChart(app_);
    else if (key == QLatin1String("Sample"))
        commands::sample(app_);
    else if (key == QLatin1String("CF"))
        cfCommand();
    else if (key == QLatin1String("Memory"))
        commands::downloadMemory(app_);
    else if (key == QLatin1String("RecStop"))
        commands::recStop(app_);
    else if (key == QLatin1String("Manual"))
        commands::manual(app_);
    else if (key == QLatin1String("PowerOff"))
        commands::powerOff(app_);
    else if (key == QLatin1String("SetTime"))
        commands::setTime(app_);
    else if (key == QLatin1String("Offset"))
        commands::offset(app_);
    else if (key == QLatin1String("AddText"))
        commands::addText(app_);
    else if (key == QLatin1String("Alarms"))
        monitor_->showLimits();
    else if (key == QLatin1String("Monitoring"))
        monitor_->showMonitoring();
}

void Panel::saveCommand()
{
    if (app_.state().PcRecording)
        stopRecording();
    else
        startRecording();
}

void Panel::startRecording()
{
    SharedState &s = app_.state();
    // A name chosen earlier for something else must not start a run when
    // this dialog is cancelled.
    const bool chosenBefore = s.FileChosen;
    const QString pathBefore = s.RecordFilePath;
    s.FileChosen = false;
    ChooseSaveFile(app_);
    if (!s.FileChosen) {
        s.FileChosen = chosenBefore;
        s.RecordFilePath = pathBefore;
        return;
    }
    const QString path = s.RecordFilePath;
    QString error;
    if (!recorder_.start(path, s.CelsiusDisplay, &error)) {
        s.FileChosen = false;
        recordingFailed(QStringLiteral("Não foi possível criar o arquivo\n%1\n%2\n\n"
                                       "A gravação no computador não foi iniciada.")
                            .arg(QDir::toNativeSeparators(path), error));
        return;
    }
    setTextIfChanged(LblFileName, QFileInfo(path).fileName());
    LblFileName->setToolTip(QDir::toNativeSeparators(path));
    QAction *b1 = button(QStringLiteral("Save"));
    setButtonImage(b1, kStopImage);
    b1->setToolTip(kStopTip);
    LblRec->setVisible(true);
}

void Panel::stopRecording()
{
    recorder_.stop();
    QAction *b1 = button(QStringLiteral("Save"));
    setButtonImage(b1, 1);
    b1->setToolTip(kSaveTip);
    LblRec->setVisible(false);
    setTextIfChanged(LblCount, QString());
    setTextIfChanged(LblFileName, QString());
    LblFileName->setToolTip(QString());
}

void Panel::cfCommand()
{
    SharedState &s = app_.state();
    s.CelsiusDisplay = !s.CelsiusDisplay;
    ImaC->setVisible(s.CelsiusDisplay);
    ImaF->setVisible(!s.CelsiusDisplay);
}
