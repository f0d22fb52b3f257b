#include "ui/study/StudyChart.h"

#include "core/charts/ChartReadout.h"
#include "core/files/DataRecords.h"
#include "core/stats/StatsText.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>

namespace {
// The shortest span the wheel zooms into: a few minutes keep some records in sight.
constexpr qint64 kShortestSpan = 120;
} // namespace

StudyChart::StudyChart(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ChartStudy"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumHeight(240);
}

void StudyChart::setChart(const OverlayChart &chart, Quantity quantity, bool celsius)
{
    chart_ = chart;
    quantity_ = quantity;
    celsius_ = celsius;
    showAll();
}

void StudyChart::clear()
{
    chart_ = {};
    showAll();
}

void StudyChart::showAll()
{
    from_ = chart_.from;
    to_ = std::max(chart_.to, chart_.from + 1);
    stale_ = true;
    update();
}

qint64 StudyChart::secondsAt(double x) const
{
    const QRectF &plot = geometry_.plot;
    if (plot.width() <= 0)
        return from_;
    return geometry_.from +
           qint64(std::llround((x - plot.left()) / plot.width() * double(geometry_.to - geometry_.from)));
}

void StudyChart::zoomAt(double x, double factor)
{
    if (isEmpty())
        return;
    const qint64 whole = std::max<qint64>(1, chart_.to - chart_.from);
    const qint64 anchor = std::clamp(secondsAt(x), from_, to_);
    const double share = double(anchor - from_) / double(std::max<qint64>(1, to_ - from_));
    const qint64 span = std::clamp<qint64>(qint64(double(to_ - from_) * factor), std::min(kShortestSpan, whole), whole);
    qint64 from = anchor - qint64(share * double(span));
    from = std::clamp(from, chart_.from, chart_.to - span);
    from_ = from;
    to_ = from + span;
    stale_ = true;
    update();
}

QString StudyChart::readoutAt(QPointF pos) const
{
    if (isEmpty() || !geometry_.plot.contains(pos))
        return {};
    const qint64 t = secondsAt(pos.x());
    // Each logger at its record nearest to the mouse; the moment shown is
    // the nearest of those records, a moment that was recorded.
    QStringList lines;
    qint64 shown = 0, gap = -1;
    for (const study::Series &s : chart_.series) {
        if (s.seconds.isEmpty())
            continue;
        const auto it = std::lower_bound(s.seconds.cbegin(), s.seconds.cend(), t);
        qsizetype i = it - s.seconds.cbegin();
        if (i == s.seconds.size() || (i > 0 && t - s.seconds[i - 1] <= s.seconds[i] - t))
            --i;
        if (gap < 0 || std::abs(s.seconds[i] - t) < gap) {
            gap = std::abs(s.seconds[i] - t);
            shown = s.seconds[i];
        }
        lines << QStringLiteral("%1: %2").arg(s.label, statstext::withUnit(s.values[i], quantity_, celsius_));
    }
    if (lines.isEmpty())
        return {};
    lines.prepend(wallDateTime(shown).toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")));
    return lines.join(QLatin1Char('\n'));
}

void StudyChart::paintEvent(QPaintEvent *)
{
    const qreal dpr = devicePixelRatioF();
    if (stale_ || picture_.size() != size() * dpr) {
        picture_ = QPixmap(size() * dpr);
        picture_.setDevicePixelRatio(dpr);
        picture_.fill(Qt::white);
        QPainter chart(&picture_);
        if (isEmpty()) {
            geometry_ = {};
            chart.setPen(QColor(110, 116, 125));
            chart.drawText(rect(), Qt::AlignCenter, QStringLiteral("Sem gráfico: não há estudo a mostrar."));
        } else {
            const double pt = std::clamp(width() / 900.0, 0.8, 1.4);
            geometry_ =
                paintOverlayChart(chart, QRectF(rect()).adjusted(10, 8, -10, -6), overlaySpan(chart_, from_, to_), pt);
        }
        stale_ = false;
    }
    QPainter p(this);
    p.drawPixmap(0, 0, picture_);
    if (isEmpty())
        return;
    if (!mouse_)
        return;
    const QString text = readoutAt(*mouse_);
    if (text.isEmpty())
        return;
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(QColor(40, 60, 90, 170), 1));
    p.drawLine(QPointF(mouse_->x(), geometry_.plot.top()), QPointF(mouse_->x(), geometry_.plot.bottom()));
    const QFontMetrics fm(font());
    const QRect textRect = fm.boundingRect(QRect(0, 0, 1000, 1000), Qt::AlignLeft | Qt::AlignTop, text);
    QRect box(0, 0, textRect.width() + 12, textRect.height() + 8);
    // Right of and below the mouse; flipped where that leaves the chart.
    QPoint at = mouse_->toPoint() + QPoint(14, 14);
    if (at.x() + box.width() > width())
        at.setX(int(mouse_->x()) - 14 - box.width());
    if (at.y() + box.height() > height())
        at.setY(int(mouse_->y()) - 14 - box.height());
    box.moveTopLeft(QPoint(std::max(0, at.x()), std::max(0, at.y())));
    p.setPen(QColor(90, 100, 115));
    p.setBrush(QColor(255, 252, 225, 235));
    p.drawRect(box.adjusted(0, 0, -1, -1));
    p.setPen(Qt::black);
    p.drawText(box.adjusted(6, 4, -6, -4), Qt::AlignLeft | Qt::AlignTop, text);
}

void StudyChart::mouseMoveEvent(QMouseEvent *event)
{
    if (dragStart_ && (event->buttons() & Qt::LeftButton) && geometry_.plot.width() > 0) {
        // Dragging to the right brings earlier moments in.
        const double perPixel = double(dragTo_ - dragFrom_) / geometry_.plot.width();
        const qint64 shift = qint64(std::llround((event->position().x() - dragStart_->x()) * perPixel));
        const qint64 span = dragTo_ - dragFrom_;
        from_ = std::clamp(dragFrom_ - shift, chart_.from, std::max(chart_.from, chart_.to - span));
        to_ = from_ + span;
        stale_ = true;
    }
    mouse_ = event->position();
    update();
}

void StudyChart::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    dragStart_ = event->position();
    dragFrom_ = from_;
    dragTo_ = to_;
}

void StudyChart::mouseReleaseEvent(QMouseEvent *)
{
    dragStart_.reset();
}

void StudyChart::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        showAll();
}

void StudyChart::wheelEvent(QWheelEvent *event)
{
    if (event->angleDelta().y() == 0 || !geometry_.plot.contains(event->position()))
        return;
    zoomAt(event->position().x(), wheelZoomFactor(event->angleDelta().y()));
    mouse_ = event->position();
    event->accept();
}

void StudyChart::leaveEvent(QEvent *)
{
    mouse_.reset();
    dragStart_.reset();
    update();
}
