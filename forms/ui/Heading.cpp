#include "forms/ui/Heading.h"

#include "forms/ui/Contrast.h"

#include <QPainter>
#include <QStyle>

void Heading::paintEvent(QPaintEvent *)
{
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText,
                     ReadableOn(colours.color(backgroundRole()), Qt::black,
                                colours.color(QPalette::WindowText)));
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), int(alignment()), colours, isEnabled(), text(),
                          QPalette::WindowText);
}
