#include "lib/StatusTexts.h"

#include <QtTest>

// What the terminal says as a peer goes and as the run ends; the panels' texts are the window's
// status panel test's.
class StatusTextsTest : public QObject
{
    Q_OBJECT

private slots:
    void terminalTexts_data();
    void terminalTexts();
};

void StatusTextsTest::terminalTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("a peer gone") << StatusTexts::Disconnected(QStringLiteral("::1"), 50123)
                                 << QStringLiteral("切断 [::1]:50123");
    QTest::newRow("a peer replaced") << StatusTexts::Replaced(QStringLiteral("127.0.0.1"), 50123)
                                     << QStringLiteral("切断 127.0.0.1:50123 (新しい接続が優先)");
    QTest::newRow("the end") << StatusTexts::Ended(2, 1000, 1, 500)
                             << QStringLiteral("終了 受信 2件 1,000バイト 送信 1件 500バイト");
}

void StatusTextsTest::terminalTexts()
{
    QFETCH(QString, text);
    QTEST(text, "expected");
}

QTEST_GUILESS_MAIN(StatusTextsTest)
#include "tst_statustexts.moc"
