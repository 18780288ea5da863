#include "forms/ui/HexGrid.h"
#include "lib/HexGridModel.h"

#include <QHelpEvent>
#include <QSignalSpy>
#include <QToolTip>
#include <QtTest>

namespace {
QByteArray everyByteValue()
{
    QByteArray bytes(256, Qt::Uninitialized);
    for (int value = 0; value < 256; ++value)
        bytes[value] = char(value);
    return bytes;
}
} // namespace

class tst_HexGridTooltip : public QObject
{
    Q_OBJECT

private slots:
    void cellToolTip_data();
    void cellToolTip();
    void blanksHaveNoToolTip();
    void printableCharactersExactlyForAscii();
    void changedByteChangesItsToolTip();
    void viewShowsTheCellsToolTip();
};

void tst_HexGridTooltip::cellToolTip_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("tip");

    // Which values name a character is the every-value test's; these rows are the layout.
    const QByteArray bytes = everyByteValue();
    QTest::newRow("first byte, a letter")
        << QByteArray("ABC") << 0 << 0
        << QStringLiteral("オフセット：0x0000 (0)\n値：65\n文字：「A」");
    QTest::newRow("line 0001 starts at offset 16")
        << bytes << 1 << 1 << QStringLiteral("オフセット：0x0011 (17)\n値：17");
    QTest::newRow("FF, uppercase offset digits")
        << bytes << 15 << 15 << QStringLiteral("オフセット：0x00FF (255)\n値：255");
    QTest::newRow("last shown byte of a long block")
        << QByteArray(3000, 'z') << 127 << 15
        << QStringLiteral("オフセット：0x07FF (2047)\n値：122\n文字：「z」");
}

void tst_HexGridTooltip::cellToolTip()
{
    QFETCH(QByteArray, block);
    QFETCH(int, line);
    QFETCH(int, column);
    QFETCH(QString, tip);

    HexGridModel model;
    model.setBytes(block);
    QCOMPARE(model.cellToolTip(line, column), tip);
    QCOMPARE(model.index(line, column).data(Qt::ToolTipRole).toString(), tip);
}

void tst_HexGridTooltip::blanksHaveNoToolTip()
{
    HexGridModel model;
    QVERIFY(!model.index(0, 0).data(Qt::ToolTipRole).isValid());
    model.setBytes("ABC");
    QVERIFY(model.index(0, 2).data(Qt::ToolTipRole).isValid());
    QVERIFY(!model.index(0, 3).data(Qt::ToolTipRole).isValid());
    QVERIFY(!model.index(0, 15).data(Qt::ToolTipRole).isValid());
    QCOMPARE(model.cellToolTip(1, 0), QString());
    QCOMPARE(model.cellToolTip(0, 16), QString());
}

void tst_HexGridTooltip::printableCharactersExactlyForAscii()
{
    // Every value once: only 0x20 to 0x7E name a character; bytes of multi-byte text never do.
    HexGridModel model;
    const QByteArray bytes = everyByteValue();
    model.setBytes(bytes);
    for (int value = 0; value < 256; ++value) {
        const QString tip = model.cellToolTip(value / 16, value % 16);
        QVERIFY2(tip.contains(QStringLiteral("値：%1").arg(value)), qPrintable(tip));
        const bool printable = value >= 0x20 && value <= 0x7E;
        QCOMPARE(tip.contains(QStringLiteral("文字：")), printable);
    }
}

void tst_HexGridTooltip::changedByteChangesItsToolTip()
{
    HexGridModel model;
    model.setBytes("AB");
    QSignalSpy changed(&model, &HexGridModel::dataChanged);
    model.setBytes("AC");
    QCOMPARE(changed.size(), 1);
    const auto roles = changed.at(0).at(2).value<QList<int>>();
    QVERIFY(roles.contains(Qt::ToolTipRole));
    QVERIFY(model.cellToolTip(0, 1).endsWith(QStringLiteral("文字：「C」")));
}

void tst_HexGridTooltip::viewShowsTheCellsToolTip()
{
    HexGrid grid;
    grid.resize(585, 161);
    grid.hexModel().setBytes(QByteArray("\x10\x20\x41", 3));
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));

    const QModelIndex cell = grid.model()->index(0, 2);
    const QPoint local = grid.visualRect(cell).center();
    QHelpEvent help(QEvent::ToolTip, local, grid.viewport()->mapToGlobal(local));
    QCoreApplication::sendEvent(grid.viewport(), &help);
    QTRY_COMPARE(QToolTip::text(), QStringLiteral("オフセット：0x0002 (2)\n値：65\n文字：「A」"));

    // A blank cell hides the tip rather than showing a stale one.
    const QPoint blank = grid.visualRect(grid.model()->index(0, 9)).center();
    QHelpEvent blankHelp(QEvent::ToolTip, blank, grid.viewport()->mapToGlobal(blank));
    QCoreApplication::sendEvent(grid.viewport(), &blankHelp);
    QTRY_VERIFY(!QToolTip::isVisible());
}

QTEST_MAIN(tst_HexGridTooltip)
#include "tst_hexgrid_tooltip.moc"
