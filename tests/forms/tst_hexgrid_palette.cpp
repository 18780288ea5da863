#include "support/MessageBoxRecorder.h"
#include "support/ProgramFolderFixture.h"

#include "forms/frmHistory.h"
#include "forms/frmMain.h"
#include "forms/ui/HexGrid.h"
#include "lib/ExchangeHistory.h"
#include "lib/HexGridModel.h"
#include "lib/modSimGeneral.h"

#include <QApplication>
#include <QImage>
#include <QPalette>
#include <QTableView>
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

// The colour that stands out most from the commonest one in area, and their contrast.
double inkContrast(const QImage &image, const QRect &area)
{
    std::map<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y) | 0xFF000000];
    }
    const QRgb background
        = std::max_element(counts.begin(), counts.end(), [](const auto &a, const auto &b) {
              return a.second < b.second;
          })->first;
    double best = 1;
    for (const auto &[rgb, count] : counts)
        best = std::max(best, contrast(rgb, background));
    return best;
}

// GNOME's dark Adwaita as Qt's GTK 3 theme hands it to the application.
QPalette adwaitaDark()
{
    QPalette dark(QColor(0xEE, 0xEE, 0xEC), QColor(0x35, 0x35, 0x35), QColor(0x45, 0x45, 0x45),
                  QColor(0x1B, 0x1B, 0x1B), QColor(0x29, 0x29, 0x29), QColor(0xEE, 0xEE, 0xEC),
                  QColor(0xFF, 0xFF, 0xFF), QColor(0x2D, 0x2D, 0x2D), QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::ButtonText, QColor(0xEE, 0xEE, 0xEC));
    return dark;
}

const char *const darkStyleSheet = "QWidget { background-color: #2b2b2b; color: #e6e6e6; }"
                                   "QAbstractItemView { background-color: #1e1e1e; }";

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
class tst_HexGridPalette : public QObject
{
    Q_OBJECT

private slots:
    void digitsKeepTheirContrast_data();
    void digitsKeepTheirContrast();
    void windowReadsUnderEveryLook_data();
    void windowReadsUnderEveryLook();
    void historyReadsUnderEveryLook_data() { windowReadsUnderEveryLook_data(); }
    void historyReadsUnderEveryLook();
};

void tst_HexGridPalette::digitsKeepTheirContrast_data()
{
    QTest::addColumn<QPalette>("desktop");
    QTest::newRow("light desktop") << QApplication::palette();
    QTest::newRow("dark desktop") << darkPalette();
}

void tst_HexGridPalette::digitsKeepTheirContrast()
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
    const double best = inkContrast(image, area);
    QVERIFY2(best >= 4.5, qPrintable(QStringLiteral("contrast %1:1").arg(best)));
}

void tst_HexGridPalette::windowReadsUnderEveryLook_data()
{
    QTest::addColumn<QPalette>("desktop");
    QTest::addColumn<QString>("styleSheet");
    QTest::newRow("light desktop") << QApplication::palette() << QString();
    QTest::newRow("dark desktop") << adwaitaDark() << QString();
    QTest::newRow("dark style sheet")
        << QApplication::palette() << QString::fromLatin1(darkStyleSheet);
}

void tst_HexGridPalette::windowReadsUnderEveryLook()
{
    QFETCH(QPalette, desktop);
    QFETCH(QString, styleSheet);
    ProgramFolderFixture folder;
    MessageBoxRecorder boxes;
    const QPalette previous = QApplication::palette();
    QApplication::setPalette(desktop);
    qApp->setStyleSheet(styleSheet);
    auto restore = qScopeGuard([&] {
        qApp->setStyleSheet(QString());
        QApplication::setPalette(previous);
    });

    frmMain form;
    form.Show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto *grid = form.findChild<HexGrid *>(QStringLiteral("fgrdRecvData"));
    SetGridFromByteArray(grid->hexModel(), QByteArray(16, char(0x88)));
    grid->selectionModel()->select(grid->model()->index(0, 1), QItemSelectionModel::Select);
    const QImage image = form.grab().toImage();
    const auto inWindow = [&](QWidget *control, QRect area = {}) {
        if (area.isNull())
            area = control->rect();
        return QRect(control->mapTo(&form, area.topLeft()), area.size());
    };

    // Headings, labels, the frame and its options, lamps: 3:1; data cells 4.5:1.
    QStringList faint;
    for (const char *name :
         {"lblRcvData", "lblSendData", "lblNowDateTimeForRecv", "lblLastRecvDateTimeData",
          "fraResSetting", "optRcvData", "shpRecvLed", "shpSendLed", "sbListening"}) {
        QWidget *control = form.findChild<QWidget *>(QLatin1String(name));
        const double ratio = inkContrast(image, inWindow(control));
        qInfo("%s %.1f:1", name, ratio);
        if (ratio < 3)
            faint << QStringLiteral("%1 %2:1").arg(QLatin1String(name)).arg(ratio);
    }
    for (const int column : {0, 1}) { // a cell, and a selected one
        const QRect cell = grid->visualRect(grid->model()->index(0, column));
        const double cellRatio = inkContrast(image, inWindow(grid->viewport(), cell));
        qInfo("data cell %d %.1f:1", column, cellRatio);
        if (cellRatio < 4.5)
            faint << QStringLiteral("data cell %1 %2:1").arg(column).arg(cellRatio);
    }
    QVERIFY2(faint.isEmpty(), qPrintable(faint.join(QLatin1String(", "))));
}

void tst_HexGridPalette::historyReadsUnderEveryLook()
{
    QFETCH(QPalette, desktop);
    QFETCH(QString, styleSheet);
    const QPalette previous = QApplication::palette();
    QApplication::setPalette(desktop);
    qApp->setStyleSheet(styleSheet);
    auto restore = qScopeGuard([&] {
        qApp->setStyleSheet(QString());
        QApplication::setPalette(previous);
    });

    ExchangeHistory history;
    history.appendBlock(ExchangeKind::Received, 0, QStringLiteral("127.0.0.1:50123"),
                        "STATUS?\r\n");
    history.appendBlock(ExchangeKind::Sent, 0, QStringLiteral("127.0.0.1:50123"), "OK\r\n");
    frmHistory window(history, {}, nullptr);
    window.open();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *rows = window.findChild<QTableView *>(QStringLiteral("tblHistory"));
    auto *detail = window.findChild<QTableView *>(QStringLiteral("tblDetail"));
    rows->setCurrentIndex(rows->model()->index(1, 0));
    const QImage image = window.grab().toImage();
    const auto cellIn = [&](QTableView *view, int row, int column) {
        const QRect cell = view->visualRect(view->model()->index(row, column));
        return QRect(view->viewport()->mapTo(&window, cell.topLeft()), cell.size());
    };
    // Rows, the selected row and the detail's bytes 4.5:1.
    QStringList faint;
    for (const auto &[name, area] :
         {std::pair {"row", cellIn(rows, 0, 4)}, std::pair {"selected row", cellIn(rows, 1, 4)},
          std::pair {"detail byte", cellIn(detail, 0, 0)}}) {
        const double ratio = inkContrast(image, area);
        qInfo("%s %.1f:1", name, ratio);
        if (ratio < 4.5)
            faint << QStringLiteral("%1 %2:1").arg(QLatin1String(name)).arg(ratio);
    }
    QVERIFY2(faint.isEmpty(), qPrintable(faint.join(QLatin1String(", "))));
}

QTEST_MAIN(tst_HexGridPalette)
#include "tst_hexgrid_palette.moc"
