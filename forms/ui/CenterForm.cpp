#include "forms/ui/CenterForm.h"

#include "forms/ui/Twips.h"
#include "lib/modUtility.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace {
int centeredPixels(int screenPixels, int windowPixels)
{
    return CenteredOrigin(double(screenPixels) * twipsPerPixel,
                          double(windowPixels) * twipsPerPixel)
        / twipsPerPixel;
}

// What the window manager adds around the client area; none until it has framed the window.
QMargins frameMargins(const QWidget &window)
{
    const QRect client = window.geometry();
    const QRect outer = window.frameGeometry();
    return {client.left() - outer.left(), client.top() - outer.top(),
            outer.right() - client.right(), outer.bottom() - client.bottom()};
}

void centerOnScreen(QWidget &window, const QMargins &frame)
{
    QScreen *screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QPoint client = CenteredClientPosition(screen->geometry(), window.size(), frame);
    const QPoint frameOrigin = client - QPoint(frame.left(), frame.top());
    window.move(frameOrigin);
    // Asking for the frame's corner before framing lets the window manager put its frame there
    // and move the client inside it; that move reports the frame before the first expose.
    // move() asks so by itself only while no native window exists.
    if (QWindow *handle = window.windowHandle(); handle && frame.isNull())
        handle->setFramePosition(frameOrigin);
}

constexpr QLatin1String frameCenteringName("FrameCentering");

// Centres its window once more when the window manager first reports a frame, then goes.
class FrameCentering : public QObject
{
public:
    explicit FrameCentering(QWidget &window) : QObject(&window), m_window(window)
    {
        setObjectName(frameCenteringName);
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // The first move after framing comes before the first expose of the framed window.
        if (watched == &m_window
            && (event->type() == QEvent::Move || event->type() == QEvent::Show)) {
            const QMargins frame = frameMargins(m_window);
            if (!frame.isNull()) {
                m_window.removeEventFilter(this);
                deleteLater();
                centerOnScreen(m_window, frame);
            }
        }
        return false;
    }

private:
    QWidget &m_window;
};
} // namespace

QPoint CenteredClientPosition(const QRect &screen, const QSize &client, const QMargins &frame)
{
    const QSize outer = client.grownBy(frame);
    return screen.topLeft()
        + QPoint(centeredPixels(screen.width(), outer.width()) + frame.left(),
                 centeredPixels(screen.height(), outer.height()) + frame.top());
}

void CenterForm(QWidget &window)
{
    const QMargins frame = frameMargins(window);
    centerOnScreen(window, frame);
    if (frame.isNull()
        && !window.findChild<QObject *>(frameCenteringName, Qt::FindDirectChildrenOnly))
        new FrameCentering(window);
}
