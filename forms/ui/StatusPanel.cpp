#include "forms/ui/StatusPanel.h"

#include <QEvent>
#include <QFontMetrics>

StatusPanel::StatusPanel(const char *name, const QString &accessibleName, int width,
                         QWidget *parent)
    : QLabel(parent)
{
    setObjectName(QLatin1String(name));
    setAccessibleName(accessibleName);
    setFixedWidth(width);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setTextFormat(Qt::PlainText);
}

void StatusPanel::setFullText(const QString &text)
{
    if (text == m_fullText)
        return;
    m_fullText = text;
    fit();
}

void StatusPanel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    fit();
}

void StatusPanel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fit();
}

void StatusPanel::fit()
{
    const int room = contentsRect().width() - 2 * margin() - 2;
    const QString shown = fontMetrics().elidedText(m_fullText, Qt::ElideRight, room);
    setText(shown);
    setToolTip(shown == m_fullText ? QString() : m_fullText);
}
