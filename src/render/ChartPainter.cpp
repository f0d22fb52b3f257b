#include "render/ChartPainter.h"

#include <QPen>

#include <algorithm>
#include <cmath>

namespace {
// Far outside any image, but safe to convert to int.
constexpr double kPixelLimit = 1 << 24;

int toPixel(double v)
{
    if (std::isnan(v))
        return 0;
    return static_cast<int>(std::lround(std::clamp(v, -kPixelLimit, kPixelLimit)));
}

QColor toColor(ChartColor c)
{
    return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

// Fonts are sized by the image's resolution.
QImage &withResolution(QImage &image, double dpiX, double dpiY)
{
    image.setDotsPerMeterX(qRound(dpiX / 0.0254));
    image.setDotsPerMeterY(qRound(dpiY / 0.0254));
    return image;
}
} // namespace

ChartPainter::ChartPainter(QImage &image, const QFont &font, double dpiX, double dpiY)
    : image_(withResolution(image, dpiX, dpiY)), dpiX_(dpiX), dpiY_(dpiY), font_(font, &image_),
      metrics_(font_, &image_), sx_(kTwipsPerUnitX * dpiX / 1440.0), sy_(kTwipsPerUnitY * dpiY / 1440.0)
{
}

ChartPainter::~ChartPainter() = default;

QFont ChartPainter::liveChartFont()
{
    QFont f;
    f.setFamilies({QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif")});
    f.setStyleHint(QFont::Serif);
    f.setPointSizeF(8.25);
    return f;
}

QFont ChartPainter::fileChartFont()
{
    // Where the bitmap font is missing, its narrow metric-compatible
    // stand-ins keep the three label columns apart.
    QFont f;
    f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                   QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    f.setStyleHint(QFont::SansSerif);
    f.setPointSizeF(8.25);
    return f;
}

QPainter &ChartPainter::painter()
{
    if (!painter_) {
        painter_.emplace(&image_);
        painter_->setRenderHint(QPainter::Antialiasing, false);
        painter_->setFont(font_);
        penValid_ = false;
    }
    return *painter_;
}

void ChartPainter::suspend()
{
    painter_.reset();
}

void ChartPainter::replaceImage(QSize size)
{
    suspend();
    image_ = QImage(size, QImage::Format_RGB32);
    withResolution(image_, dpiX_, dpiY_);
    image_.fill(Qt::white);
}

int ChartPainter::toPixelX(double x) const
{
    return toPixel(x * sx_);
}

int ChartPainter::toPixelY(double y) const
{
    return toPixel(y * sy_);
}

double ChartPainter::scaleWidth() const
{
    return image_.width() / sx_;
}

double ChartPainter::scaleHeight() const
{
    return image_.height() / sy_;
}

void ChartPainter::usePen(ChartColor color)
{
    if (penValid_ && penWidth_ == DrawWidth && penStyle_ == drawStyle && penColor_ == color)
        return;
    const QPen *pen = nullptr;
    for (const CachedPen &c : pens_)
        if (c.width == DrawWidth && c.style == drawStyle && c.color == color)
            pen = &c.pen;
    if (!pen) {
        pens_.push_back({DrawWidth, drawStyle, color,
                         QPen(toColor(color), std::max(1, DrawWidth),
                              drawStyle == DrawStyle::Dotted ? Qt::DotLine : Qt::SolidLine)});
        pen = &pens_.back().pen;
    }
    painter_->setPen(*pen);
    penValid_ = true;
    penWidth_ = DrawWidth;
    penStyle_ = drawStyle;
    penColor_ = color;
}

void ChartPainter::clear()
{
    suspend();
    image_.fill(Qt::white);
    CurrentX = 0;
    CurrentY = 0;
}

// Thin solid lines are most of a plot (four segments per record): they are
// set directly into the image, both ends included, with the classic integer
// line algorithm, which is exact and far cheaper per segment than a painter
// call. Lines that leave the image go through the painter, which clips.
bool ChartPainter::plainLine(int x0, int y0, int x1, int y1, ChartColor color)
{
    const int w = image_.width();
    const int h = image_.height();
    if (std::min(x0, x1) < 0 || std::max(x0, x1) >= w || std::min(y0, y1) < 0 || std::max(y0, y1) >= h)
        return false;
    if (image_.format() != QImage::Format_RGB32 && image_.format() != QImage::Format_ARGB32 &&
        image_.format() != QImage::Format_ARGB32_Premultiplied)
        return false;
    const quint32 pixel = 0xFF000000u | color;
    uchar *bits = image_.bits();
    const qsizetype stride = image_.bytesPerLine();
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        reinterpret_cast<quint32 *>(bits + y0 * stride)[x0] = pixel;
        if (x0 == x1 && y0 == y1)
            break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
    return true;
}

void ChartPainter::line(double x1, double y1, double x2, double y2, ChartColor color)
{
    const QPoint a(toPixelX(x1), toPixelY(y1));
    const QPoint b(toPixelX(x2), toPixelY(y2));
    if (DrawWidth <= 1 && drawStyle == DrawStyle::Solid && plainLine(a.x(), a.y(), b.x(), b.y(), color))
        return;
    QPainter &p = painter();
    usePen(color);
    p.drawLine(a, b);
}

void ChartPainter::fillBox(double x1, double y1, double x2, double y2, ChartColor color)
{
    const int ax = toPixelX(x1), bx = toPixelX(x2);
    const int ay = toPixelY(y1), by = toPixelY(y2);
    painter().fillRect(QRect(QPoint(std::min(ax, bx), std::min(ay, by)), QPoint(std::max(ax, bx), std::max(ay, by))),
                       toColor(color));
}

void ChartPainter::printText(const QString &text)
{
    QPainter &p = painter();
    p.setPen(toColor(ForeColor));
    penValid_ = false;
    p.drawText(QPoint(toPixelX(CurrentX), toPixelY(CurrentY) + qRound(metrics_.ascent())), text);
}

double ChartPainter::textWidth(const QString &text) const
{
    return metrics_.horizontalAdvance(text) / sx_;
}

double ChartPainter::textHeight(const QString &) const
{
    return metrics_.height() / sy_;
}
