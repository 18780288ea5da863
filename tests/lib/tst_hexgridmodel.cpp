#include "lib/HexGridModel.h"
#include "lib/modSimGeneral.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

namespace {
QByteArray counting(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char(i * 7 + 3);
    return bytes;
}

QString hexOf(char byte)
{
    return QString::fromLatin1(QByteArray(1, byte).toHex().toUpper());
}

// Every cell against a plain byte array: the shown bytes in black, blanks in grey, nothing else.
void verifyShows(const HexGridModel &model, const QByteArray &block)
{
    const QByteArray shown = block.left(2048);
    const int lines = qMax(1, int((shown.size() + 15) / 16));
    QCOMPARE(model.lineCount(), lines);
    QCOMPARE(model.rowCount(), lines);
    for (int line = 0; line < lines; ++line) {
        for (int column = 0; column < 16; ++column) {
            const int offset = line * 16 + column;
            const QModelIndex index = model.index(line, column);
            const QString expected = offset < shown.size() ? hexOf(shown.at(offset)) : QString();
            const bool holdsByte = offset < shown.size();
            QCOMPARE(model.cellText(line, column), expected);
            QCOMPARE(index.data().toString(), expected);
            QCOMPARE(model.holdsByte(line, column), holdsByte);
            QCOMPARE(index.data(HexGridModel::HoldsByteRole).toBool(), holdsByte);
        }
    }
    QVERIFY(!model.index(lines, 0).isValid());
}
} // namespace

class tst_HexGridModel : public QObject
{
    Q_OBJECT

private slots:
    void startsWithOneBlankLine();
    void fill_data();
    void fill();
    void byteText_data();
    void byteText();
    void headers();
    void shorterBlockLeavesNoStaleByte();
    void sameBlockAgainNotifiesNothing();
    void modelTester();
    void randomBlocksMatchOracle();
};

void tst_HexGridModel::startsWithOneBlankLine()
{
    HexGridModel model;
    QCOMPARE(model.columnCount(), 16);
    verifyShows(model, {});
}

void tst_HexGridModel::fill_data()
{
    // Byte values are the byteText table's; these rows are the line and 2048-byte boundaries.
    QTest::addColumn<QByteArray>("block");
    QTest::newRow("empty block") << QByteArray();
    QTest::newRow("one line exactly") << counting(16);
    QTest::newRow("one byte into the second line") << counting(17);
    QTest::newRow("2048 bytes") << counting(2048);
    QTest::newRow("3000 bytes, first 2048 shown") << counting(3000);
}

void tst_HexGridModel::fill()
{
    QFETCH(QByteArray, block);
    HexGridModel model;
    SetGridFromByteArray(model, block);
    verifyShows(model, block);
    QCOMPARE(model.index(0, 0).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
}

void tst_HexGridModel::byteText_data()
{
    QTest::addColumn<int>("value");
    for (int value = 0; value < 256; ++value)
        QTest::addRow("%d", value) << value;
}

void tst_HexGridModel::byteText()
{
    QFETCH(int, value);
    const QString expected = hexOf(char(value));
    QCOMPARE(HexByteText(quint8(value)), expected);

    HexGridModel model;
    SetGridFromByteArray(model, QByteArray(1, char(value)));
    QCOMPARE(model.index(0, 0).data().toString(), expected);
}

void tst_HexGridModel::headers()
{
    HexGridModel model;
    QSignalSpy headerSpy(&model, &QAbstractItemModel::headerDataChanged);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QString());

    model.prepareHeaders();
    QVERIFY(headerSpy.count() >= 1);
    for (int column = 0; column < 16; ++column) {
        QCOMPARE(model.headerData(column, Qt::Horizontal).toString(),
                 QStringLiteral("0%1").arg(column, 0, 16).toUpper());
        QCOMPARE(model.headerData(column, Qt::Horizontal, Qt::TextAlignmentRole).toInt(),
                 int(Qt::AlignCenter));
    }
    QCOMPARE(model.headerData(0, Qt::Vertical).toString(), QStringLiteral("0000"));

    // Line headers count lines, not byte offsets.
    SetGridFromByteArray(model, counting(3000));
    QCOMPARE(model.headerData(1, Qt::Vertical).toString(), QStringLiteral("0001"));
    QCOMPARE(model.headerData(10, Qt::Vertical).toString(), QStringLiteral("000A"));
    QCOMPARE(model.headerData(127, Qt::Vertical).toString(), QStringLiteral("007F"));
    QCOMPARE(model.headerData(128, Qt::Vertical), QVariant());
}

void tst_HexGridModel::shorterBlockLeavesNoStaleByte()
{
    HexGridModel model;
    SetGridFromByteArray(model, QByteArray(3000, char(0xEE)));
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);

    const QByteArray shorter(17, char(0x11));
    SetGridFromByteArray(model, shorter);

    verifyShows(model, shorter);
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.at(0).at(1).toInt(), 2);
    QCOMPARE(removed.at(0).at(2).toInt(), 127);
    QCOMPARE(reset.count(), 0);
    // The canary bytes are gone from the lines beyond the new end, too.
    QCOMPARE(model.cellText(2, 0), QString());
    QCOMPARE(model.cellText(127, 15), QString());
    QVERIFY(!model.bytes().contains(char(0xEE)));
}

void tst_HexGridModel::sameBlockAgainNotifiesNothing()
{
    HexGridModel model;
    SetGridFromByteArray(model, counting(100));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);

    SetGridFromByteArray(model, counting(100));
    QCOMPARE(changed.count(), 0);
    QCOMPARE(inserted.count(), 0);
    QCOMPARE(removed.count(), 0);

    // One changed byte repaints that cell only.
    QByteArray oneChanged = counting(100);
    oneChanged[37] = char(~oneChanged.at(37));
    SetGridFromByteArray(model, oneChanged);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<QModelIndex>(), model.index(2, 5));
    QCOMPARE(changed.at(0).at(1).value<QModelIndex>(), model.index(2, 5));
}

void tst_HexGridModel::modelTester()
{
    HexGridModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.prepareHeaders();
    for (int size : {2, 16, 17, 3000, 0, 33, 2048, 1, 500}) {
        SetGridFromByteArray(model, counting(size));
        if (QTest::currentTestFailed())
            return;
    }
}

void tst_HexGridModel::randomBlocksMatchOracle()
{
    HexGridModel model;
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    QSignalSpy layout(&model, &QAbstractItemModel::layoutChanged);

    QRandomGenerator random(20240611);
    QByteArray oracle;
    for (int step = 0; step < 300; ++step) {
        QByteArray block;
        if (step % 3 == 2) {
            // Mostly the same block with a few bytes changed: narrow repaints.
            block = oracle;
            for (int k = random.bounded(4); k > 0 && !block.isEmpty(); --k)
                block[random.bounded(int(block.size()))] = char(random.bounded(256));
        } else {
            block.resize(random.bounded(3200));
            for (char &byte : block)
                byte = char(random.bounded(256));
        }

        const QByteArray previous = oracle.left(2048);
        const int previousLines = model.lineCount();
        changed.clear();
        inserted.clear();
        removed.clear();

        SetGridFromByteArray(model, block);
        oracle = block;

        verifyShows(model, block);
        const int lines = model.lineCount();
        QCOMPARE(inserted.count(), lines > previousLines ? 1 : 0);
        QCOMPARE(removed.count(), lines < previousLines ? 1 : 0);
        QVERIFY(changed.count() <= 1);

        // Every cell that changed in a line that stayed lies inside the one repainted range.
        const QByteArray shown = block.left(2048);
        for (int line = 0; line < qMin(lines, previousLines); ++line) {
            for (int column = 0; column < 16; ++column) {
                const int offset = line * 16 + column;
                const QString before
                    = offset < previous.size() ? hexOf(previous.at(offset)) : QString();
                const QString after = offset < shown.size() ? hexOf(shown.at(offset)) : QString();
                if (before == after)
                    continue;
                QCOMPARE(changed.count(), 1);
                const auto topLeft = changed.at(0).at(0).value<QModelIndex>();
                const auto bottomRight = changed.at(0).at(1).value<QModelIndex>();
                QVERIFY(line >= topLeft.row() && line <= bottomRight.row());
                QVERIFY(column >= topLeft.column() && column <= bottomRight.column());
            }
        }
    }
    QCOMPARE(reset.count(), 0);
    QCOMPARE(layout.count(), 0);
}

QTEST_GUILESS_MAIN(tst_HexGridModel)
#include "tst_hexgridmodel.moc"
