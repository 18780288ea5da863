#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// Where a window's client area goes so that its outer frame (the client plus the frame margins
// the window manager adds) is centred on the screen area. A window larger than the screen gets
// an origin before the screen's.
QPoint CenteredClientPosition(const QRect &screen, const QSize &client, const QMargins &frame);

// Centres a window, frame and caption included, on its screen. A window manager reports its
// frame only once it has framed the window, so a window centred before that is centred once more
// as soon as the frame is known, before its first paint. Run-time errors reach the caller.
void CenterForm(QWidget &window);
