#include "support/EventWait.h"
#include "support/LoopbackClient.h"

#include "platform/PeerConnection.h"
#include "platform/RuntimeError.h"
#include "platform/SocketControl.h"

#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QtTest>

#include <memory>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
QByteArray patternBytes(qint64 size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

// A loopback peer on a raw descriptor, so that the test controls what Qt would hide: its receive
// buffer before connecting, half-closing, resetting, and reading at its own pace.
class Peer : public QObject
{
public:
    explicit Peer(quint16 port, int receiveBuffer = 0)
        : m_descriptor(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        if (receiveBuffer > 0)
            ::setsockopt(m_descriptor, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected
            = ::connect(m_descriptor, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        ::fcntl(m_descriptor, F_SETFL, ::fcntl(m_descriptor, F_GETFL) | O_NONBLOCK);
        m_readable = std::make_unique<QSocketNotifier>(m_descriptor, QSocketNotifier::Read);
        m_writable = std::make_unique<QSocketNotifier>(m_descriptor, QSocketNotifier::Write);
        m_readable->setEnabled(false);
        m_writable->setEnabled(false);
        connect(m_readable.get(), &QSocketNotifier::activated, this, [this] { take(1 << 20); });
        connect(m_writable.get(), &QSocketNotifier::activated, this, &Peer::pushOut);
    }
    ~Peer() override
    {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }

    bool connected() const { return m_connected; }
    // Queued and sent from the event loop as the tool takes it.
    void send(const QByteArray &bytes)
    {
        m_outbox += bytes;
        pushOut();
    }
    bool allSent() const { return m_outbox.isEmpty(); }
    void halfClose() { ::shutdown(m_descriptor, SHUT_WR); }
    void reset()
    {
        const linger resetOnClose {1, 0};
        ::setsockopt(m_descriptor, SOL_SOCKET, SO_LINGER, &resetOnClose, sizeof resetOnClose);
        ::close(m_descriptor);
        m_descriptor = -1;
    }
    void setReading(bool reading) { m_readable->setEnabled(reading && !m_ended); }
    // Takes up to count bytes the kernel holds now.
    void take(qsizetype count)
    {
        QByteArray chunk(count, Qt::Uninitialized);
        const ssize_t got = ::recv(m_descriptor, chunk.data(), size_t(count), 0);
        if (got > 0) {
            received += chunk.left(got);
        } else if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            m_ended = true;
            m_readable->setEnabled(false);
        }
    }
    // True once the tool closed or reset the connection and every byte before that was read.
    bool ended() const { return m_ended; }

    QByteArray received;

private:
    void pushOut()
    {
        while (!m_outbox.isEmpty()) {
            const ssize_t sent
                = ::send(m_descriptor, m_outbox.constData(), size_t(m_outbox.size()), MSG_NOSIGNAL);
            if (sent <= 0)
                break;
            m_outbox.remove(0, sent);
        }
        m_writable->setEnabled(!m_outbox.isEmpty());
    }

    int m_descriptor;
    bool m_connected = false;
    bool m_ended = false;
    QByteArray m_outbox;
    std::unique_ptr<QSocketNotifier> m_readable;
    std::unique_ptr<QSocketNotifier> m_writable;
};

// Serves the socket controls as the window does: the newest peer wins, every block of two bytes
// or more is read whole and echoed, a closed connection is closed.
class EchoHarness : public QObject
{
public:
    EchoHarness() : listener(0)
    {
        listener.setLocalPort(0);
        listener.listen();
        connect(&listener, &SocketControl::connectionRequest, this, [this](int, qintptr request) {
            if (!connection)
                createConnection();
            if (connection->state() != SocketControl::sckClosed)
                connection->close();
            connection->accept(request);
        });
    }
    quint16 port() const { return listener.listeningPort(); }

    SocketControl listener;
    std::unique_ptr<SocketControl> connection;
    qint64 receivedBytes = 0;
    QByteArray receivedTail; // the newest bytes only, to keep memory small
    qint64 droppedBytes = 0;
    int drops = 0;

private:
    void createConnection()
    {
        connection = std::make_unique<SocketControl>(1);
        connect(connection.get(), &SocketControl::dataArrival, this, [this](int, qint64 count) {
            if (count <= 1)
                return;
            const QByteArray block = connection->getData(count);
            receivedBytes += block.size();
            receivedTail = block.right(64);
            connection->sendData(block);
        });
        connect(connection.get(), &SocketControl::closed, this, [this] { connection->close(); });
        connect(connection.get(), &SocketControl::echoDropped, this, [this](int, qint64 bytes) {
            droppedBytes += bytes;
            ++drops;
        });
    }
};

// Restores the no-progress time a test shortened.
struct StallTime
{
    explicit StallTime(int milliseconds) { PeerConnection::setStallMilliseconds(milliseconds); }
    ~StallTime() { PeerConnection::setStallMilliseconds(PeerConnection::defaultStallMilliseconds); }
};

bool heldBack(const EchoHarness &harness)
{
    return harness.connection && harness.connection->bytesToSend() > SocketControl::maxSendBacklog;
}

// Sends until the tool holds a full backlog for a peer that reads nothing, then a tail that
// waits behind it, and half-closes: the end arrives while echo is queued and bytes wait.
QByteArray sendPastTheBacklogAndHalfClose(Peer &peer, EchoHarness &harness)
{
    QByteArray sent;
    while (!heldBack(harness) && sent.size() < 64 << 20) {
        const QByteArray chunk = patternBytes(256 * 1024, quint32(sent.size()));
        sent += chunk;
        peer.send(chunk);
        WaitUntil([&] { return harness.receivedBytes == sent.size() || heldBack(harness); });
    }
    const QByteArray tail = patternBytes(64 * 1024 + 3, 99);
    sent += tail;
    peer.send(tail);
    WaitUntil([&] { return peer.allSent(); });
    peer.halfClose();
    return sent;
}
} // namespace

// The socket controls on their own, with real loopback peers: half-closing, back-pressure,
// resets, replaced and lingering peers, slow readers and the no-progress rule.
class SocketControlTest : public QObject
{
    Q_OBJECT

private slots:
    void localPortRange_data();
    void localPortRange();
    void localAddress_data();
    void localAddress();
    void peerThatDoesNotReadIsNotReadEither();
    void halfClosingPeerGetsEveryEchoByteAfterTheBacklog();
    void halfClosedPeerThatNeverReadsIsEndedWithEverythingAccounted();
    void slowReaderIsNeverCut();
    void resetWhileClosingEndsAtOnce();
    void lingeringPeersKeepTheirEchoUpToTheBound();
};

void SocketControlTest::localPortRange_data()
{
    QTest::addColumn<qint32>("port");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("below the range") << -1 << false;
    QTest::newRow("the system's choice") << 0 << true;
    QTest::newRow("the highest port") << 65535 << true;
    QTest::newRow("above the range") << 65536 << false;
}

void SocketControlTest::localPortRange()
{
    QFETCH(qint32, port);
    QFETCH(bool, accepted);
    SocketControl socket;
    bool refused = false;
    try {
        socket.setLocalPort(port);
    } catch (const RuntimeError &) {
        refused = true;
    }
    QCOMPARE(!refused, accepted);
    QCOMPARE(socket.localPort(), accepted ? port : 0);
}

void SocketControlTest::localAddress_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QStringList>("reached");
    QTest::addColumn<QStringList>("refused");
    const QStringList none;
    const QStringList first {QStringLiteral("127.0.0.1")};
    const QStringList second {QStringLiteral("127.0.0.2")};
    QTest::newRow("every address") << QString() << (first + second) << none;
    QTest::newRow("127.0.0.1 alone") << first.front() << first << second;
    QTest::newRow("127.0.0.2 alone") << second.front() << second << first;
    // Texts that are no single numeric address never listen anywhere.
    for (const char *text : {"localhost", "127.1", "127.0.0.256", "127.0.0.1 ", "1.2.3.4.5",
                             "::1::2", "127.0.0.1:5000"})
        QTest::newRow(text) << QString::fromLatin1(text) << none << none;
    QTest::newRow("an address this machine lacks") << QStringLiteral("::2") << none << none;
}

void SocketControlTest::localAddress()
{
    QFETCH(QString, address);
    QFETCH(QStringList, reached);
    QFETCH(QStringList, refused);
    SocketControl listener;
    listener.setLocalPort(0);
    listener.setLocalAddress(address);
    QCOMPARE(listener.localAddress(), address);
    try {
        listener.listen();
    } catch (const RuntimeError &error) {
        QVERIFY2(reached.isEmpty(), qPrintable(error.description()));
        QCOMPARE(listener.state(), int(SocketControl::sckClosed));
        return;
    }
    QVERIFY(!reached.isEmpty());
    QSignalSpy requests(&listener, &SocketControl::connectionRequest);
    for (const QString &peerAddress : reached) {
        LoopbackClient peer;
        QVERIFY2(peer.connectTo(listener.listeningPort(), peerAddress), qPrintable(peerAddress));
    }
    for (const QString &peerAddress : refused) {
        LoopbackClient peer;
        QVERIFY2(!peer.connectTo(listener.listeningPort(), peerAddress), qPrintable(peerAddress));
    }
    QVERIFY(WaitUntil([&] { return requests.size() >= reached.size(); }));
    QCOMPARE(requests.size(), reached.size());
}

void SocketControlTest::peerThatDoesNotReadIsNotReadEither()
{
    EchoHarness harness;
    Peer peer(harness.port(), 64 * 1024);
    QVERIFY(peer.connected());
    const QByteArray sent = patternBytes(32 * 1024 * 1024, 4);
    peer.send(sent);
    QVERIFY(WaitUntil([&] { return heldBack(harness); }));
    QVERIFY(!WaitUntil([&] { return peer.allSent(); }, 200));
    // The tool keeps no more than its backlog and one block, however much waits.
    const qint64 backlog = harness.connection->bytesToSend();
    QVERIFY2(backlog <= SocketControl::maxSendBacklog + PeerConnection::readChunk,
             qPrintable(QString::number(backlog)));

    peer.setReading(true);
    QVERIFY(WaitUntil([&] { return peer.received.size() == sent.size(); }, 60000));
    QVERIFY(peer.received == sent);
}

void SocketControlTest::halfClosingPeerGetsEveryEchoByteAfterTheBacklog()
{
    // As `nc -N` does: send everything, say so, then read until the end. The end arrives while
    // the backlog is full and bytes still wait behind it.
    EchoHarness harness;
    Peer peer(harness.port(), 64 * 1024);
    QVERIFY(peer.connected());
    const QByteArray sent = sendPastTheBacklogAndHalfClose(peer, harness);
    QVERIFY(heldBack(harness) && peer.allSent());
    QVERIFY(harness.receivedBytes < sent.size());

    peer.setReading(true);
    QVERIFY(WaitUntil([&] { return peer.ended(); }, 30000));
    QCOMPARE(harness.receivedBytes, sent.size());
    QVERIFY(peer.received == sent);
    QCOMPARE(harness.drops, 0);
}

void SocketControlTest::halfClosedPeerThatNeverReadsIsEndedWithEverythingAccounted()
{
    const StallTime stall(1000);
    EchoHarness harness;
    Peer peer(harness.port(), 64 * 1024);
    QVERIFY(peer.connected());
    const qint64 total = sendPastTheBacklogAndHalfClose(peer, harness).size();
    QVERIFY(heldBack(harness) && peer.allSent());

    // Ended by the no-progress rule, having handed over every byte the peer sent.
    QVERIFY(WaitUntil([&] { return harness.drops > 0; }, 20000));
    QCOMPARE(harness.drops, 1);
    QCOMPARE(harness.receivedBytes, total);
    // The drop counts exactly the echo the peer never had.
    peer.setReading(true);
    QVERIFY(WaitUntil([&] { return peer.ended(); }));
    QCOMPARE(peer.received.size() + harness.droppedBytes, total);
}

void SocketControlTest::slowReaderIsNeverCut()
{
    // A reader far slower than the no-progress time per window's worth still progresses, and
    // every byte reaches it, however long the whole takes.
    const StallTime stall(1500);
    EchoHarness harness;
    Peer peer(harness.port(), 4096);
    QVERIFY(peer.connected());
    const QByteArray sent = patternBytes(32 * 1024, 3);
    peer.send(sent);
    QVERIFY(WaitUntil([&] { return harness.receivedBytes == sent.size() && peer.allSent(); }));
    peer.halfClose();
    QTimer slowRead;
    QObject::connect(&slowRead, &QTimer::timeout, &peer, [&] { peer.take(512); });
    slowRead.start(50);
    QVERIFY(WaitUntil([&] { return peer.ended(); }, 20000));
    QVERIFY(peer.received == sent);
    QCOMPARE(harness.drops, 0);
}

void SocketControlTest::resetWhileClosingEndsAtOnce()
{
    // Under the users' no-progress time, a reset is still noticed at once.
    EchoHarness harness;
    auto peer = std::make_unique<Peer>(harness.port(), 16 * 1024);
    QVERIFY(peer->connected());
    peer->send(patternBytes(1024 * 1024, 5));
    QVERIFY(WaitUntil([&] { return harness.receivedBytes == 1024 * 1024 && peer->allSent(); }));
    peer->halfClose();
    QVERIFY(WaitUntil([&] { return harness.connection->state() == SocketControl::sckClosed; }));
    QCOMPARE(harness.drops, 0);
    peer->reset();
    QVERIFY(WaitUntil([&] { return harness.drops == 1; }, 5000));
    QVERIFY(harness.droppedBytes > 0 && harness.droppedBytes <= 1024 * 1024);
}

void SocketControlTest::lingeringPeersKeepTheirEchoUpToTheBound()
{
    // Each peer sends, reads nothing and is replaced by the next; the first had finished
    // sending, the last is replaced by a probe that connects and closes. Newer peers cut none of
    // them, until a ninth must linger: then the oldest is cut.
    EchoHarness harness;
    const int peers = 9;
    std::vector<std::unique_ptr<Peer>> clients;
    std::vector<QByteArray> sent;
    for (int index = 0; index < peers; ++index) {
        clients.push_back(std::make_unique<Peer>(harness.port(), 16 * 1024));
        Peer &peer = *clients.back();
        QVERIFY(peer.connected());
        sent.push_back(patternBytes(256 * 1024, quint32(index) + 20));
        const qint64 before = harness.receivedBytes;
        peer.send(sent.back());
        QVERIFY(WaitUntil([&] { return harness.receivedBytes == before + sent.back().size(); }));
        if (index == 0) {
            peer.halfClose();
            QVERIFY(
                WaitUntil([&] { return harness.connection->state() == SocketControl::sckClosed; }));
        }
    }
    Peer probe(harness.port());
    QVERIFY(probe.connected());
    probe.halfClose();
    QVERIFY(WaitUntil([&] { return harness.drops == 1; }));

    for (auto &client : clients)
        client->setReading(true);
    QVERIFY(WaitUntil([&] {
        return std::all_of(clients.begin(), clients.end(), [](auto &c) { return c->ended(); });
    }));
    QCOMPARE(clients.front()->received.size() + harness.droppedBytes, sent.front().size());
    for (int index = 1; index < peers; ++index)
        QVERIFY2(clients[std::size_t(index)]->received == sent[std::size_t(index)],
                 qPrintable(QString::number(index)));
    QCOMPARE(harness.drops, 1);
}

QTEST_GUILESS_MAIN(SocketControlTest)
#include "tst_socketcontrol.moc"
