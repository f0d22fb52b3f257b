#include "ui/charts/ChartWindow.h"

#include "core/integrity/Seal.h"
#include "render/ChartRender.h"
#include "ui/common/App.h"
#include "ui/common/Icons.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPdfWriter>
#include <QPointer>
#include <QPrinter>
#include <QSaveFile>
#include <QTimer>
#include <QToolBar>
#include <QWheelEvent>

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

ChartCanvas::ChartCanvas(const QImage &image, ChartWindow *owner) : QWidget(owner), image_(image), owner_(owner)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

void ChartCanvas::setHover(const std::optional<Hover> &hover)
{
    if (!hover && !hover_)
        return;
    hover_ = hover;
    update();
}

QRect ChartCanvas::boxRect(const QString &text) const
{
    const QFontMetrics fm(font());
    const QRect textRect = fm.boundingRect(QRect(0, 0, 1000, 1000), Qt::AlignLeft | Qt::AlignTop, text);
    QRect box(0, 0, textRect.width() + 12, textRect.height() + 8);
    // Right of and below the mouse; flipped where that leaves the area.
    QPoint at = hover_->mouse + QPoint(14, 14);
    if (at.x() + box.width() > width())
        at.setX(hover_->mouse.x() - 14 - box.width());
    if (at.y() + box.height() > height())
        at.setY(hover_->mouse.y() - 14 - box.height());
    box.moveTopLeft(QPoint(std::max(0, at.x()), std::max(0, at.y())));
    return box;
}

void ChartCanvas::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawImage(0, 0, image_);
    if (!hover_ || suppressed_)
        return;
    p.setPen(QPen(QColor(40, 60, 90, 170), 1));
    p.drawLine(hover_->x, hover_->top, hover_->x, hover_->bottom);
    if (hover_->text.isEmpty())
        return;
    const QRect box = boxRect(hover_->text);
    p.setPen(QColor(90, 100, 115));
    p.setBrush(QColor(255, 252, 225, 235));
    p.drawRect(box.adjusted(0, 0, -1, -1));
    p.setPen(Qt::black);
    p.drawText(box.adjusted(6, 4, -6, -4), Qt::AlignLeft | Qt::AlignTop, hover_->text);
}

void ChartCanvas::mouseMoveEvent(QMouseEvent *event)
{
    if (!owner_)
        return;
    if (event->buttons() & Qt::LeftButton)
        owner_->dragTo(event->position());
    owner_->hoverAt(event->position());
}

void ChartCanvas::mousePressEvent(QMouseEvent *event)
{
    if (!owner_)
        return;
    if (event->button() == Qt::LeftButton)
        owner_->pressAt(event->position());
}

void ChartCanvas::mouseReleaseEvent(QMouseEvent *) {}

void ChartCanvas::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (!owner_)
        return;
    if (event->button() == Qt::LeftButton)
        owner_->doubleClickAt(event->position());
}

void ChartCanvas::wheelEvent(QWheelEvent *event)
{
    if (!owner_)
        return;
    if (event->angleDelta().y() == 0)
        return;
    owner_->wheelAt(event->position(), event->angleDelta().y());
    owner_->hoverAt(event->position());
    event->accept();
}

void ChartCanvas::leaveEvent(QEvent *)
{
    if (!owner_)
        return;
    owner_->leaveArea();
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
    addButton(QStringLiteral("SaveImage"), QStringLiteral("Salvar imagem"));
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

ChartWindow::~ChartWindow()
{
    // Hiding the window on its way out may still send the area a Leave.
    canvas_->detach();
}

namespace {
// A picture with an arrow down into a tray.
QIcon saveImageIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 16.0, size / 16.0);
        p.setPen(QPen(QColor(0x2b, 0x3a, 0x4f), 0.9));
        p.setBrush(QColor(0xf4, 0xf7, 0xfb));
        p.drawRect(QRectF(1.5, 1.5, 10, 8));
        p.setPen(QPen(QColor(0x26, 0x68, 0xbe), 1.2));
        p.drawPolyline(QPolygonF({{2.5, 8}, {5, 5}, {7, 7}, {10.5, 3}}));
        p.setPen(QPen(QColor(0x1b, 0x6e, 0x35), 1.6));
        p.drawLine(QPointF(12.5, 6), QPointF(12.5, 13));
        p.drawPolyline(QPolygonF({{10.2, 10.8}, {12.5, 13.2}, {14.8, 10.8}}));
        p.setPen(QPen(QColor(0x2b, 0x3a, 0x4f), 1.2));
        p.drawLine(QPointF(2, 14.5), QPointF(14.5, 14.5));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}
} // namespace

void ChartWindow::addButton(const QString &key, const QString &toolTip)
{
    const QIcon icon = key == QLatin1String("SaveImage") ? saveImageIcon() : toolbarIcon(key);
    QAction *a = Toolbar1->addAction(icon, toolTip);
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

QPointF ChartWindow::toUnits(QPointF pixels) const
{
    return {pixels.x() / painter_->pixelsPerUnitX(), pixels.y() / painter_->pixelsPerUnitY()};
}

void ChartWindow::showHover(double x, const ChartGeometry &g, const QString &text, QPointF mouse)
{
    ChartCanvas::Hover h;
    h.x = painter_->toPixelX(x);
    h.top = painter_->toPixelY(g.plotTop());
    h.bottom = painter_->toPixelY(g.PlotBottom);
    h.mouse = mouse.toPoint();
    h.text = text;
    canvas_->setHover(h);
}

void ChartWindow::clearHover()
{
    canvas_->setHover(std::nullopt);
}

QString ChartWindow::hoverText() const
{
    return canvas_->hover() ? canvas_->hover()->text : QString();
}

QImage ChartWindow::printImage()
{
    painter_->suspend();
    canvas_->setOverlaySuppressed(true);
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
    canvas_->setOverlaySuppressed(false);
    return shot;
}

QImage ChartWindow::savedPicture()
{
    // The sweep exists only as the window drew it: enlarged, with its title.
    const QImage shot = printImage();
    const double f = std::max(1.0, double(kSavedChartWidth) / std::max(1, shot.width()));
    const QImage big = f > 1 ? shot.scaledToWidth(qRound(shot.width() * f), Qt::SmoothTransformation) : shot;
    return withTitle(big,
                     QStringLiteral("%1 — %2").arg(windowTitle(),
                                                   app_.clock().now().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))),
                     logicalDpiX() * f);
}

void ChartWindow::saveImage()
{
    hold();
    const Prompts::FileChoice choice =
        app_.prompts().saveFile(QStringLiteral("Imagem PNG (*.png)|*.png|Documento PDF (*.pdf)|*.pdf|"), true);
    if (choice.accepted && !choice.fileName.isEmpty() && !closed_) {
        QString name = choice.fileName;
        const QString suffix = QFileInfo(name).suffix().toLower();
        if (suffix.isEmpty())
            name += QStringLiteral(".png");
        // At a size worth keeping; the window's own picture (printing) stays as drawn.
        const QImage picture = savedPicture();
        // The old file stays as it was unless the new one is complete.
        QSaveFile file(name);
        bool ok = file.open(QIODevice::WriteOnly);
        if (ok && suffix == QLatin1String("pdf")) {
            const QByteArray pdf = chartPdf(picture, windowTitle(), QStringLiteral("Termo-higrômetro"));
            ok = !pdf.isEmpty() && file.write(pdf) == pdf.size();
        } else if (ok) {
            ok = picture.save(&file, "PNG");
        }
        ok = ok && file.commit();
        if (!ok) {
            app_.showError(QStringLiteral("Não foi possível salvar a imagem em %1.").arg(name));
        } else {
            // Signed like every complete file, where the program signs its files.
            integrity::SealInfo seal;
            seal.auditAction = integrity::auditActionFor(integrity::WrittenFile::Exported);
            integrity::sealFile(name, seal);
        }
    }
    release();
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
