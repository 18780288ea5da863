#include "forms/ui/Lamp.h"

#include <QPainter>
#include <QPen>
#include <cmath>

namespace {
// Screen readers cannot see the colour: the lamp says whether it is lit.
QString stateText(quint32 color)
{
    return color == 0 ? QStringLiteral("消灯") : QStringLiteral("点灯");
}
} // namespace

Lamp::Lamp(QWidget *parent) : QWidget(parent)
{
    setAccessibleDescription(stateText(m_fillColor));
}

void Lamp::setFillColor(quint32 color)
{
    color &= 0x00FFFFFF;
    if (color == m_fillColor)
        return;
    m_fillColor = color;
    setAccessibleDescription(stateText(color));
    update();
    emit fillColorChanged(color);
}

QColor Lamp::color() const
{
    return QColor(m_fillColor & 0xFF, (m_fillColor >> 8) & 0xFF, (m_fillColor >> 16) & 0xFF);
}

QSize Lamp::sizeHint() const
{
    return QSize(17, 17);
}

void Lamp::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The outline is a whole number of device pixels and the circle's box lies on device pixel
    // edges of the window, so the lamp stays crisp at any screen scale, fractional ones included.
    const qreal ratio = devicePixelRatioF();
    const QPointF origin = mapTo(window(), QPoint());
    const auto snapX = [&](qreal x) {
        return std::round((origin.x() + x) * ratio) / ratio - origin.x();
    };
    const auto snapY = [&](qreal y) {
        return std::round((origin.y() + y) * ratio) / ratio - origin.y();
    };
    const qreal outline = qMax(1.0, std::round(ratio)) / ratio;
    const qreal inset = outline / 2;
    const int side = qMin(width(), height());
    const int x = (width() - side) / 2;
    const int y = (height() - side) / 2;
    const QRectF circle(QPointF(snapX(x) + inset, snapY(y) + inset),
                        QPointF(snapX(x + side) - inset, snapY(y + side) - inset));
    painter.setPen(QPen(palette().color(QPalette::WindowText), outline));
    painter.setBrush(color());
    painter.drawEllipse(circle);
}
