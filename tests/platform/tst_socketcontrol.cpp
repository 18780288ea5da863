#include "support/EventWait.h"
#include "support/LoopbackClient.h"
#include "support/ProcessResources.h"
#include "support/RawPeer.h"

#include "platform/PeerConnection.h"
#include "platform/RuntimeError.h"
#include "platform/SocketControl.h"

#include <QRandomGenerator>
#include <QSocketNotifier>
#include <QtTest>

#include <memory>
#include <thread>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
QByteArray patternBytes(qint64 size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
    return bytes;
}

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

    bool echo = true;
    SocketControl listener;
    std::unique_ptr<SocketControl> connection;
    qint64 receivedBytes = 0;
    QByteArray receivedTail; // the newest bytes only, to keep memory small
    qint64 droppedBytes = 0;
    qint64 inFlightAtDrop = 0;
    int drops = 0;

private:
    void createConnection()
    {
        connection = std::make_unique<SocketControl>(1);
        connect(connection.get(), &SocketControl::dataArrival, this, [this](int, qint64 count) {
            // A lone byte waits for the next block, unless none can follow.
            if (count < 1 || (count == 1 && !connection->nothingMoreCanFollow()))
                return;
            const QByteArray block = connection->getData(count);
            receivedBytes += block.size();
            receivedTail = block.right(64);
            if (echo)
                connection->sendData(block);
        });
        connect(connection.get(), &SocketControl::closed, this, [this] { connection->close(); });
        connect(connection.get(), &SocketControl::echoDropped, this,
                [this](int, qint64 bytes, qint64 inFlight) {
                    droppedBytes += bytes;
                    inFlightAtDrop += inFlight;
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
// waits behind it: the tool's kernel has it all.
QByteArray sendPastTheBacklog(RawPeer &peer, EchoHarness &harness,
                              qsizetype tailSize = 64 * 1024 + 3)
{
    QByteArray sent;
    while (!heldBack(harness) && sent.size() < 64 << 20) {
        const QByteArray chunk = patternBytes(256 * 1024, quint32(sent.size()));
        sent += chunk;
        peer.send(chunk);
        WaitUntil([&] { return harness.receivedBytes == sent.size() || heldBack(harness); });
    }
    const QByteArray tail = patternBytes(tailSize, 99);
    sent += tail;
    peer.send(tail);
    WaitUntil([&] { return peer.allSent(); });
    return sent;
}

// The end arrives while echo is queued and bytes wait.
QByteArray sendPastTheBacklogAndHalfClose(RawPeer &peer, EchoHarness &harness)
{
    const QByteArray sent = sendPastTheBacklog(peer, harness);
    peer.halfClose();
    return sent;
}

// Sends on past the backlog until the peer's own kernel takes no more, then half-closes: the
// end waits there behind bytes the tool's shut window refuses, where the tool cannot see it.
// Returns how much the peer's kernel took.
qint64 sendUntilTheEndIsStuck(RawPeer &peer, EchoHarness &harness)
{
    qint64 sent = sendPastTheBacklog(peer, harness).size();
    for (int round = 0; round < 1024; ++round) {
        const QByteArray chunk = patternBytes(64 * 1024, quint32(sent));
        sent += chunk.size();
        peer.send(chunk);
        if (!WaitUntil([&] { return peer.allSent(); }, 300))
            break;
    }
    return sent - peer.halfCloseNow();
}
} // namespace

// The socket controls on their own, with real loopback peers: half-closing, back-pressure,
// resets, replaced and lingering peers, slow readers and the no-progress rule.
class tst_SocketControl : public QObject
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
    void usersNoProgressTimeIsFiveMinutes();
    void stallReportGivesTheHalfCloseAFullSpell();
    void replacedPeerKeepsEveryByteThatReachedThisMachine_data();
    void replacedPeerKeepsEveryByteThatReachedThisMachine();
    void stuckEnd_data();
    void stuckEnd();
    void readerCutWhileReadingIsToldWhatWasNeverSent();
    void floodOfTinyEchoBlocksStaysWithinTheBound();
    void loneByteBeforeTheEndIsTheLastBlock_data();
    void loneByteBeforeTheEndIsTheLastBlock();
    void floodYieldsToTheClock();
};

void tst_SocketControl::localPortRange_data()
{
    QTest::addColumn<qint32>("port");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("below the range") << -1 << false;
    QTest::newRow("the system's choice") << 0 << true;
    QTest::newRow("the highest port") << 65535 << true;
    QTest::newRow("above the range") << 65536 << false;
}

void tst_SocketControl::localPortRange()
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

void tst_SocketControl::localAddress_data()
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

void tst_SocketControl::localAddress()
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

void tst_SocketControl::peerThatDoesNotReadIsNotReadEither()
{
    EchoHarness harness;
    RawPeer peer(harness.port(), 64 * 1024);
    QVERIFY(peer.connected());
    const QByteArray sent = patternBytes(32 * 1024 * 1024, 4);
    peer.send(sent);
    QVERIFY(WaitUntil([&] { return heldBack(harness); }));
    QVERIFY(!WaitUntil([&] { return peer.allSent(); }, 200));
    // The tool keeps no more than its backlog and one block, however much waits.
    const qint64 backlog = harness.connection->bytesToSend();
    QVERIFY2(backlog <= SocketControl::maxSendBacklog + PeerConnection::maxHeldBytes,
             qPrintable(QString::number(backlog)));

    peer.setReading(true);
    QVERIFY(WaitUntil([&] { return peer.received.size() == sent.size(); }, 60000));
    QVERIFY(peer.received == sent);
}

void tst_SocketControl::halfClosingPeerGetsEveryEchoByteAfterTheBacklog()
{
    // As `nc -N` does: send everything, say so, then read until the end. The end arrives while
    // the backlog is full and bytes still wait behind it.
    EchoHarness harness;
    RawPeer peer(harness.port(), 64 * 1024);
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

void tst_SocketControl::halfClosedPeerThatNeverReadsIsEndedWithEverythingAccounted()
{
    const StallTime stall(1000);
    EchoHarness harness;
    RawPeer peer(harness.port(), 64 * 1024);
    QVERIFY(peer.connected());
    // More than the tool reads ahead while held back: its end reaches the kernel, not the tool.
    const qint64 total
        = sendPastTheBacklog(peer, harness, 2 * PeerConnection::maxHeldBytes + 3).size();
    peer.halfClose();
    QVERIFY(heldBack(harness) && peer.allSent());
    QVERIFY(WaitUntil([&] { return peer.endAcknowledged(); }));

    // Ended by the no-progress rule, having handed over every byte the peer sent.
    QVERIFY(WaitUntil([&] { return harness.drops > 0; }, 20000));
    QCOMPARE(harness.drops, 1);
    QCOMPARE(harness.receivedBytes, total);
    // The drop counts exactly the echo the peer never had.
    peer.setReading(true);
    QVERIFY(WaitUntil([&] { return peer.ended(); }));
    QCOMPARE(peer.received.size() + harness.droppedBytes, total);
}

void tst_SocketControl::slowReaderIsNeverCut()
{
    // A reader far slower than the no-progress time per window's worth still progresses, and
    // every byte reaches it, however long the whole takes.
    const StallTime stall(1500);
    EchoHarness harness;
    RawPeer peer(harness.port(), 4096);
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

void tst_SocketControl::resetWhileClosingEndsAtOnce()
{
    // Under the users' no-progress time, a reset is still noticed at once.
    EchoHarness harness;
    auto peer = std::make_unique<RawPeer>(harness.port(), 16 * 1024);
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

void tst_SocketControl::lingeringPeersKeepTheirEchoUpToTheBound()
{
    // Each peer sends, reads nothing and is replaced by the next; the first had finished
    // sending, the last is replaced by a probe that connects and closes. Newer peers cut none of
    // them, until a ninth must linger: then the oldest is cut.
    EchoHarness harness;
    const int peers = 9;
    std::vector<std::unique_ptr<RawPeer>> clients;
    std::vector<QByteArray> sent;
    for (int index = 0; index < peers; ++index) {
        clients.push_back(std::make_unique<RawPeer>(harness.port(), 16 * 1024));
        RawPeer &peer = *clients.back();
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
    RawPeer probe(harness.port());
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

void tst_SocketControl::usersNoProgressTimeIsFiveMinutes()
{
    // The README's promise to a slow or paused peer; the tests shorten it only while they run.
    QCOMPARE(PeerConnection::stallMilliseconds(), 5 * 60 * 1000);
}

void tst_SocketControl::stallReportGivesTheHalfCloseAFullSpell()
{
    // A peer reported stalled that half-closes afterwards gets a whole no-progress time again
    // before it is ended: it reads within that time and has everything.
    const int stallMs = 1500;
    const StallTime stall(stallMs);
    EchoHarness harness;
    RawPeer peer(harness.port(), 64 * 1024);
    QVERIFY(peer.connected());
    const QByteArray sent = sendPastTheBacklog(peer, harness);
    QVERIFY(heldBack(harness));
    WaitUntil([] { return false; }, stallMs * 13 / 10); // reported once
    peer.halfClose();
    WaitUntil([] { return false; }, stallMs * 3 / 10);
    QCOMPARE(harness.drops, 0);
    peer.setReading(true);
    QVERIFY(WaitUntil([&] { return peer.ended(); }, 30000));
    QCOMPARE(harness.drops, 0);
    QVERIFY(peer.received == sent);
}

void tst_SocketControl::replacedPeerKeepsEveryByteThatReachedThisMachine_data()
{
    QTest::addColumn<bool>("stalledFirst");
    QTest::newRow("held back") << false;
    // Progress is looked at again before the cut, not taken from the last report.
    QTest::newRow("stalled, reading again just before") << true;
}

void tst_SocketControl::replacedPeerKeepsEveryByteThatReachedThisMachine()
{
    // Replaced while held back: the bytes read and not yet handled, and those the kernel holds,
    // are logged and echoed, then the connection lingers for the rest of its echo.
    QFETCH(bool, stalledFirst);
    const int stallMs = 1000;
    const StallTime stall(stallMs);
    EchoHarness harness;
    RawPeer peer(harness.port(), 64 * 1024);
    QVERIFY(peer.connected());
    const QByteArray sent = sendPastTheBacklog(peer, harness);
    QVERIFY(WaitUntil([&] { return peer.notYetAcknowledged() == 0; }));
    QVERIFY(harness.receivedBytes < sent.size());
    if (stalledFirst) {
        WaitUntil([] { return false; }, stallMs * 15 / 10);
        // Reads, and reads again once more echo came: the second read acknowledges it.
        peer.take(64 * 1024);
        QVERIFY(WaitUntil([&] { return peer.waiting() > 0; }));
        peer.take(64 * 1024);
    }
    RawPeer newer(harness.port());
    QVERIFY(newer.connected());
    QVERIFY(WaitUntil([&] { return harness.receivedBytes == sent.size(); }));
    peer.setReading(true);
    QVERIFY(WaitUntil([&] { return peer.ended(); }, 30000));
    QVERIFY(peer.received == sent);
    QCOMPARE(harness.drops, 0);
}

void tst_SocketControl::stuckEnd_data()
{
    QTest::addColumn<bool>("replaced");
    // Cut for no progress, it first takes in everything that reached this machine.
    QTest::newRow("replaced: cut") << true;
    // Back after the no-progress time: the rest and the end arrive at once; served, not cut.
    QTest::newRow("reads again: served") << false;
}

void tst_SocketControl::stuckEnd()
{
    // The peer's end waits in its own kernel behind bytes the tool's shut window refuses, so the
    // connection never looks half-closed; the peer then takes nothing past the no-progress time.
    QFETCH(bool, replaced);
    const int stallMs = 1000;
    const StallTime stall(stallMs);
    EchoHarness harness;
    RawPeer peer(harness.port(), 64 * 1024);
    QVERIFY(peer.connected());
    const qint64 total = sendUntilTheEndIsStuck(peer, harness);
    QVERIFY(peer.notYetAcknowledged() > 0 && !peer.endAcknowledged());
    WaitUntil([] { return false; }, stallMs * 15 / 10);
    QCOMPARE(harness.drops, 0);

    if (replaced) {
        const qint64 neverArrived = peer.notYetAcknowledged();
        RawPeer newer(harness.port());
        QVERIFY(newer.connected());
        QVERIFY(WaitUntil([&] { return harness.drops == 1; }));
        QVERIFY2(harness.receivedBytes >= total - neverArrived && harness.receivedBytes <= total,
                 qPrintable(QStringLiteral("%1 of %2, %3 never arrived")
                                .arg(harness.receivedBytes)
                                .arg(total)
                                .arg(neverArrived)));
    } else {
        peer.setReading(true);
        QVERIFY(WaitUntil([&] { return peer.ended(); }, 30000));
        QCOMPARE(harness.drops, 0);
        QCOMPARE(harness.receivedBytes, total);
        QCOMPARE(peer.received.size(), total);
    }
}

void tst_SocketControl::readerCutWhileReadingIsToldWhatWasNeverSent()
{
    // Ended while its peer reads: the drop counts the echo that never left this machine; what
    // was on its way may still arrive, and no more than that.
    EchoHarness harness;
    RawPeer peer(harness.port());
    QVERIFY(peer.connected());
    const qint64 claimed = sendPastTheBacklog(peer, harness).size();
    // Cut just as a read opened the peer's window, so that echo is on its way.
    QTimer reading;
    QObject::connect(&reading, &QTimer::timeout, &peer, [&] {
        peer.take(256 * 1024);
        peer.delayAcknowledgements();
        if (peer.received.size() > 1024 * 1024 && harness.drops == 0)
            harness.connection->closeNow();
    });
    reading.start(1);
    QVERIFY(WaitUntil([&] { return harness.drops > 0; }));
    reading.stop();
    QCOMPARE(harness.receivedBytes, claimed);
    QCOMPARE(harness.drops, 1);
    peer.setReading(true);
    QVERIFY(WaitUntil([&] { return peer.ended(); }));
    const qint64 sentToPeer = claimed - harness.droppedBytes;
    QVERIFY2(peer.received.size() <= sentToPeer
                 && peer.received.size() >= sentToPeer - harness.inFlightAtDrop,
             qPrintable(QStringLiteral("received %1, claimed %2, dropped %3, in flight %4")
                            .arg(peer.received.size())
                            .arg(claimed)
                            .arg(harness.droppedBytes)
                            .arg(harness.inFlightAtDrop)));
}

void tst_SocketControl::floodOfTinyEchoBlocksStaysWithinTheBound()
{
    // Two-byte blocks echoed to a peer that never reads, until the backlog holds the reading
    // back: the memory they cost stays a few times the backlog, and goes back when the
    // connection has ended.
    if (AddressSanitizerActive())
        QSKIP("AddressSanitizer keeps freed memory in quarantine.");
    EchoHarness harness;
    RawPeer peer(harness.port(), 16 * 1024);
    QVERIFY(peer.connected());
    peer.send("go");
    QVERIFY(WaitUntil([&] { return harness.receivedBytes == 2; }));
    const qint64 before = ResidentKiB();
    const QByteArray tiny("\x04\x05", 2);
    while (!heldBack(harness))
        harness.connection->sendData(tiny);
    const qint64 held = ResidentKiB() - before;
    QVERIFY2(held < 3 * SocketControl::maxSendBacklog / 1024, qPrintable(QString::number(held)));

    harness.connection->closeNow();
    QCOMPARE(harness.drops, 1);
    WaitUntil([] { return false; }, 50); // the connection is deleted on the way
    const qint64 after = ResidentKiB() - before;
    qInfo("2-byte echo blocks: %lld KiB held at the bound, %lld KiB after the end", held, after);
    QVERIFY2(after < SocketControl::maxSendBacklog / 1024 / 2, qPrintable(QString::number(after)));
}

void tst_SocketControl::loneByteBeforeTheEndIsTheLastBlock_data()
{
    QTest::addColumn<bool>("replaced");
    QTest::newRow("half-closed") << false;
    QTest::newRow("replaced") << true;
}

void tst_SocketControl::loneByteBeforeTheEndIsTheLastBlock()
{
    // One byte alone waits for the next block, unless none can follow it.
    QFETCH(bool, replaced);
    EchoHarness harness;
    RawPeer peer(harness.port());
    QVERIFY(peer.connected());
    peer.send("ABC");
    QVERIFY(WaitUntil([&] { return harness.receivedBytes == 3; }));
    peer.send("\x04");
    QVERIFY(!WaitUntil([&] { return harness.receivedBytes == 4; }, 100));
    std::unique_ptr<RawPeer> newer;
    if (replaced)
        newer = std::make_unique<RawPeer>(harness.port());
    else
        peer.halfClose();
    QVERIFY(WaitUntil([&] { return harness.receivedBytes == 4; }));
    QCOMPARE(harness.receivedTail, QByteArray("\x04"));
    peer.setReading(true);
    QVERIFY(WaitUntil([&] { return peer.received.size() == 4; }));
    QCOMPARE(peer.received, QByteArray("ABC\x04"));
}

void tst_SocketControl::floodYieldsToTheClock()
{
    // A peer on a thread of its own sends as fast as the tool reads, so that bytes always wait.
    // Reading stops after its budget until the timers have had their turn: while they cannot
    // run, no more than the budget and one read are taken.
    EchoHarness harness;
    harness.echo = false;
    const qint64 total = 16 * 1024 * 1024;
    const quint16 port = harness.port();
    std::thread flooder([port, total] {
        const int descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(descriptor, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) {
            const QByteArray chunk(1024 * 1024, 'f');
            for (qint64 sent = 0; sent < total;) {
                const ssize_t count
                    = ::send(descriptor, chunk.constData(),
                             size_t(std::min<qint64>(chunk.size(), total - sent)), MSG_NOSIGNAL);
                if (count <= 0)
                    break;
                sent += count;
            }
        }
        ::close(descriptor);
    });
    QVERIFY(WaitUntil([&] { return harness.receivedBytes > 0; }));
    const qint64 start = harness.receivedBytes;
    QElapsedTimer spell;
    spell.start();
    while (!spell.hasExpired(300) && harness.receivedBytes < total)
        QCoreApplication::processEvents(QEventLoop::X11ExcludeTimers);
    const qint64 withoutTimers = harness.receivedBytes - start;
    // With the timers, reading goes on to the end.
    const bool all = WaitUntil([&] { return harness.receivedBytes == total; }, 60000);
    flooder.join();
    QVERIFY2(withoutTimers <= PeerConnection::readBudgetPerTurn + PeerConnection::maxHeldBytes,
             qPrintable(QString::number(withoutTimers)));
    QVERIFY(all);
}

QTEST_GUILESS_MAIN(tst_SocketControl)
#include "tst_socketcontrol.moc"
