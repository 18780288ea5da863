#include "forms/ui/HexGrid.h"
#include "lib/HexGridModel.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHBoxLayout>
#include <QMenu>
#include <QRandomGenerator>
#include <QtTest>

namespace {
QByteArray counting(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i);
    return bytes;
}

QModelIndexList cellsOf(const HexGridModel &model, const QList<QPoint> &lineColumns)
{
    QModelIndexList cells;
    for (const QPoint &cell : lineColumns)
        cells.append(model.index(cell.x(), cell.y()));
    return cells;
}

// The whole block the plain way: toHex with blanks, cut after every 16th byte.
QString wholeBlockOracle(const QByteArray &block)
{
    QStringList lines;
    const QByteArray shown = block.left(HexGridModel::maxBytes);
    for (qsizetype start = 0; start < shown.size(); start += 16)
        lines.append(QString::fromLatin1(shown.mid(start, 16).toHex(' ').toUpper()));
    return lines.join(QLatin1Char('\n'));
}
} // namespace

class tst_HexGridCopy : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void wholeBlock_data();
    void wholeBlock();
    void selectedCells_data();
    void selectedCells();
    void randomRectanglesMatchOracle();

    void ctrlC_data();
    void ctrlC();
    void eachGridCopiesItsOwnCells();
    void contextMenuOffersCopy();
};

void tst_HexGridCopy::init()
{
    QGuiApplication::clipboard()->clear();
}

void tst_HexGridCopy::wholeBlock_data()
{
    QTest::addColumn<QByteArray>("block");

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("ABC") << QByteArray("ABC");
    QTest::newRow("00 FF") << QByteArray("\x00\xFF", 2);
    QTest::newRow("exactly one line") << counting(16);
    QTest::newRow("one byte into the second line") << counting(17);
    QTest::newRow("longer than shown") << QByteArray(3000, '\xAB');
}

void tst_HexGridCopy::wholeBlock()
{
    QFETCH(QByteArray, block);
    HexGridModel model;
    model.setBytes(block);
    const QString text = model.copyText();
    QCOMPARE(text, wholeBlockOracle(block));
    QCOMPARE(text.count(QLatin1Char('\n')), block.isEmpty() ? 0 : model.lineCount() - 1);
}

void tst_HexGridCopy::selectedCells_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QList<QPoint>>("cells"); // (line, column)
    QTest::addColumn<QString>("text");

    const QByteArray bytes = counting(40);
    QTest::newRow("one cell") << bytes << QList<QPoint> {{1, 10}} << QStringLiteral("1A");
    QTest::newRow("rectangle over two lines")
        << bytes << QList<QPoint> {{0, 14}, {0, 15}, {1, 14}, {1, 15}}
        << QStringLiteral("0E 0F\n1E 1F");
    QTest::newRow("picked in any order, some twice")
        << bytes << QList<QPoint> {{1, 15}, {0, 14}, {1, 14}, {0, 15}, {0, 14}}
        << QStringLiteral("0E 0F\n1E 1F");
    QTest::newRow("cells past the end are left out")
        << bytes << QList<QPoint> {{2, 6}, {2, 7}, {2, 8}, {2, 9}} << QStringLiteral("26 27");
    QTest::newRow("only blank cells") << bytes << QList<QPoint> {{2, 8}, {2, 15}} << QString();
    QTest::newRow("whole first column")
        << counting(48) << QList<QPoint> {{0, 0}, {1, 0}, {2, 0}} << QStringLiteral("00\n10\n20");
}

void tst_HexGridCopy::selectedCells()
{
    QFETCH(QByteArray, block);
    QFETCH(QList<QPoint>, cells);
    QFETCH(QString, text);
    HexGridModel model;
    model.setBytes(block);
    QCOMPARE(model.copyText(cellsOf(model, cells)), text);
}

void tst_HexGridCopy::randomRectanglesMatchOracle()
{
    HexGridModel model;
    HexGridModel other;
    QRandomGenerator random(20240607);
    for (int round = 0; round < 200; ++round) {
        QByteArray block(random.bounded(1, 400), Qt::Uninitialized);
        for (char &byte : block)
            byte = char(random.bounded(256));
        model.setBytes(block);
        other.setBytes(block);
        const int top = random.bounded(model.lineCount());
        const int bottom = random.bounded(top, model.lineCount());
        const int left = random.bounded(16);
        const int right = random.bounded(left, 16);

        QModelIndexList cells;
        QStringList lines;
        for (int line = top; line <= bottom; ++line) {
            QStringList lineBytes;
            for (int column = left; column <= right; ++column) {
                cells.append(model.index(line, column));
                const int offset = line * 16 + column;
                if (offset < block.size())
                    lineBytes.append(QString::fromLatin1(block.mid(offset, 1).toHex().toUpper()));
            }
            if (!lineBytes.isEmpty())
                lines.append(lineBytes.join(QLatin1Char(' ')));
        }
        // A cell of another grid never leaks into this one's text.
        cells.append(other.index(0, 0));
        QCOMPARE(model.copyText(cells), lines.join(QLatin1Char('\n')));
    }
}

void tst_HexGridCopy::ctrlC_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QRect>("selection"); // columns x lines; empty: nothing selected
    QTest::addColumn<QString>("clipboard");

    QTest::newRow("the selection")
        << counting(40) << QRect(1, 0, 2, 2) << QStringLiteral("01 02\n11 12");
    QTest::newRow("no selection: the whole block")
        << counting(18) << QRect()
        << QStringLiteral("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\n10 11");
    QTest::newRow("empty grid leaves the clipboard")
        << QByteArray() << QRect() << QStringLiteral("kept");
}

void tst_HexGridCopy::ctrlC()
{
    QFETCH(QByteArray, block);
    QFETCH(QRect, selection);
    QFETCH(QString, clipboard);

    HexGrid grid;
    grid.resize(585, 161);
    grid.hexModel().setBytes(block);
    grid.show();
    QVERIFY(QTest::qWaitForWindowActive(&grid));
    grid.setFocus();
    const QAbstractItemModel &model = *grid.model();
    if (selection.isValid())
        grid.selectionModel()->select(
            QItemSelection(model.index(selection.top(), selection.left()),
                           model.index(selection.bottom(), selection.right())),
            QItemSelectionModel::ClearAndSelect);
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), clipboard);
}

void tst_HexGridCopy::eachGridCopiesItsOwnCells()
{
    // The main window holds two grids; the shortcut must reach the focused one, not neither.
    QWidget window;
    auto *layout = new QHBoxLayout(&window);
    auto *first = new HexGrid(&window);
    auto *second = new HexGrid(&window);
    layout->addWidget(first);
    layout->addWidget(second);
    first->hexModel().setBytes("AB");
    second->hexModel().setBytes("CD");
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    second->setFocus();
    QTest::keyClick(second, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("43 44"));
    first->setFocus();
    QTest::keyClick(first, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("41 42"));
}

void tst_HexGridCopy::contextMenuOffersCopy()
{
    HexGrid grid;
    grid.resize(585, 161);
    grid.hexModel().setBytes(counting(20));
    grid.show();
    QVERIFY(QTest::qWaitForWindowActive(&grid));
    grid.selectionModel()->select(grid.model()->index(1, 3), QItemSelectionModel::ClearAndSelect);

    QString offered;
    QString shortcut;
    // The menu runs its own loop; pick its entry from inside it, as a user's click would.
    QTimer::singleShot(0, &grid, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu || menu->actions().isEmpty())
            return;
        QAction *action = menu->actions().first();
        offered = action->text();
        shortcut = action->shortcut().toString(QKeySequence::PortableText);
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
    });
    const QPoint at = grid.visualRect(grid.model()->index(1, 3)).center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, grid.viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(grid.viewport(), &event);

    QCOMPARE(offered, QStringLiteral("コピー"));
    QCOMPARE(shortcut, QStringLiteral("Ctrl+C"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("13"));
}

QTEST_MAIN(tst_HexGridCopy)
#include "tst_hexgrid_copy.moc"
