#pragma once

#include <QLabel>

// A status bar panel of fixed width: a text too long for it is cut with an ellipsis, and the
// whole text is then its tooltip.
class StatusPanel : public QLabel
{
    Q_OBJECT

public:
    StatusPanel(const char *name, const QString &accessibleName, int width, QWidget *parent);

    // The whole text; text() is what fits.
    void setFullText(const QString &text);
    const QString &fullText() const { return m_fullText; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void fit();

    QString m_fullText;
};
