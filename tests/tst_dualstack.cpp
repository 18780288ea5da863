#include "support/LoopbackClient.h"
#include "support/LoopbackPorts.h"
#include "support/MessageBoxRecorder.h"
#include "support/ProgramFolderFixture.h"
#include "support/ReceiverSettings.h"

#include "forms/frmMain.h"
#include "lib/HexGridModel.h"
#include "platform/core/SocketControl.h"
#include "platform/ui/HexGrid.h"

#include <QPushButton>
#include <QTcpServer>
#include <QtTest>

namespace {
const QString ipv4Loopback = QStringLiteral("127.0.0.1");
const QString ipv6Loopback = QStringLiteral("::1");

bool machineHasIpv6Loopback()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHostIPv6, 0);
}
} // namespace

// The listener takes IPv4 and IPv6 peers on one port; a real ::1 client goes through the window.
class DualStackTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void echoesAnIpv6Client();
    void newestPeerWinsAcrossFamilies_data();
    void newestPeerWinsAcrossFamilies();

private:
    QStringList messages() const { return m_folder->logMessages(); }

    std::unique_ptr<ProgramFolderFixture> m_folder;
    std::unique_ptr<MessageBoxRecorder> m_boxes;
    frmMain *m_form = nullptr;
    quint16 m_port = 0;
};

void DualStackTest::initTestCase()
{
    if (!machineHasIpv6Loopback())
        QSKIP("this machine has no IPv6 loopback (::1)");
}

void DualStackTest::init()
{
    m_folder = std::make_unique<ProgramFolderFixture>();
    QVERIFY(m_folder->isValid());
    m_boxes = std::make_unique<MessageBoxRecorder>();
    m_port = FreeLoopbackPort();
    m_folder->writeSettings(ReceiverSettings(m_port));
    m_form = &MainForm();
    m_form->ReadSetting(m_folder->settingsFile());
    m_form->Show();
    m_form->cmdRecvData->click();
    QCOMPARE(m_form->wscRecv.at(0)->state(), int(SocketControl::sckListening));
    QVERIFY(m_boxes->boxes.isEmpty());
}

void DualStackTest::cleanup()
{
    UnloadMainForm();
    m_form = nullptr;
    m_boxes.reset();
    m_folder.reset();
}

void DualStackTest::echoesAnIpv6Client()
{
    LoopbackClient client;
    QVERIFY2(client.connectTo(m_port, ipv6Loopback), "the listener refused an IPv6 peer");
    QCOMPARE(client.socket().peerAddress(), QHostAddress(QHostAddress::LocalHostIPv6));
    const QByteArray block("\x00\xFF"
                           "ABC",
                           5);
    client.send(block);
    QVERIFY(client.waitForReceived(block.size()));
    QCOMPARE(client.received, block);
    QCOMPARE(
        messages(),
        QStringList({QStringLiteral("5バイトのデータ受信"), QStringLiteral("5バイトの応答送信")}));
    const HexGridModel &received = m_form->fgrdRecvData->hexModel();
    QCOMPARE(received.bytes(), block);
    QCOMPARE(received.cellText(0, 1), QStringLiteral("FF"));
    QCOMPARE(m_form->fgrdSendData->hexModel().bytes(), block);
}

void DualStackTest::newestPeerWinsAcrossFamilies_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");

    QTest::newRow("IPv4, then IPv6") << ipv4Loopback << ipv6Loopback;
    QTest::newRow("IPv6, then IPv4") << ipv6Loopback << ipv4Loopback;
}

void DualStackTest::newestPeerWinsAcrossFamilies()
{
    QFETCH(QString, first);
    QFETCH(QString, second);

    LoopbackClient older;
    QVERIFY(older.connectTo(m_port, first));
    older.send("one");
    QVERIFY(older.waitForReceived(3));

    LoopbackClient newer;
    QVERIFY(newer.connectTo(m_port, second));
    QVERIFY2(older.waitForDisconnected(), "the older peer was not dropped");
    newer.send("two!");
    QVERIFY(newer.waitForReceived(4));
    QCOMPARE(newer.received, QByteArray("two!"));
    QCOMPARE(m_form->fgrdRecvData->hexModel().bytes(), QByteArray("two!"));
}

QTEST_MAIN(DualStackTest)
#include "tst_dualstack.moc"
