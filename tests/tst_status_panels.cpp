#include "support/Controls.h"
#include "support/EchoLog.h"
#include "support/EchoStream.h"
#include "support/EventWait.h"
#include "support/ListeningWindow.h"
#include "support/LoopbackClient.h"
#include "support/ReceiverSettings.h"

#include "forms/StatusTexts.h"
#include "forms/frmMain.h"
#include "forms/ui/StatusPanel.h"
#include "platform/SocketControl.h"

#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTcpServer>
#include <QtTest>

// The status bar tells the listener, the peer and the counts; the receive grid tells how much of
// a long block it shows.
class StatusPanelsTest : public QObject
{
    Q_OBJECT

private slots:
    void texts_data();
    void texts();
    void panelsFollowTheConnection();
    void countsAgreeWithTheLog();

private:
    static QString panel(const frmMain &form, const char *name)
    {
        return Ctl<StatusPanel>(form, name)->fullText();
    }
};

void StatusPanelsTest::texts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("not listening") << StatusTexts::Listening(0) << QStringLiteral("停止中");
    QTest::newRow("listening") << StatusTexts::Listening(5000) << QStringLiteral("待受中 5000");
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
    QTest::newRow("block that fits") << StatusTexts::ShownPart(2048) << QString();
    QTest::newRow("block cut") << StatusTexts::ShownPart(3000)
                               << QStringLiteral("最新 3,000 バイト中 2,048 バイトを表示");
}

void StatusPanelsTest::texts()
{
    QFETCH(QString, text);
    QTEST(text, "expected");
}

void StatusPanelsTest::panelsFollowTheConnection()
{
    ListeningWindow window;
    QVERIFY(window.isValid());
    frmMain &form = window.form;
    QCOMPARE(panel(form, "sbListening"), QStringLiteral("停止中"));
    QCOMPARE(panel(form, "sbConnection"), QStringLiteral("未接続"));

    // Port 0: the panel tells the port the system chose.
    window.folder.writeSettings(ReceiverSettings(0));
    form.ReadSetting(window.folder.settingsFile());
    QVERIFY(window.startListening());
    const quint16 port = Socket(form, 0)->listeningPort();
    QVERIFY(port != 0);
    QCOMPARE(panel(form, "sbListening"), StatusTexts::Listening(port));
    QCOMPARE(panel(form, "sbReceived"), QStringLiteral("受信 0件 0バイト"));

    LoopbackClient older;
    QVERIFY(older.connectTo(port));
    QTRY_COMPARE(panel(form, "sbConnection"),
                 QStringLiteral("接続中 127.0.0.1:%1").arg(older.socket().localPort()));
    older.send(QByteArray(3000, 'a'));
    QVERIFY(older.waitForReceived(3000));
    QTRY_COMPARE(panel(form, "sbReceived"), QStringLiteral("受信 1件 3,000バイト"));
    QCOMPARE(panel(form, "sbSent"), QStringLiteral("送信 1件 3,000バイト"));
    QCOMPARE(Ctl<QLabel>(form, "lblRecvShown")->text(),
             QStringLiteral("最新 3,000 バイト中 2,048 バイトを表示"));
    older.send(QByteArray(2048, 'b'));
    QVERIFY(older.waitForReceived(5048));
    QTRY_COMPARE(panel(form, "sbReceived"), QStringLiteral("受信 2件 5,048バイト"));
    QCOMPARE(Ctl<QLabel>(form, "lblRecvShown")->text(), QString());

    // A newer peer replaces the older one on the panel, over IPv6 where the machine has it.
    QTcpServer probe;
    const bool ipv6 = probe.listen(QHostAddress::LocalHostIPv6, 0);
    probe.close();
    LoopbackClient newer;
    QVERIFY(newer.connectTo(port, ipv6 ? QStringLiteral("::1") : QStringLiteral("127.0.0.1")));
    QVERIFY(older.waitForDisconnected());
    const QString host = ipv6 ? QStringLiteral("[::1]") : QStringLiteral("127.0.0.1");
    QTRY_COMPARE(panel(form, "sbConnection"),
                 QStringLiteral("接続中 %1:%2").arg(host).arg(newer.socket().localPort()));
    // Every typical text fits its panel whole, and the date and time still fit beside them.
    for (const char *name : {"sbListening", "sbConnection", "sbReceived", "sbSent"})
        QCOMPARE(Ctl<StatusPanel>(form, name)->text(), panel(form, name));
    const QWidget *time = Ctl<QLabel>(form, "sbStatusBarTime");
    QVERIFY(time->geometry().right() < Ctl<QStatusBar>(form, "sbStatusBar")->width());
    QVERIFY(time->width() >= time->minimumSizeHint().width());

    newer.socket().disconnectFromHost();
    QTRY_COMPARE(panel(form, "sbConnection"), QStringLiteral("未接続"));

    // Stopping and starting again counts afresh; the port is the same one.
    Ctl<QPushButton>(form, "cmdRecvData")->click();
    QCOMPARE(panel(form, "sbListening"), QStringLiteral("停止中"));
    QCOMPARE(panel(form, "sbReceived"), QStringLiteral("受信 2件 5,048バイト"));
    Ctl<QPushButton>(form, "cmdRecvData")->click();
    QCOMPARE(panel(form, "sbReceived"), QStringLiteral("受信 0件 0バイト"));
    QCOMPARE(panel(form, "sbSent"), QStringLiteral("送信 0件 0バイト"));
}

void StatusPanelsTest::countsAgreeWithTheLog()
{
    ListeningWindow window;
    QVERIFY(window.isValid());
    QVERIFY(window.startListening());
    constexpr qint64 total = 2 * 1024 * 1024;
    EchoStream stream(9);
    QVERIFY(stream.connectTo(window.port));
    stream.setTarget(total);
    QVERIFY(WaitUntil([&] { return stream.echoed() >= total || !stream.intact(); }, 60000));
    QVERIFY(stream.intact());

    const QStringList messages = window.folder.logMessages();
    QCOMPARE(LoggedEchoBytes(messages), total);
    const qint64 blocks = messages.filter(QStringLiteral("バイトのデータ受信")).size();
    QTRY_COMPARE(panel(window.form, "sbReceived"), StatusTexts::Received(blocks, total));
    QCOMPARE(panel(window.form, "sbSent"), StatusTexts::Sent(blocks, total));
}

QTEST_MAIN(StatusPanelsTest)
#include "tst_status_panels.moc"
