#include "ui/dialogs/CaptionPanel.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

CaptionPanel::CaptionPanel(const QString &text, QWidget *parent) : QFrame(parent)
{
    setFrameShape(QFrame::Panel);
    setLineWidth(2);
    label_ = new QLabel(text, this);
    label_->setAlignment(Qt::AlignCenter);
    label_->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->addWidget(label_);
    setBevelOuter(2);
}

QString CaptionPanel::text() const
{
    return label_->text();
}

void CaptionPanel::setText(const QString &text)
{
    label_->setText(text);
}

void CaptionPanel::setBevelOuter(int style)
{
    bevelOuter_ = style;
    setFrameShadow(style == 1 ? QFrame::Sunken : QFrame::Raised);
}

void CaptionPanel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        emit mouseDown();
    QFrame::mousePressEvent(event);
}

void CaptionPanel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QFrame::mouseReleaseEvent(event);
        return;
    }
    emit mouseUp();
    if (rect().contains(event->position().toPoint()))
        emit clicked();
}

// With keyboard focus, Space and Enter press it like a push button.
void CaptionPanel::keyPressEvent(QKeyEvent *event)
{
    const int k = event->key();
    if (!event->isAutoRepeat() && (k == Qt::Key_Space || k == Qt::Key_Return || k == Qt::Key_Enter)) {
        emit mouseDown();
        return;
    }
    QFrame::keyPressEvent(event);
}

void CaptionPanel::keyReleaseEvent(QKeyEvent *event)
{
    const int k = event->key();
    if (!event->isAutoRepeat() && (k == Qt::Key_Space || k == Qt::Key_Return || k == Qt::Key_Enter)) {
        emit mouseUp();
        emit clicked();
        return;
    }
    QFrame::keyReleaseEvent(event);
}
