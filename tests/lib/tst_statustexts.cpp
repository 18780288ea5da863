#include "lib/StatusTexts.h"

#include <QtTest>

// What the status panels, the grids' notes and the terminal say.
class StatusTextsTest : public QObject
{
    Q_OBJECT

private slots:
    void texts_data();
    void texts();
    void groupedCounts_data();
    void groupedCounts();
};

void StatusTextsTest::texts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("not listening") << StatusTexts::Listening(0, false) << QStringLiteral("停止中");
    QTest::newRow("stopped, the next port")
        << StatusTexts::Listening(5000, false) << QStringLiteral("停止中 5000");
    QTest::newRow("listening") << StatusTexts::Listening(5000) << QStringLiteral("待受中 5000");
    QTest::newRow("listening on one address")
        << StatusTexts::Listening(5000, true, QStringLiteral("127.0.0.1"))
        << QStringLiteral("待受中 127.0.0.1:5000");
    QTest::newRow("stopped, one IPv6 address")
        << StatusTexts::Listening(5000, false, QStringLiteral("::1"))
        << QStringLiteral("停止中 [::1]:5000");
    QTest::newRow("no peer") << StatusTexts::Connection({}, 0) << QStringLiteral("未接続");
    QTest::newRow("IPv4 peer") << StatusTexts::Connection(QStringLiteral("127.0.0.1"), 50123)
                               << QStringLiteral("接続中 127.0.0.1:50123");
    QTest::newRow("IPv6 peer") << StatusTexts::Connection(QStringLiteral("::1"), 50123)
                               << QStringLiteral("接続中 [::1]:50123");
    QTest::newRow("none received")
        << StatusTexts::Received(0, 0) << QStringLiteral("受信 0件 0バイト");
    QTest::newRow("thousands") << StatusTexts::Received(3, 6000)
                               << QStringLiteral("受信 3件 6,000バイト");
    QTest::newRow("millions") << StatusTexts::Sent(1234567, 1234567890)
                              << QStringLiteral("送信 1,234,567件 1,234,567,890バイト");
    // Shown in the panel: exact below 100,000 bytes, then three digits with their unit.
    QTest::newRow("short, exact") << StatusTexts::ReceivedShort(3, 99999)
                                  << QStringLiteral("受信 3件 99,999バイト");
    QTest::newRow("short, KB") << StatusTexts::ReceivedShort(3, 100000)
                               << QStringLiteral("受信 3件 97.7 KB");
    QTest::newRow("short, MB") << StatusTexts::ReceivedShort(43, 10000058)
                               << QStringLiteral("受信 43件 9.54 MB");
    QTest::newRow("short, rounds up into the next unit")
        << StatusTexts::SentShort(1, 1048575) << QStringLiteral("送信 1件 1.00 MB");
    QTest::newRow("short, below one of the next unit")
        << StatusTexts::SentShort(1, 1023 * 1024) << QStringLiteral("送信 1件 0.999 MB");
    QTest::newRow("short, 999 GB")
        << StatusTexts::SentShort(999999, 999LL << 30) << QStringLiteral("送信 999,999件 999 GB");
    QTest::newRow("a peer gone") << StatusTexts::Disconnected(QStringLiteral("::1"), 50123)
                                 << QStringLiteral("切断 [::1]:50123");
    QTest::newRow("a peer replaced") << StatusTexts::Replaced(QStringLiteral("127.0.0.1"), 50123)
                                     << QStringLiteral("切断 127.0.0.1:50123 (新しい接続が優先)");
    QTest::newRow("the end") << StatusTexts::Ended(2, 1000, 1, 500)
                             << QStringLiteral("終了 受信 2件 1,000バイト 送信 1件 500バイト");
    QTest::newRow("block that fits") << StatusTexts::ShownPart(2048) << QString();
    QTest::newRow("block cut") << StatusTexts::ShownPart(3000)
                               << QStringLiteral("3,000 バイト中 先頭 2,048 バイトを表示");
}

void StatusTextsTest::texts()
{
    QFETCH(QString, text);
    QTEST(text, "expected");
}

void StatusTextsTest::groupedCounts_data()
{
    QTest::addColumn<qint64>("count");
    QTest::addColumn<QString>("grouped");
    const QString digits = QStringLiteral("987654321987");
    for (int length = 1; length <= 12; ++length) {
        QString expected = digits.left(length);
        for (int at = length - 3; at > 0; at -= 3)
            expected.insert(at, QLatin1Char(','));
        QTest::addRow("%d digits", length) << digits.left(length).toLongLong() << expected;
    }
}

void StatusTextsTest::groupedCounts()
{
    QFETCH(qint64, count);
    QFETCH(QString, grouped);
    QCOMPARE(StatusTexts::Received(count, count),
             QStringLiteral("受信 %1件 %1バイト").arg(grouped));
}

QTEST_GUILESS_MAIN(StatusTextsTest)
#include "tst_statustexts.moc"
