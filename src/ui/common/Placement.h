#pragma once

#include <QMargins>
#include <QRect>

class QWidget;

// The frame `frame` moved, and shrunk where it is larger, so that it lies
// inside `available`; a frame that fits is returned as it is. The top-left
// corner wins over the bottom-right: the title bar, where a window is moved
// and closed, stays reachable.
QRect fitFrame(const QRect &frame, const QRect &available);

// The frame `w` has, or will have once a window manager decorates it.
QMargins frameMargins(const QWidget *w);

// Moves (and if need be shrinks) a top-level window into the available area
// of its screen, keeping it where it is when it fits.
void keepOnScreen(QWidget *w);
