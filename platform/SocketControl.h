#pragma once

#include <QObject>
#include <QPointer>

#include <deque>

class PeerConnection;
class QTcpServer;

// An event-driven TCP socket in one of two roles: a listener (listen, connection requests) or a
// connection (accept a request, data arrival, send, close). Failures throw RuntimeError.
// A connection whose peer has finished sending hands over every byte that came before the end,
// then raises closed; closing it still delivers the echo queued for the peer. Whenever a
// connection ends (its peer finished, it is closed or replaced, it is cut), every byte that reached
// this machine from its peer is handed over first, as one last data arrival.
class SocketControl : public QObject
{
    Q_OBJECT

public:
    enum State {
        sckClosed = 0,
        sckListening = 2,
        sckConnected = 7,
        sckClosing = 8,
        sckError = 9,
    };

    // Echo bytes that may wait unsent before the connection stops reading from its peer.
    static constexpr qint64 maxSendBacklog = 4 * 1024 * 1024;
    // Closed connections still delivering their echo; beyond this the oldest is cut. Each holds
    // at most the backlog, so memory stays bounded whatever peers do.
    static constexpr int maxLingering = 8;

    explicit SocketControl(int index = 0, QObject *parent = nullptr);
    ~SocketControl() override;

    int state() const;

    qint32 localPort() const { return m_localPort; }
    void setLocalPort(qint32 port);
    // Where listen binds: empty for every address, else one numeric IPv4 or IPv6 address
    // (NumericAddress). Any other text is kept and refused by listen.
    QString localAddress() const { return m_localAddress; }
    void setLocalAddress(const QString &address);

    // Listens on the local port: on every address, IPv6 and IPv4 together where the machine has
    // IPv6, or on the local address alone when one is set.
    void listen();
    // Closes the listener, or the connection: that one still delivers its echo while it lingers.
    void close();
    // Closes as the program ends: the connection and every lingering one end now; echo never sent
    // is given up on (echoDropped) and its peer reset, so that it cannot mistake the cut for the
    // end of its echo.
    void closeNow();

    // Takes over the pending connection named by a connectionRequest's id.
    void accept(qintptr requestId);

    // The port the listener holds (the system's choice for port 0); 0 while not listening.
    quint16 listeningPort() const;
    // The connected peer's address and port; empty and 0 without a connection.
    QString peerAddress() const;
    quint16 peerPort() const;

    qint64 bytesReceived() const;
    // True while the connection ends: the bytes received are all its peer will ever send here,
    // so a lone byte among them is its last block, not the start of the next one.
    bool nothingMoreCanFollow() const;
    // Moves up to maxLength received bytes out of the socket.
    QByteArray getData(qint64 maxLength);
    // Hands bytes to the kernel at once, as far as it takes them; the rest follows by itself.
    // Fire and forget: on a failed connection the bytes are counted as dropped.
    void sendData(const QByteArray &data);
    qint64 bytesToSend() const;

signals:
    void connectionRequest(int index, qintptr requestId);
    void dataArrival(int index, qint64 bytesTotal);
    void closed(int index);
    void socketError(int index, int number, const QString &description);
    // Echo bytes never sent, given up on while the connection closed: its peer reset, took nothing
    // for a long time after it had finished sending or had been replaced, was the oldest of too
    // many closed connections still delivering, or the program ended. Up to inFlight more had
    // been sent and not acknowledged: the peer may or may not get them.
    void echoDropped(int index, qint64 bytes, qint64 inFlight);

private:
    void onReadyRead();
    void onBytesWritten();
    void onConnectionError(int error);
    void onStalled();
    void onIncomingConnection(qintptr descriptor);
    bool sendBacklogFull() const;
    void handOverRest();
    void dropConnection();
    // Makes this connection (or none) the current one, nothing yet announced or held for it.
    void setCurrentConnection(PeerConnection *connection);

    class Listener;

    const int m_index;
    qint32 m_localPort = 0;
    QString m_localAddress;
    Listener *m_server = nullptr;
    PeerConnection *m_connection = nullptr;
    // Closed connections still delivering their last echoes, oldest first.
    std::deque<QPointer<PeerConnection>> m_lingering;
    // Received bytes already announced by a data arrival and not read since.
    qint64 m_announced = 0;
    bool m_arrivalHeldBack = false;
    bool m_closeAnnounced = false;
    bool m_ending = false;
    bool m_restHandedOver = false;
    bool m_failed = false;
};
