#include "ui/charts/ChartWindow.h"

#include "render/ChartRender.h"
#include "ui/common/App.h"
#include "ui/common/Icons.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QTimer>
#include <QToolBar>

#include <algorithm>

namespace {
// Design drawing area: 5880 x 5460 twips.
constexpr double kDesignWidthTwips = 5880;
constexpr double kDesignHeightTwips = 5460;
// Text block: label and box columns (90 and 960 twips) and the rows' tops
// above the bottom of the drawing area.
constexpr double kLabelLeft = 7.567;
constexpr double kBoxLeft = 80.712;
constexpr double kRowTop[3] = {100, 68, 36};
} // namespace

ChartCanvas::ChartCanvas(const QImage &image, QWidget *parent) : QWidget(parent), image_(image)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ChartCanvas::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawImage(0, 0, image_);
}

ChartWindow::ChartWindow(App &app, const QString &caption, const QFont &chartFont, QWidget *parent)
    : QWidget(parent, Qt::Window), app_(app), chartFont_(chartFont)
{
    setWindowTitle(caption);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);

    Toolbar1 = new QToolBar(this);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setIconSize(QSize(24, 24));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    Toolbar1->setMovable(false);
    Toolbar1->setAutoFillBackground(true);
    Toolbar1->setBackgroundRole(QPalette::Button);
    addButton(QStringLiteral("Limit"), QStringLiteral("Limites"));
    addButton(QStringLiteral("Print"), QStringLiteral("Imprimir"));
    connect(Toolbar1, &QToolBar::actionTriggered, this,
            [this](QAction *a) { Toolbar1_ButtonClick(a->data().toString()); });

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1, &QTimer::timeout, this, &ChartWindow::Timer1_Timer);

    image_ = QImage(1, 1, QImage::Format_RGB32);
    image_.fill(Qt::white);
    painter_ = std::make_unique<ChartPainter>(image_, chartFont_, logicalDpiX(), logicalDpiY());
    canvas_ = new ChartCanvas(image_, this);
    canvas_->setObjectName(QStringLiteral("ChartArea"));

    auto addText = [&](QLabel *&label, QLineEdit *&edit, const char *labelName, const char *editName,
                       const QString &text) {
        label = new QLabel(text, canvas_);
        label->setObjectName(QLatin1String(labelName));
        edit = new QLineEdit(canvas_);
        edit->setObjectName(QLatin1String(editName));
        label->setBuddy(edit);
    };
    addText(LblName, TxtName, "LblName", "TxtName", QStringLiteral("Nome:"));
    addText(LblSector, TxtSector, "LblSector", "TxtSector", QStringLiteral("Setor:"));
    addText(LblCompany, TxtCompany, "LblCompany", "TxtCompany", QStringLiteral("Empresa:"));

    resize(twipsToPixelsX(kDesignWidthTwips, this),
           Toolbar1->sizeHint().height() + twipsToPixelsY(kDesignHeightTwips, this));
}

ChartWindow::~ChartWindow() = default;

void ChartWindow::addButton(const QString &key, const QString &toolTip)
{
    QAction *a = Toolbar1->addAction(toolbarIcon(key), toolTip);
    a->setData(key);
    a->setObjectName(key);
    a->setToolTip(toolTip);
    buttons_.insert(key, a);
}

double ChartWindow::widthTwips() const
{
    const int extra = isVisible() ? frameGeometry().width() - geometry().width() : 0;
    return pixelsToTwipsX(width() + extra, this);
}

double ChartWindow::heightTwips() const
{
    const int extra = isVisible() ? frameGeometry().height() - geometry().height() : 0;
    return pixelsToTwipsY(height() + extra, this);
}

void ChartWindow::setSizeTwips(double width, double height)
{
    const int extraW = isVisible() ? frameGeometry().width() - geometry().width() : 0;
    const int extraH = isVisible() ? frameGeometry().height() - geometry().height() : 0;
    resize(twipsToPixelsX(width, this) - extraW, twipsToPixelsY(height, this) - extraH);
}

void ChartWindow::placeBesideMainWindow()
{
    QWidget *main = app_.mainWindow();
    if (!main)
        return;
    const QRect frame = main->frameGeometry();
    placeWindow(this, frame.x() + frame.width(), 0);
}

void ChartWindow::layoutArea()
{
    const int bar = Toolbar1->sizeHint().height();
    Toolbar1->setGeometry(0, 0, width(), bar);
    const QSize area(std::max(1, width()), std::max(1, height() - bar));
    canvas_->setGeometry(QRect(QPoint(0, bar), area));
    // The surface stays the same object (a plot in progress holds it); only
    // its picture is replaced.
    painter_->replaceImage(area);
    canvas_->update();
}

void ChartWindow::placeTextBlock(double boxWidth)
{
    const ChartPainter &s = *painter_;
    const double scaleHeight = s.scaleHeight();
    QLabel *labels[3] = {LblName, LblSector, LblCompany};
    QLineEdit *boxes[3] = {TxtName, TxtSector, TxtCompany};
    for (int row = 0; row < 3; ++row) {
        const int top = s.toPixelY(scaleHeight - kRowTop[row]);
        const int boxHeight = boxes[row]->sizeHint().height();
        // The company label starts at the very left edge.
        const int labelLeft = row == 2 ? 0 : s.toPixelX(kLabelLeft);
        labels[row]->setGeometry(labelLeft, top, s.toPixelX(kBoxLeft) - labelLeft, boxHeight);
        boxes[row]->setGeometry(s.toPixelX(kBoxLeft), top, std::max(1, s.toPixelX(boxWidth)), boxHeight);
    }
    showTextBlock(true);
}

void ChartWindow::showTextBlock(bool visible)
{
    for (QWidget *w :
         {static_cast<QWidget *>(LblName), static_cast<QWidget *>(LblSector), static_cast<QWidget *>(LblCompany),
          static_cast<QWidget *>(TxtName), static_cast<QWidget *>(TxtSector), static_cast<QWidget *>(TxtCompany)})
        w->setVisible(visible);
}

QImage ChartWindow::printImage()
{
    painter_->suspend();
    Toolbar1->hide();
    const bool empty = TxtName->text().isEmpty() && TxtSector->text().isEmpty() && TxtCompany->text().isEmpty();
    if (empty)
        showTextBlock(false);
    // The page shows the texts, not the caret and focus frame of a box.
    QPointer<QWidget> focused = QApplication::focusWidget();
    if (focused && !canvas_->isAncestorOf(focused))
        focused = nullptr;
    if (focused)
        focused->clearFocus();
    const QImage shot = canvas_->grab().toImage();
    if (focused)
        focused->setFocus();
    showTextBlock(true);
    Toolbar1->show();
    return shot;
}

void ChartWindow::printWindow()
{
    hold();
    const QImage shot = printImage();
    if (std::unique_ptr<QPrinter> printer = app_.printer().choosePrinter(this, windowTitle()))
        paintChartPage(*printer, shot, logicalDpiX());
    release();
}

void ChartWindow::closeEvent(QCloseEvent *event)
{
    event->accept();
    if (closed_)
        return;
    closed_ = true;
    Timer1->stop();
    Form_Unload();
    if (holds_ == 0)
        deleteLater();
}

void ChartWindow::release()
{
    if (--holds_ == 0 && closed_)
        deleteLater();
}
