#include "platform/ui/Lamp.h"

#include <QPainter>
#include <QPen>

Lamp::Lamp(QWidget *parent) : QWidget(parent) { }

void Lamp::setFillColor(quint32 color)
{
    color &= 0x00FFFFFF;
    if (color == m_fillColor)
        return;
    m_fillColor = color;
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
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1.0));
    painter.setBrush(color());
    // Whole-pixel offsets plus half a pixel put the one-pixel outline on whole pixels.
    const int side = qMin(width(), height());
    const qreal diameter = side - 1.0;
    const QRectF circle((width() - side) / 2 + 0.5, (height() - side) / 2 + 0.5, diameter,
                        diameter);
    painter.drawEllipse(circle);
}
