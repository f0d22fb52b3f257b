#include "ui/memory/FillPanel.h"

#include <QMouseEvent>
#include <QPainter>

FillPanel::FillPanel(const QString &caption, QWidget *parent) : QFrame(parent), caption_(caption)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setCursor(Qt::PointingHandCursor);
}

void FillPanel::setFillPercent(double percent)
{
    percent_ = qBound(0.0, percent, 100.0);
    update();
}

void FillPanel::setCaption(const QString &caption)
{
    caption_ = caption;
    update();
}

QSize FillPanel::sizeHint() const
{
    const QFontMetrics fm = fontMetrics();
    return QSize(fm.horizontalAdvance(caption_) + 24, fm.height() + 12);
}

void FillPanel::paintEvent(QPaintEvent *event)
{
    {
        QPainter p(this);
        const QRect inner = contentsRect();
        p.fillRect(inner, emptyColor());
        QRect filled = inner;
        filled.setWidth(qRound(inner.width() * percent_ / 100.0));
        p.fillRect(filled, fillColor());
        if (!caption_.isEmpty()) {
            // The caption reads in white over the fill and in black beyond it.
            p.setPen(Qt::black);
            p.drawText(inner, Qt::AlignCenter, caption_);
            p.setClipRect(filled);
            p.setPen(Qt::white);
            p.drawText(inner, Qt::AlignCenter, caption_);
        }
    }
    QFrame::paintEvent(event);
}

void FillPanel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QFrame::mouseReleaseEvent(event);
}
