#include "support/Controls.h"
#include "support/ListeningWindow.h"
#include "support/LoopbackClient.h"

#include "forms/frmMain.h"
#include "forms/ui/HexGrid.h"
#include "lib/HexGridModel.h"
#include "platform/SocketControl.h"

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
    std::unique_ptr<ListeningWindow> m_window;
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
    m_window = std::make_unique<ListeningWindow>();
    QVERIFY(m_window->isValid());
    QVERIFY(m_window->startListening());
    QVERIFY(m_window->boxes.boxes.isEmpty());
    m_form = &m_window->form;
    m_port = m_window->port;
}

void DualStackTest::cleanup()
{
    m_window.reset();
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
        m_window->folder.logMessages(),
        QStringList({QStringLiteral("5バイトのデータ受信"), QStringLiteral("5バイトの応答送信")}));
    const HexGridModel &received = Ctl<HexGrid>(*m_form, "fgrdRecvData")->hexModel();
    QTRY_COMPARE(received.bytes(), block);
    QCOMPARE(received.cellText(0, 1), QStringLiteral("FF"));
    QCOMPARE(Ctl<HexGrid>(*m_form, "fgrdSendData")->hexModel().bytes(), block);
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
    QTRY_COMPARE(Ctl<HexGrid>(*m_form, "fgrdRecvData")->hexModel().bytes(), QByteArray("two!"));
}

QTEST_MAIN(DualStackTest)
#include "tst_dualstack.moc"
