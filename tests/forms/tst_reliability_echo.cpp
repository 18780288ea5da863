#include "support/Controls.h"
#include "support/EchoLog.h"
#include "support/EchoStream.h"
#include "support/EventWait.h"
#include "support/ListeningWindow.h"
#include "support/LoopbackClient.h"
#include "support/ProcessResources.h"

#include "forms/frmMain.h"
#include "forms/ui/FrameThrottle.h"
#include "forms/ui/HexGrid.h"
#include "lib/HexGridModel.h"
#include "platform/PeerConnection.h"
#include "platform/SocketControl.h"

#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

#include <sys/socket.h>

namespace {
QByteArray payload(int cycle)
{
    // At least two bytes: a lone byte waits for the next block by design.
    QByteArray bytes(2 + (cycle * 37) % 3000, Qt::Uninitialized);
    QRandomGenerator generator(quint32(cycle) + 1);
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

QByteArray patternBytes(qint64 size, quint32 seed = 1)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

const QRegularExpression dropLine(
    QStringLiteral("^送信できなかった応答データ(\\d+)バイトを破棄しました。\\(wscRecv_Close\\)$"));
} // namespace

// The real window in echo mode under sustained traffic and many short-lived peers.
class ReliabilityEchoTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void longStreamIsEchoedByteExact();
    void floodEndsOnTheNewestBlock();
    void replacedPeersLeakNothing();
    void replacedPeersThatNeverReadDoNotPileUp();
    void peerResetWithEchoQueuedLeavesOneDropLine();

private:
    std::unique_ptr<ListeningWindow> m_window;
    const ProgramFolderFixture *m_folder = nullptr;
    frmMain *m_form = nullptr;
    quint16 m_port = 0;
};

void ReliabilityEchoTest::init()
{
    m_window = std::make_unique<ListeningWindow>();
    QVERIFY(m_window->isValid());
    QVERIFY(m_window->startListening());
    m_folder = &m_window->folder;
    m_form = &m_window->form;
    m_port = m_window->port;
}

void ReliabilityEchoTest::cleanup()
{
    QVERIFY(m_window->boxes.boxes.isEmpty());
    m_window.reset();
}

void ReliabilityEchoTest::longStreamIsEchoedByteExact()
{
    constexpr qint64 total = 64 * 1024 * 1024;
    EchoStream stream(64);
    QVERIFY(stream.connectTo(m_port));
    stream.setTarget(total);
    QVERIFY2(WaitUntil([&] { return stream.echoed() >= total || !stream.intact(); }, 180000),
             qPrintable(QStringLiteral("%1 of %2 bytes echoed").arg(stream.echoed()).arg(total)));
    QVERIFY2(stream.intact(), qPrintable(QString::number(stream.firstMismatch())));

    // Once the peer stops sending, the tool closes its side: nothing more was on its way.
    ::shutdown(int(stream.socket().socketDescriptor()), SHUT_WR);
    QVERIFY(WaitUntil([&] { return stream.socket().state() == QAbstractSocket::UnconnectedState; },
                      10000));
    QCOMPARE(stream.echoed(), total);
    QVERIFY(stream.intact());

    // Every block was logged with its echo.
    const QStringList messages = m_folder->logMessages();
    qInfo("%lld blocks", qint64(messages.size() / 2));
    QVERIFY(!QFileInfo::exists(m_folder->logFile() + QStringLiteral(".1")));
    QCOMPARE(LoggedEchoBytes(messages), total);
}

void ReliabilityEchoTest::floodEndsOnTheNewestBlock()
{
    constexpr qint64 total = 4 * 1024 * 1024;
    EchoStream stream(5);
    stream.setWriteSize(100);
    QVERIFY(stream.connectTo(m_port));
    stream.setTarget(total);
    QVERIFY(WaitUntil([&] { return stream.echoed() >= total || !stream.intact(); }, 60000));
    QVERIFY(stream.intact());
    const QStringList messages = m_folder->logMessages();
    QCOMPARE(LoggedEchoBytes(messages), total);

    // The window caught up with the flood's last block (its first 2048 bytes), in both grids.
    const qint64 lastBlock = messages.last().section(QStringLiteral("バイト"), 0, 0).toLongLong();
    QByteArray shown;
    for (qint64 position = total - lastBlock; position < total && shown.size() < 2048; ++position)
        shown += stream.byteAt(position);
    const HexGridModel &received = Ctl<HexGrid>(*m_form, "fgrdRecvData")->hexModel();
    const HexGridModel &sent = Ctl<HexGrid>(*m_form, "fgrdSendData")->hexModel();
    QTRY_COMPARE(received.bytes(), shown);
    QCOMPARE(sent.bytes(), shown);

    // After a quiet spell, one block shows at once: no later block is needed to bring it out.
    QTest::qWait(2 * FrameThrottle::frameMilliseconds);
    stream.socket().write("quiet");
    QVERIFY(WaitUntil([&] { return stream.echoed() >= total + 5; }));
    QTRY_COMPARE_WITH_TIMEOUT(received.bytes(), QByteArray("quiet"), 1000);
    QCOMPARE(sent.bytes(), QByteArray("quiet"));
}

void ReliabilityEchoTest::replacedPeersLeakNothing()
{
    constexpr int cycles = 2000;
    constexpr int warmUp = 200;
    int descriptorsAfterWarmUp = 0;
    qint64 residentAfterWarmUp = 0;
    qint64 bytesSent = 0;

    std::unique_ptr<LoopbackClient> previous;
    QByteArray previousPayload;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        auto peer = std::make_unique<LoopbackClient>();
        peer->socket().connectToHost(QHostAddress(QHostAddress::LocalHost), m_port);
        QVERIFY(
            WaitUntil([&] { return peer->socket().state() == QAbstractSocket::ConnectedState; }));
        const QByteArray bytes = payload(cycle);
        peer->send(bytes);
        bytesSent += bytes.size();
        QVERIFY2(WaitUntil([&] { return peer->received.size() >= bytes.size(); }),
                 qPrintable(QStringLiteral("cycle %1").arg(cycle)));
        QCOMPARE(peer->received, bytes);

        // The newest peer wins: the one before it is closed, having had exactly its own echo.
        if (previous) {
            QVERIFY2(WaitUntil([&] {
                         return previous->socket().state() == QAbstractSocket::UnconnectedState;
                     }),
                     qPrintable(QStringLiteral("cycle %1").arg(cycle)));
            QCOMPARE(previous->received, previousPayload);
        }
        previous = std::move(peer);
        previousPayload = bytes;

        if (cycle + 1 == warmUp) {
            descriptorsAfterWarmUp = OpenDescriptorCount();
            residentAfterWarmUp = ResidentKiB();
        }
    }
    WaitUntil([] { return false; }, 100); // lets released sockets go
    const int descriptors = OpenDescriptorCount();
    const qint64 resident = ResidentKiB();
    qInfo("descriptors %d -> %d, resident %lld -> %lld KiB", descriptorsAfterWarmUp, descriptors,
          residentAfterWarmUp, resident);
    QVERIFY2(descriptors <= descriptorsAfterWarmUp + 2, qPrintable(QString::number(descriptors)));
    if (!AddressSanitizerActive())
        QVERIFY2(resident <= residentAfterWarmUp + 8 * 1024, qPrintable(QString::number(resident)));

    QCOMPARE(LoggedEchoBytes(m_folder->logMessages()), bytesSent);
    // Replaced peers do not pile up as sockets: the listener and the newest peer only.
    QCOMPARE(SocketCount(*m_form), std::size_t(2));
}

void ReliabilityEchoTest::replacedPeersThatNeverReadDoNotPileUp()
{
    // Echo bytes the window's sockets hold, for the current peer and for replaced ones alike.
    const auto heldBytes = [this] {
        qint64 bytes = 0;
        for (const PeerConnection *connection : m_form->findChildren<PeerConnection *>())
            bytes += connection->bytesToWrite() + connection->bytesAvailable();
        return bytes;
    };
    constexpr int peers = 8;
    qint64 mostHeld = 0;
    std::vector<std::unique_ptr<LoopbackClient>> clients;
    for (int peer = 0; peer < peers; ++peer) {
        auto client = std::make_unique<LoopbackClient>();
        QVERIFY(client->connectTo(m_port));
        client->setReading(false);
        // A small receive window, so that the echoes back up in the tool rather than in the
        // kernel, and more than the kernel's buffers and the tool's backlog hold together.
        client->socket().setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 64 * 1024);
        const char mark = char(peer + 1);
        client->socket().write(QByteArray(12 * 1024 * 1024, mark));
        // Until the tool reads this peer's bytes (its grid shows them) and then stops reading
        // from it; the next peer replaces it.
        QVERIFY(WaitUntil([&] {
            return Ctl<HexGrid>(*m_form, "fgrdRecvData")->hexModel().cellText(0, 0)
                == HexByteText(quint8(mark))
                && Socket(*m_form, 1)->bytesToSend() > SocketControl::maxSendBacklog;
        }));
        mostHeld = std::max(mostHeld, heldBytes());
        clients.push_back(std::move(client));
    }
    qInfo("at most %lld bytes held for %d peers that never read", mostHeld, peers);
    // Each peer, lingering or current, holds at most its backlog, the block that filled it and,
    // once replaced, what its kernel had received (at most the kernel's largest receive buffer).
    QFile receiveBuffers(QStringLiteral("/proc/sys/net/ipv4/tcp_rmem"));
    QVERIFY(receiveBuffers.open(QIODevice::ReadOnly));
    const qint64 kernelMost
        = receiveBuffers.readAll().simplified().split(' ').value(2).toLongLong();
    QVERIFY(kernelMost > 0);
    QVERIFY2(mostHeld <= peers
                     * (SocketControl::maxSendBacklog + PeerConnection::readChunk + kernelMost),
             qPrintable(QString::number(mostHeld)));
}

void ReliabilityEchoTest::peerResetWithEchoQueuedLeavesOneDropLine()
{
    LoopbackClient peer;
    QVERIFY(peer.connectTo(m_port));
    peer.setReading(false);
    peer.send(patternBytes(2 * SocketControl::maxSendBacklog));
    QVERIFY(WaitUntil(
        [&] { return SocketCount(*m_form) > 1 && Socket(*m_form, 1)->bytesToSend() > 0; }));
    const linger resetOnClose {1, 0};
    QCOMPARE(::setsockopt(int(peer.socket().socketDescriptor()), SOL_SOCKET, SO_LINGER,
                          &resetOnClose, sizeof resetOnClose),
             0);
    peer.socket().abort();
    QVERIFY(WaitUntil([&] { return !m_folder->logMessages().filter(dropLine).isEmpty(); }));

    // The tool serves the next peer; the reset peer left one line, for bytes the log claimed.
    LoopbackClient next;
    QVERIFY(next.connectTo(m_port));
    next.send("after");
    QVERIFY(next.waitForReceived(5));
    QStringList messages = m_folder->logMessages();
    const QStringList drops = messages.filter(dropLine);
    QCOMPARE(drops.size(), 1);
    messages.removeAll(drops.first());
    const qint64 dropped = dropLine.match(drops.first()).captured(1).toLongLong();
    QVERIFY2(dropped > 0 && dropped <= LoggedEchoBytes(messages), qPrintable(drops.first()));
}

QTEST_MAIN(ReliabilityEchoTest)
#include "tst_reliability_echo.moc"
