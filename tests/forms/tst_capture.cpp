#include "support/Controls.h"
#include "support/ListeningWindow.h"
#include "support/LoopbackClient.h"

#include "forms/frmMain.h"
#include "lib/DataCapture.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QRadioButton>
#include <QRegularExpression>
#include <QtTest>

// The capture file through the real window: switched by its menu item, holding each block as
// received and as echoed, with the peer.
class CaptureTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void captureFollowsTheMenu();
    void failedWriteKeepsTheCheck();
    void logFolderThatDoesNotOpenShowsItsPath();
    void unansweredBlockHasNoSentRecord();

private:
    QByteArray capture() const;
    void exchange(const QByteArray &block);

    std::unique_ptr<ListeningWindow> m_window;
    std::unique_ptr<LoopbackClient> m_client;
};

void CaptureTest::init()
{
    m_window = std::make_unique<ListeningWindow>();
    QVERIFY(m_window->isValid());
    QVERIFY(m_window->startListening());
    m_client = std::make_unique<LoopbackClient>();
    QVERIFY(m_client->connectTo(m_window->port));
}

void CaptureTest::cleanup()
{
    m_client.reset();
    m_window.reset();
}

QByteArray CaptureTest::capture() const
{
    QFile file(m_window->folder.path() + QStringLiteral("/Log/Kiv_TcpRcvData.txt"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void CaptureTest::exchange(const QByteArray &block)
{
    m_client->received.clear();
    m_client->send(block);
    QVERIFY(m_client->waitForReceived(block.size()));
}

void CaptureTest::captureFollowsTheMenu()
{
    QAction *menu = Ctl<QAction>(m_window->form, "CaptureData");
    QVERIFY(!menu->isChecked());
    exchange("off");
    QVERIFY(
        !QFileInfo::exists(m_window->folder.path() + QStringLiteral("/Log/Kiv_TcpRcvData.txt")));

    QVERIFY(Ctl<QLabel>(m_window->form, "sbCapture")->isHidden());
    menu->trigger();
    QVERIFY(menu->isChecked());
    QVERIFY(ReadCaptureSetting(m_window->folder.settingsFile()));
    // The status bar says that capture is on.
    QVERIFY(!Ctl<QLabel>(m_window->form, "sbCapture")->isHidden());
    QCOMPARE(Ctl<QLabel>(m_window->form, "sbCapture")->text(), QStringLiteral("記録中"));
    exchange(QByteArray("Hello\x00\xFF", 7));
    const QString peer = QStringLiteral("127.0.0.1:%1").arg(m_client->socket().localPort());
    const QString stamp = QStringLiteral("\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d");
    const QString dump
        = QStringLiteral("00000000  48 65 6C 6C 6F 00 FF                              "
                         "|Hello..|\r\n00000007\r\n");
    const QRegularExpression both(
        QStringLiteral("^%1 受信 7バイト %2\r\n%3%1 送信 7バイト %2\r\n%3$")
            .arg(stamp, QRegularExpression::escape(peer), QRegularExpression::escape(dump)));
    QVERIFY2(both.match(QString::fromUtf8(capture())).hasMatch(), capture().constData());

    menu->trigger();
    QVERIFY(!menu->isChecked());
    QVERIFY(!ReadCaptureSetting(m_window->folder.settingsFile()));
    const QByteArray kept = capture();
    exchange("off again");
    QCOMPARE(capture(), kept);
}

void CaptureTest::failedWriteKeepsTheCheck()
{
    // A folder where the settings file was: it cannot be replaced.
    const QString settings = m_window->folder.settingsFile();
    QVERIFY(QFile::remove(settings));
    QVERIFY(QDir().mkdir(settings));
    QAction *menu = Ctl<QAction>(m_window->form, "CaptureData");
    menu->trigger();
    QVERIFY(!menu->isChecked());
    QCOMPARE(m_window->boxes.texts(),
             QStringList({QStringLiteral("設定ファイルの書き込みに失敗しました。")}));
    QCOMPARE(m_window->boxes.boxes.first().style, 16);
    QVERIFY(m_window->folder.logMessages().last().endsWith(QStringLiteral("(CaptureData_Click)")));
    exchange("still off");
    QVERIFY(capture().isEmpty());
}

void CaptureTest::logFolderThatDoesNotOpenShowsItsPath()
{
    // The headless platform has no file manager, as a bare desktop may not: the box names the
    // folder, and the log names that reason, not a missing folder.
    Ctl<QAction>(m_window->form, "OpenLogFolder")->trigger();
    const QString folder = m_window->folder.path() + QStringLiteral("/Log");
    QCOMPARE(m_window->boxes.texts(),
             QStringList({QStringLiteral("ログフォルダを開けませんでした。\r\n") + folder}));
    QCOMPARE(m_window->boxes.boxes.first().style, 48);
    QCOMPARE(
        m_window->folder.logMessages().last(),
        QStringLiteral("フォルダを開くアプリケーションが見つかりません。(OpenLogFolder_Click)"));
}

void CaptureTest::unansweredBlockHasNoSentRecord()
{
    Ctl<QAction>(m_window->form, "CaptureData")->trigger();
    exchange("echoed");
    Ctl<QRadioButton>(m_window->form, "optNothing")->setChecked(true);
    m_client->send("not answered");
    QTRY_COMPARE(capture().count(" 受信 "), 2);
    // The earlier echo is not recorded again for the block that had no answer.
    const QByteArray records = capture();
    QCOMPARE(records.count(" 送信 "), 1);
    QVERIFY2(records.endsWith("|not answered|\r\n0000000C\r\n"), records.constData());
}

QTEST_MAIN(CaptureTest)
#include "tst_capture.moc"
