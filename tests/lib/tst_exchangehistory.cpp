#include "lib/DataCapture.h"
#include "lib/ExchangeHistory.h"
#include "lib/ExchangeHistoryModel.h"
#include "lib/HexDumpModel.h"
#include "lib/modLogging.h"
#include "lib/modUtility.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString peer = QStringLiteral("127.0.0.1:50123");
const qint64 t0 = QDateTime(QDate(2026, 12, 8), QTime(5, 1, 2, 345)).toMSecsSinceEpoch();

QStringList RowTexts(const QAbstractItemModel &model, int row)
{
    QStringList texts;
    for (int column = 0; column < model.columnCount(); ++column)
        texts += model.index(row, column).data().toString();
    return texts;
}

// The model's rows as the history holds them: a row for what went, then one per exchange.
QStringList Oracle(const ExchangeHistory &history)
{
    QStringList rows;
    if (history.dropped() > 0)
        rows += ExchangeTexts::Dropped(history.dropped());
    for (qsizetype index = 0; index < history.size(); ++index) {
        const Exchange &exchange = history.at(index);
        rows += exchange.isBlock() ? ExchangeTexts::HeadHex(exchange.bytes, 16)
                                   : ExchangeTexts::Event(exchange);
    }
    return rows;
}

QStringList Shown(const QAbstractItemModel &model)
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row)
        rows += model.index(row, ExchangeHistoryModel::HexColumn).data().toString();
    return rows;
}
} // namespace

class tst_ExchangeHistory : public QObject
{
    Q_OBJECT

private slots:
    void rows_data();
    void rows();
    void bound_data();
    void bound();
    void filter_data();
    void filter();
    void textOfEveryByte_data();
    void textOfEveryByte();
    void savedLikeTheCaptureFile_data();
    void savedLikeTheCaptureFile();
};

void tst_ExchangeHistory::rows_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("speech");

    const QString time = QStringLiteral("26/12/08 05:01:02.345");
    auto row = [&](const char *name, ExchangeKind kind, const QByteArray &bytes, qint64 count,
                   const QStringList &rest, const QString &speech) {
        QTest::newRow(name) << int(kind) << bytes << count << (QStringList {time} + rest)
                            << time + QLatin1Char(' ') + speech;
    };
    row("received", ExchangeKind::Received, "STATUS?\r\n", 9,
        {QStringLiteral("受信"), peer, QStringLiteral("9"),
         QStringLiteral("53 54 41 54 55 53 3F 0D 0A"), QStringLiteral("STATUS?..")},
        QStringLiteral("受信 %1 9バイト 53 54 41 54 55 53 3F 0D 0A STATUS?..").arg(peer));
    row("sent, longer than its head", ExchangeKind::Sent, QByteArray(17, 'a'), 17,
        {QStringLiteral("送信"), peer, QStringLiteral("17"),
         QStringLiteral("61 61 61 61 61 61 61 61 61 61 61 61 61 61 61 61 …"),
         QStringLiteral("aaaaaaaaaaaaaaaa…")},
        QStringLiteral("送信 %1 17バイト 61 61 61 61 61 61 61 61 61 61 61 61 61 61 61 61 … "
                       "aaaaaaaaaaaaaaaa…")
            .arg(peer));
    row("connected", ExchangeKind::Connected, {}, 0,
        {QStringLiteral("接続"), peer, QString(), QStringLiteral("接続しました"), QString()},
        QStringLiteral("接続 %1 接続しました").arg(peer));
    row("replaced", ExchangeKind::Replaced, {}, 0,
        {QStringLiteral("切替"), peer, QString(), QStringLiteral("新しい接続に切り替えました"),
         QString()},
        QStringLiteral("切替 %1 新しい接続に切り替えました").arg(peer));
    row("gone", ExchangeKind::Disconnected, {}, 0,
        {QStringLiteral("切断"), peer, QString(), QStringLiteral("切断しました"), QString()},
        QStringLiteral("切断 %1 切断しました").arg(peer));
    row("lone byte held", ExchangeKind::ByteHeld, {}, 1,
        {QStringLiteral("保留"), peer, QStringLiteral("1"), QStringLiteral("1バイト保留中"),
         QString()},
        QStringLiteral("保留 %1 1バイト 1バイト保留中").arg(peer));
    row("echo dropped", ExchangeKind::EchoDropped, {}, 4096,
        {QStringLiteral("破棄"), peer, QStringLiteral("4096"),
         QStringLiteral("送信できなかった応答データ4096バイトを破棄しました"), QString()},
        QStringLiteral("破棄 %1 4096バイト 送信できなかった応答データ4096バイトを破棄しました")
            .arg(peer));
}

void tst_ExchangeHistory::rows()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, count);

    ExchangeHistory history;
    ExchangeHistoryModel model(history);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    if (bytes.isEmpty())
        history.appendEvent(ExchangeKind(kind), t0, peer, count);
    else
        history.appendBlock(ExchangeKind(kind), t0, peer, bytes);
    // Nothing shows until the window catches up.
    QCOMPARE(model.rowCount(), 0);
    model.catchUp();
    QCOMPARE(model.rowCount(), 1);
    QTEST(RowTexts(model, 0), "texts");
    QTEST(model.index(0, 3).data(Qt::AccessibleDescriptionRole).toString(), "speech");
    // The block is kept as received, not copied.
    if (!bytes.isEmpty())
        QCOMPARE(history.at(0).bytes.constData(), bytes.constData());
}

void tst_ExchangeHistory::bound_data()
{
    QTest::addColumn<int>("maxRows");
    QTest::addColumn<int>("maxBytes");
    QTest::addColumn<QList<int>>("blockSizes"); // 0: an event; -1: the window catches up
    QTest::addColumn<int>("dropped");

    QTest::newRow("within both") << 5 << 100 << QList<int> {3, 0, 4, -1, 5} << 0;
    QTest::newRow("rows: the oldest go") << 3 << 1000 << QList<int> {3, 0, 4, 5, 6} << 2;
    QTest::newRow("bytes: the oldest go") << 100 << 10 << QList<int> {4, 4, 0, 4} << 1;
    QTest::newRow("a block above the limit stays alone") << 100 << 10 << QList<int> {4, 0, 30} << 2;
    QTest::newRow("more went than was shown")
        << 3 << 1000 << QList<int> {1, 2, -1, 3, 4, 5, 6, 7, -1, 8} << 5;
    QTest::newRow("rows went between catch-ups")
        << 4 << 1000 << QList<int> {1, 2, 3, 4, -1, 5, 6, -1, 7, 0, -1, 8} << 5;
}

void tst_ExchangeHistory::bound()
{
    QFETCH(int, maxRows);
    QFETCH(int, maxBytes);
    QFETCH(QList<int>, blockSizes);

    ExchangeHistory history(maxRows, maxBytes);
    ExchangeHistoryModel model(history);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    int next = 0;
    for (const int size : blockSizes) {
        if (size < 0) {
            model.catchUp();
            QCOMPARE(Shown(model), Oracle(history));
        } else if (size == 0) {
            history.appendEvent(ExchangeKind::Connected, t0, peer);
        } else {
            history.appendBlock(ExchangeKind::Received, t0, peer, QByteArray(size, char(next++)));
        }
    }
    model.catchUp();
    QTEST(int(history.dropped()), "dropped");
    QVERIFY(history.size() <= maxRows);
    QVERIFY(history.size() == 1 || history.blockBytes() <= maxBytes);
    QCOMPARE(Shown(model), Oracle(history));
    // The newest row is the last one appended.
    const int last = blockSizes.last();
    QCOMPARE(model.index(model.rowCount() - 1, 3).data().toString(),
             last > 0 ? QString::number(last) : QString());

    // A new start empties the table.
    history.clear();
    model.catchUp();
    QCOMPARE(model.rowCount(), 0);
}

void tst_ExchangeHistory::filter_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("direction");
    QTest::addColumn<QStringList>("shown"); // the length column of the rows shown

    using D = ExchangeFilterModel::Direction;
    const QStringList all {QString(),           QStringLiteral("9"),  QStringLiteral("9"),
                           QStringLiteral("1"), QStringLiteral("10"), QString()};
    QTest::newRow("everything") << QString() << int(D::All) << all;
    QTest::newRow("blanks only: everything") << QStringLiteral("  ") << int(D::All) << all;
    QTest::newRow("received") << QString() << int(D::Received)
                              << QStringList {QStringLiteral("9"), QStringLiteral("1"),
                                              QStringLiteral("10")};
    QTest::newRow("sent") << QString() << int(D::Sent) << QStringList {QStringLiteral("9")};
    QTest::newRow("text") << QStringLiteral("STATUS") << int(D::All)
                          << QStringList {QStringLiteral("9"), QStringLiteral("9")};
    QTest::newRow("text is exact") << QStringLiteral("status") << int(D::All) << QStringList {};
    QTest::newRow("hex with blanks") << QStringLiteral("0D 0A") << int(D::All)
                                     << QStringList {QStringLiteral("9"), QStringLiteral("9")};
    QTest::newRow("hex, lower case, and one direction")
        << QStringLiteral("ff00") << int(D::Received) << QStringList {QStringLiteral("10")};
    QTest::newRow("hex digits that are also text")
        << QStringLiteral("AB") << int(D::All) << QStringList {QStringLiteral("10")};
    QTest::newRow("odd digits are text only")
        << QStringLiteral("F") << int(D::All) << QStringList {};
    QTest::newRow("Japanese text as UTF-8")
        << QStringLiteral("応答") << int(D::All) << QStringList {QStringLiteral("10")};
}

void tst_ExchangeHistory::filter()
{
    QFETCH(QString, pattern);
    QFETCH(int, direction);

    ExchangeHistory history;
    history.appendEvent(ExchangeKind::Connected, t0, peer);
    history.appendBlock(ExchangeKind::Received, t0, peer, "STATUS?\r\n");
    history.appendBlock(ExchangeKind::Sent, t0, peer, "STATUS?\r\n");
    history.appendEvent(ExchangeKind::ByteHeld, t0, peer, 1);
    history.appendBlock(ExchangeKind::Received, t0, peer,
                        QByteArray("\xFF\x00"
                                   "AB",
                                   4)
                            + QByteArray("応答"));
    history.appendEvent(ExchangeKind::Disconnected, t0, peer);
    ExchangeHistoryModel model(history);
    ExchangeFilterModel filtered;
    filtered.setSourceModel(&model);
    QAbstractItemModelTester tester(&filtered,
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    filtered.setPattern(pattern);
    filtered.setDirection(ExchangeFilterModel::Direction(direction));
    QStringList shown;
    for (int row = 0; row < filtered.rowCount(); ++row)
        shown += filtered.index(row, ExchangeHistoryModel::LengthColumn).data().toString();
    QTEST(shown, "shown");
    // Rows that arrive later are filtered as they come.
    history.appendBlock(ExchangeKind::Sent, t0, peer, "STATUS?\r\n" + QByteArray("応答"));
    model.catchUp();
    const QString last = filtered.rowCount() > 0
        ? filtered.index(filtered.rowCount() - 1, ExchangeHistoryModel::LengthColumn)
              .data()
              .toString()
        : QString();
    const bool sentShown = direction != int(ExchangeFilterModel::Direction::Received)
        && (pattern.trimmed().isEmpty() || pattern == QLatin1String("STATUS")
            || pattern == QLatin1String("0D 0A") || pattern == QStringLiteral("応答"));
    QCOMPARE(last == QLatin1String("15"), sentShown);
}

void tst_ExchangeHistory::textOfEveryByte_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name");
    static const char *const controls[]
        = {"NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
           "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
           "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
    for (int value = 0; value < 256; ++value) {
        const bool printable = value >= 0x20 && value <= 0x7E;
        QString name;
        if (value < 0x20)
            name = QLatin1String(controls[value]);
        else if (value == 0x7F)
            name = QStringLiteral("DEL");
        else if (value >= 0x80)
            name = QStringLiteral("ASCII外");
        QTest::addRow("0x%02X", value)
            << value << (printable ? QString(QChar(value)) : QStringLiteral(".")) << name;
    }
}

void tst_ExchangeHistory::textOfEveryByte()
{
    QFETCH(int, value);
    QFETCH(QString, text);
    QFETCH(QString, name);

    const QByteArray bytes(1, char(value));
    QCOMPARE(ExchangeTexts::HeadText(bytes, 16), text);
    // The detail view shows the same character, and its tooltip names what is not printable.
    HexDumpModel dump;
    dump.setBytes(QByteArray(20, 'x') + bytes);
    QCOMPARE(dump.index(1, 16 + 4).data().toString(), text);
    QCOMPARE(dump.index(1, 4).data().toString(),
             QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper());
    const QString tip = dump.index(1, 16 + 4).data(Qt::ToolTipRole).toString();
    QVERIFY2(tip.startsWith(QStringLiteral("オフセット：0x00000014 (20)\n")), qPrintable(tip));
    QCOMPARE(ControlCharacterName(quint8(value)).section(QStringLiteral("（"), 0, 0), name);
    if (!name.isEmpty())
        QVERIFY2(tip.endsWith(QStringLiteral("制御文字：") + ControlCharacterName(quint8(value))),
                 qPrintable(tip));
    else
        QVERIFY2(tip.endsWith(QStringLiteral("「%1」").arg(text)), qPrintable(tip));
}

void tst_ExchangeHistory::savedLikeTheCaptureFile_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QByteArray>("sent"); // empty: not answered
    QTest::addColumn<QString>("address");

    QByteArray every(256, Qt::Uninitialized);
    for (int value = 0; value < 256; ++value)
        every[value] = char(value);
    QTest::newRow("echo") << QByteArray("STATUS?\r\n") << QByteArray("STATUS?\r\n")
                          << QStringLiteral("127.0.0.1");
    QTest::newRow("reply, IPv6 peer")
        << QByteArray("AB") << QByteArray("OK\r\n") << QStringLiteral("::1");
    QTest::newRow("not answered, every byte value")
        << every << QByteArray() << QStringLiteral("127.0.0.1");
    QTest::newRow("longer than the grid, a short last line")
        << QByteArray(3003, 'z') << QByteArray(3003, 'z') << QStringLiteral("127.0.0.2");
}

void tst_ExchangeHistory::savedLikeTheCaptureFile()
{
    QFETCH(QByteArray, received);
    QFETCH(QByteArray, sent);
    QFETCH(QString, address);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    InitLogging(folder.path());
    const QString who = FormatPeer(address, 50123);
    ExchangeHistory history;
    history.appendEvent(ExchangeKind::Connected, t0 - 5, who);
    // Two exchanges, the second in a later second, each as the receive path notes it.
    for (const qint64 at : {t0, t0 + 1456}) {
        const qint64 sentAt = sent.isEmpty() ? 0 : at + 1;
        CaptureExchange(1, received, who, at, sent, sentAt);
        history.appendBlock(ExchangeKind::Received, at, who, received);
        if (sentAt != 0)
            history.appendBlock(ExchangeKind::Sent, sentAt, who, sent);
    }
    history.appendEvent(ExchangeKind::Disconnected, t0 + 2000, who);
    QList<quint64> serials;
    for (quint64 serial = history.firstSerial(); serial < history.endSerial(); ++serial)
        serials += serial;

    QFile capture(CaptureFilePath(1));
    QVERIFY(capture.open(QIODevice::ReadOnly));
    QCOMPARE(ExchangeCaptureText(history, serials, false), capture.readAll());
    // Copied rows keep the events as lines of their own between the blocks.
    const QByteArray copied = ExchangeCaptureText(history, serials, true);
    QVERIFY(copied.startsWith((ExchangeTexts::Time(t0 - 5).left(17) + QLatin1Char('.')).toUtf8()));
    QVERIFY(copied.contains(
        (QStringLiteral(" 接続 ") + who + QStringLiteral(" 接続しました\r\n")).toUtf8()));
    QVERIFY(copied.endsWith(
        (QStringLiteral(" 切断 ") + who + QStringLiteral(" 切断しました\r\n")).toUtf8()));
}

QTEST_GUILESS_MAIN(tst_ExchangeHistory)
#include "tst_exchangehistory.moc"
