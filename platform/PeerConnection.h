#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>

#include <deque>

class QSocketNotifier;
class QTimer;

// One accepted TCP connection on its own descriptor. Unlike QTcpSocket, which closes the whole
// connection at the peer's end of file, it can be half-closed: end of file only means the peer has
// finished sending, and the bytes queued for it still go out before the descriptor is closed.
class PeerConnection : public QObject
{
    Q_OBJECT

public:
    // Received bytes held before the connection stops taking more from the kernel.
    static constexpr qint64 maxHeldBytes = 256 * 1024;
    // Bytes read in one go before the connection lets the event loop run everything else that is
    // due (the clock, the window, input): a flood never holds the window up.
    static constexpr qint64 readBudgetPerTurn = 1024 * 1024;
    // How long a connection may let no byte of its echo be acknowledged before it gives up. Long
    // enough for a slow reader: a loopback peer with the default 128 KiB receive buffer may
    // acknowledge nothing until it has read most of it, over two minutes at 1 KB/s.
    static constexpr int defaultStallMilliseconds = 300000;
    // Users cannot change it; tests shorten it so that a stall takes seconds.
    static void setStallMilliseconds(int milliseconds) { s_stallMilliseconds = milliseconds; }
    static int stallMilliseconds() { return s_stallMilliseconds; }
    // Echo blocks smaller than this join the tail of the queue instead of queueing on their own,
    // so that a flood of tiny blocks costs its bytes, not a queue entry each.
    static constexpr qsizetype joinBelow = 4096;
    static constexpr qsizetype joinedBlockLimit = 64 * 1024;

    // Takes over an accepted, connected descriptor.
    explicit PeerConnection(int descriptor, QObject *parent = nullptr);
    ~PeerConnection() override;

    // The peer's address as the kernel reports it (an IPv4 peer of the dual-stack listener as
    // plain IPv4) and its port; null and 0 when the kernel could not say.
    const QHostAddress &peerAddress() const { return m_peerAddress; }
    quint16 peerPort() const { return m_peerPort; }

    bool peerFinished() const { return m_peerFinished; }
    // True once the peer's end of file has reached the kernel, even with bytes still unread
    // before it.
    bool peerHasSentEnd() const;
    // The errno that ended the connection; 0 while it is sound.
    int error() const { return m_error; }
    // False once the descriptor has been closed.
    bool isOpen() const { return m_descriptor >= 0; }

    qint64 bytesAvailable() const { return m_received.size(); }
    QByteArray read(qint64 maxLength);
    // Hands bytes to the kernel at once; what it cannot take yet leaves from the event loop.
    void write(const QByteArray &bytes);
    void flush();
    // Bytes queued here and not yet handed to the kernel.
    qint64 bytesToWrite() const { return m_queued; }

    // Reports stalled() once the peer has let no byte arrive for stallMilliseconds while bytes
    // were on their way to it; looks again after each report.
    void watchDelivery();
    // Takes every byte the kernel holds from the peer at this moment, whatever maxHeldBytes says,
    // so that nothing that reached this machine goes unseen when the connection ends. Only what
    // is there now: a peer that keeps sending cannot keep it going.
    void drainReceived();

    // Reads no more and closes once the peer has acknowledged every byte queued for it; then the
    // object deletes itself. A peer that resets, or lets nothing arrive for stallMilliseconds
    // (at once when it has stalled and still takes nothing), ends it early, and dropped() tells
    // how many bytes were never sent.
    void closeGracefully();
    // Ends the connection now, with a reset when echo was never sent, so that the peer cannot
    // mistake the cut for the end of its echo.
    void closeNow();

signals:
    void readyRead();
    void bytesWritten();
    // The peer's end of file: every byte it sent has been read into this connection.
    void finishedSending();
    void errorOccurred(int error);
    void stalled();
    // The connection ended with bytes never sent (queued here or in the kernel); up to inFlight
    // more had been sent but not acknowledged, and the peer may or may not have them.
    void dropped(qint64 bytes, qint64 inFlight);

private:
    void onReadable();
    // Takes up to limit bytes that the kernel holds; 0 at the peer's end or on an error.
    qsizetype receive(qsizetype limit);
    void pauseForTurn();
    void resumeReading();
    bool readingAllowed() const;
    void sendQueued();
    void fail(int error);
    void startDeliveryCheck();
    void checkDelivery();
    // Notes any byte acknowledged since the last look; true when there was one.
    bool progressed();
    // Bytes queued here or in the kernel that the peer has not acknowledged.
    qint64 undelivered() const;
    // Bytes queued here or in the kernel that never left this machine.
    qint64 unsent() const;
    // Ends the connection; with bytes never sent, it resets the peer and reports them.
    void end();

    int m_descriptor;
    QHostAddress m_peerAddress;
    quint16 m_peerPort = 0;
    QSocketNotifier *m_readNotifier;
    QSocketNotifier *m_writeNotifier;
    QTimer *m_deliveryCheck = nullptr;
    QTimer *m_turnEnd = nullptr;
    QElapsedTimer m_sinceProgress;
    qint64 m_written = 0; // every byte ever queued
    qint64 m_unsendable = 0; // handed over after the connection had failed
    qint64 m_acknowledged = 0;
    qint64 m_readThisTurn = 0;
    bool m_pausedForTurn = false;
    bool m_stalled = false;
    QByteArray m_received;
    std::deque<QByteArray> m_queue;
    qsizetype m_frontOffset = 0;
    qint64 m_queued = 0;
    bool m_peerFinished = false;
    bool m_closing = false;
    int m_error = 0;

    static inline int s_stallMilliseconds = defaultStallMilliseconds;
};
