#include "forms/ui/CenterForm.h"

#include "forms/ui/Twips.h"
#include "lib/modUtility.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {
int centeredPixels(int screenPixels, int windowPixels)
{
    return CenteredOrigin(double(screenPixels) * twipsPerPixel,
                          double(windowPixels) * twipsPerPixel)
        / twipsPerPixel;
}
} // namespace

void CenterForm(QWidget &window)
{
    QScreen *screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect screenArea = screen->geometry();
    // Until the window manager has framed a window once, this is the client size.
    const QSize outer = window.frameGeometry().size();
    // move() places the frame's top-left corner.
    window.move(screenArea.x() + centeredPixels(screenArea.width(), outer.width()),
                screenArea.y() + centeredPixels(screenArea.height(), outer.height()));
}
