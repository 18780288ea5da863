#include "forms/ui/HexGrid.h"
#include "lib/HexGridModel.h"

#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <map>

namespace {
// Relative luminance and contrast ratio as accessibility guidelines define them.
double luminance(QRgb rgb)
{
    const auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb))
        + 0.0722 * channel(qBlue(rgb));
}

double contrast(QRgb a, QRgb b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QPalette darkPalette()
{
    QPalette dark(QColor(53, 53, 53), QColor(42, 42, 42));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    return dark;
}
} // namespace

// The grid paints its own look: its digits stay readable whatever the desktop's palette is.
class HexGridPaletteTest : public QObject
{
    Q_OBJECT

private slots:
    void digitsKeepTheirContrast_data();
    void digitsKeepTheirContrast();
};

void HexGridPaletteTest::digitsKeepTheirContrast_data()
{
    QTest::addColumn<QPalette>("desktop");
    QTest::newRow("light desktop") << QApplication::palette();
    QTest::newRow("dark desktop") << darkPalette();
}

void HexGridPaletteTest::digitsKeepTheirContrast()
{
    QFETCH(QPalette, desktop);
    const QPalette previous = QApplication::palette();
    QApplication::setPalette(desktop);

    HexGrid grid;
    grid.resize(585, 161);
    grid.hexModel().setBytes(QByteArray(16, char(0x88)));
    const QModelIndex cell = grid.model()->index(0, 0);
    const QRect area = grid.visualRect(cell).translated(grid.viewport()->pos());
    const QImage image = grid.grab().toImage();
    QApplication::setPalette(previous);

    // The cell's background is its commonest colour; its digits, the one that differs most.
    std::map<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y) | 0xFF000000];
    }
    QVERIFY(counts.size() > 1);
    const QRgb background
        = std::max_element(counts.begin(), counts.end(), [](const auto &a, const auto &b) {
              return a.second < b.second;
          })->first;
    double best = 1;
    for (const auto &[rgb, count] : counts)
        best = std::max(best, contrast(rgb, background));
    QVERIFY2(best >= 4.5, qPrintable(QStringLiteral("contrast %1:1").arg(best)));
}

QTEST_MAIN(HexGridPaletteTest)
#include "tst_hexgrid_palette.moc"
