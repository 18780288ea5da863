#pragma once

#include <QLabel>

// A status bar panel. The panels share the room the date and time leave, in proportion to their
// share; a text too long for its panel is cut with an ellipsis. Screen readers hear the panel's
// name and its whole text; the tooltip shows the whole text whenever the panel shows less.
class StatusPanel : public QLabel
{
    Q_OBJECT

public:
    StatusPanel(const char *name, const QString &accessibleName, int share, QWidget *parent);

    int share() const { return m_share; }

    // The whole text, and the shorter form to show when it differs (counts with a unit).
    void setFullText(const QString &text, const QString &shortForm = {});
    const QString &fullText() const { return m_fullText; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void fit();

    int m_share;
    QString m_fullText;
    QString m_shortForm;
};
