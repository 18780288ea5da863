#pragma once

#include <QWidget>

// A lamp: a filled circle inside a one-pixel outline in the window-text colour, centred in the
// widget with the smaller side as its diameter. The fill is a 0x00BBGGRR colour value.
class Lamp : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(quint32 fillColor READ fillColor WRITE setFillColor NOTIFY fillColorChanged)

public:
    explicit Lamp(QWidget *parent = nullptr);

    quint32 fillColor() const { return m_fillColor; }
    void setFillColor(quint32 color);
    QColor color() const;

    QSize sizeHint() const override;

signals:
    void fillColorChanged(quint32 color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    quint32 m_fillColor = 0;
};
