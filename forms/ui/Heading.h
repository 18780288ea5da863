#pragma once

#include <QLabel>

// A section heading: black, as drawn for the light desktop, wherever black reads on what is
// behind it; on a dark palette or style sheet, the text colour that comes with it.
class Heading : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *event) override;
};
