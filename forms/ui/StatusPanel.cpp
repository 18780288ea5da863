#include "forms/ui/StatusPanel.h"

#include <QEvent>
#include <QFontMetrics>

StatusPanel::StatusPanel(const char *name, const QString &accessibleName, int share,
                         QWidget *parent)
    : QLabel(parent), m_share(share)
{
    setObjectName(QLatin1String(name));
    setAccessibleName(accessibleName);
    // The width comes from the share alone, never from the text: a long text cannot widen the
    // window.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setMinimumWidth(0);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setTextFormat(Qt::PlainText);
}

void StatusPanel::setFullText(const QString &text, const QString &shortForm)
{
    const QString shown = shortForm.isEmpty() ? text : shortForm;
    if (text == m_fullText && shown == m_shortForm)
        return;
    m_fullText = text;
    m_shortForm = shown;
    setAccessibleDescription(text);
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
    const QString shown = fontMetrics().elidedText(m_shortForm, Qt::ElideRight, room);
    setText(shown);
    setToolTip(shown == m_fullText ? QString() : m_fullText);
}
