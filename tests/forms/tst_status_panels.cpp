#include "support/Controls.h"
#include "support/ListeningWindow.h"
#include "support/LoopbackClient.h"
#include "support/SettingsFileText.h"

#include "forms/Messages.h"
#include "forms/frmMain.h"
#include "forms/ui/StatusPanel.h"
#include "lib/StatusTexts.h"
#include "platform/SocketControl.h"

#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTcpServer>
#include <QtTest>

// The status bar tells the listener, the peer and the counts; the receive grid tells how much of
// a long block it shows.
class tst_StatusPanels : public QObject
{
    Q_OBJECT

private slots:
    void texts_data();
    void texts();
    void groupedCounts_data();
    void groupedCounts();
    void tooltipShowsWhatIsCut_data();
    void tooltipShowsWhatIsCut();
    void panelsFollowTheConnection();

private:
    // What a screen reader hears of a panel or a note: its name, then its whole text.
    static QString panel(const frmMain &form, const char *name)
    {
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(Ctl<QLabel>(form, name));
        return face->text(QAccessible::Name) + QStringLiteral(": ")
            + face->text(QAccessible::Description);
    }
    static QString heard(const char *name, const QString &text)
    {
        static const QHash<QString, QString> names {
            {QStringLiteral("sbListening"), QStringLiteral("待受")},
            {QStringLiteral("sbConnection"), QStringLiteral("接続")},
            {QStringLiteral("sbReceived"), QStringLiteral("受信件数")},
            {QStringLiteral("sbSent"), QStringLiteral("送信件数")},
            {QStringLiteral("lblRecvShown"), QStringLiteral("受信データの表示範囲")},
            {QStringLiteral("lblSendShown"), QStringLiteral("送信データの表示範囲")}};
        return names.value(QLatin1String(name)) + QStringLiteral(": ") + text;
    }
};

void tst_StatusPanels::texts_data()
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
    // Three significant digits up to the last: 99.95 KB and above round to 100, not 100.0.
    QTest::newRow("short, 99.9 KB")
        << StatusTexts::ReceivedShort(3, 102338) << QStringLiteral("受信 3件 99.9 KB");
    QTest::newRow("short, 99.95 KB")
        << StatusTexts::ReceivedShort(3, 102349) << QStringLiteral("受信 3件 100 KB");
    QTest::newRow("short, 99.99 KB")
        << StatusTexts::ReceivedShort(3, 102390) << QStringLiteral("受信 3件 100 KB");
    QTest::newRow("short, MB") << StatusTexts::ReceivedShort(43, 10000058)
                               << QStringLiteral("受信 43件 9.54 MB");
    QTest::newRow("short, rounds up into the next unit")
        << StatusTexts::SentShort(1, 1048575) << QStringLiteral("送信 1件 1.00 MB");
    QTest::newRow("short, below one of the next unit")
        << StatusTexts::SentShort(1, 1023 * 1024) << QStringLiteral("送信 1件 0.999 MB");
    QTest::newRow("short, 999 GB")
        << StatusTexts::SentShort(999999, 999LL << 30) << QStringLiteral("送信 999,999件 999 GB");
    QTest::newRow("block that fits") << StatusTexts::ShownPart(2048) << QString();
    QTest::newRow("block cut") << StatusTexts::ShownPart(3000)
                               << QStringLiteral("3,000 バイト中 先頭 2,048 バイトを表示");
}

void tst_StatusPanels::texts()
{
    QFETCH(QString, text);
    QTEST(text, "expected");
}

void tst_StatusPanels::groupedCounts_data()
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

void tst_StatusPanels::groupedCounts()
{
    QFETCH(qint64, count);
    QFETCH(QString, grouped);
    QCOMPARE(StatusTexts::Received(count, count),
             QStringLiteral("受信 %1件 %1バイト").arg(grouped));
}

void tst_StatusPanels::tooltipShowsWhatIsCut_data()
{
    QTest::addColumn<QString>("whole");
    QTest::addColumn<QString>("shortForm");
    QTest::addColumn<QString>("toolTip");
    const QString fits = StatusTexts::Connection(QStringLiteral("127.0.0.1"), 50123);
    const QString cut
        = StatusTexts::Connection(QStringLiteral("fd12:3456:789a:bcde:1234:5678:9abc:def0"), 50123);
    const QString exact = StatusTexts::Received(43, 10000058);
    QTest::newRow("fits: none") << fits << QString() << QString();
    QTest::newRow("cut: the whole text") << cut << QString() << cut;
    QTest::newRow("count with a unit: the exact figure")
        << exact << StatusTexts::ReceivedShort(43, 10000058) << exact;
}

void tst_StatusPanels::tooltipShowsWhatIsCut()
{
    QFETCH(QString, whole);
    QFETCH(QString, shortForm);
    ListeningWindow window;
    QVERIFY(window.isValid());
    auto *shown = Ctl<StatusPanel>(window.form, "sbConnection");
    shown->setFullText(whole, shortForm);
    QTEST(shown->toolTip(), "toolTip");
    // What the panel shows is the short form or the start of the whole text, never other words.
    const QString start
        = shown->text().endsWith(QChar(0x2026)) ? shown->text().chopped(1) : shown->text();
    QVERIFY((shortForm.isEmpty() ? whole : shortForm).startsWith(start));
}

void tst_StatusPanels::panelsFollowTheConnection()
{
    ListeningWindow window;
    QVERIFY(window.isValid());
    frmMain &form = window.form;
    QCOMPARE(panel(form, "sbListening"),
             heard("sbListening", QStringLiteral("停止中 %1").arg(window.port)));
    QCOMPARE(panel(form, "sbConnection"), heard("sbConnection", QStringLiteral("未接続")));

    // Port 0 would listen where no peer can know: refused as an unusable port.
    window.folder.writeSettings(SettingsFileText(0));
    form.ReadSetting(window.folder.settingsFile());
    QVERIFY(!window.startListening());
    QCOMPARE(window.boxes.texts(), QStringList {Messages::portUnusable});
    QCOMPARE(Ctl<QPushButton>(form, "cmdRecvData")->text(), QStringLiteral("受信待ち"));
    QCOMPARE(panel(form, "sbListening"), heard("sbListening", QStringLiteral("停止中")));
    window.folder.writeSettings(SettingsFileText(window.port));
    form.ReadSetting(window.folder.settingsFile());
    QVERIFY(window.startListening());
    const quint16 port = window.port;
    QCOMPARE(panel(form, "sbListening"), heard("sbListening", StatusTexts::Listening(port)));
    QCOMPARE(panel(form, "sbReceived"), heard("sbReceived", QStringLiteral("受信 0件 0バイト")));

    LoopbackClient older;
    QVERIFY(older.connectTo(port));
    QTRY_COMPARE(panel(form, "sbConnection"),
                 heard("sbConnection",
                       QStringLiteral("接続中 127.0.0.1:%1").arg(older.socket().localPort())));
    older.send(QByteArray(3000, 'a'));
    QVERIFY(older.waitForReceived(3000));
    QTRY_COMPARE(panel(form, "sbReceived"),
                 heard("sbReceived", QStringLiteral("受信 1件 3,000バイト")));
    QCOMPARE(panel(form, "sbSent"), heard("sbSent", QStringLiteral("送信 1件 3,000バイト")));
    // Both grids say which bytes of the long block they show.
    const QString cut = QStringLiteral("3,000 バイト中 先頭 2,048 バイトを表示");
    QCOMPARE(Ctl<QLabel>(form, "lblRecvShown")->text(), cut);
    QCOMPARE(panel(form, "lblRecvShown"), heard("lblRecvShown", cut));
    QCOMPARE(panel(form, "lblSendShown"), heard("lblSendShown", cut));
    older.send(QByteArray(2048, 'b'));
    QVERIFY(older.waitForReceived(5048));
    QTRY_COMPARE(panel(form, "sbReceived"),
                 heard("sbReceived", QStringLiteral("受信 2件 5,048バイト")));
    QCOMPARE(Ctl<QLabel>(form, "lblRecvShown")->text(), QString());
    QCOMPARE(Ctl<QLabel>(form, "lblSendShown")->text(), QString());
    // Screen readers no longer hear the cut note either.
    QCOMPARE(panel(form, "lblRecvShown"), heard("lblRecvShown", QString()));
    QCOMPARE(panel(form, "lblSendShown"), heard("lblSendShown", QString()));
    // A lone byte held back is told in the panel's whole text; the panel keeps its counts.
    older.send("c");
    const QString held = QStringLiteral("受信 2件 5,048バイト（1バイト保留中）");
    QTRY_COMPARE(panel(form, "sbReceived"), heard("sbReceived", held));
    QCOMPARE(Ctl<StatusPanel>(form, "sbReceived")->toolTip(), held);

    // A newer peer replaces the older one on the panel, over IPv6 where the machine has it.
    QTcpServer probe;
    const bool ipv6 = probe.listen(QHostAddress::LocalHostIPv6, 0);
    probe.close();
    LoopbackClient newer;
    QVERIFY(newer.connectTo(port, ipv6 ? QStringLiteral("::1") : QStringLiteral("127.0.0.1")));
    QVERIFY(older.waitForDisconnected());
    const QString host = ipv6 ? QStringLiteral("[::1]") : QStringLiteral("127.0.0.1");
    QTRY_COMPARE(panel(form, "sbConnection"),
                 heard("sbConnection",
                       QStringLiteral("接続中 %1:%2").arg(host).arg(newer.socket().localPort())));
    // Every typical text fits its panel whole, and the date and time still fit beside them.
    for (const char *name : {"sbListening", "sbConnection", "sbReceived", "sbSent"})
        QCOMPARE(heard(name, Ctl<StatusPanel>(form, name)->text()), panel(form, name));
    const QWidget *time = Ctl<QLabel>(form, "sbStatusBarTime");
    QVERIFY(time->geometry().right() < Ctl<QStatusBar>(form, "sbStatusBar")->width());
    QVERIFY(time->width() >= time->minimumSizeHint().width());

    newer.socket().disconnectFromHost();
    QTRY_COMPARE(panel(form, "sbConnection"), heard("sbConnection", QStringLiteral("未接続")));

    // Stopping and starting again counts afresh; the port is the same one.
    Ctl<QPushButton>(form, "cmdRecvData")->click();
    QCOMPARE(panel(form, "sbListening"),
             heard("sbListening", QStringLiteral("停止中 %1").arg(port)));
    // The held byte was the replaced peer's last block: nothing could follow it.
    QCOMPARE(panel(form, "sbReceived"),
             heard("sbReceived", QStringLiteral("受信 3件 5,049バイト")));
    Ctl<QPushButton>(form, "cmdRecvData")->click();
    QCOMPARE(panel(form, "sbReceived"), heard("sbReceived", QStringLiteral("受信 0件 0バイト")));
    QCOMPARE(panel(form, "sbSent"), heard("sbSent", QStringLiteral("送信 0件 0バイト")));
}

QTEST_MAIN(tst_StatusPanels)
#include "tst_status_panels.moc"
