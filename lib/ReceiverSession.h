#pragma once

#include "lib/ExchangeHistory.h"
#include "lib/ReceivePath.h"

#include <QObject>
#include <QString>
#include <functional>
#include <vector>

class SocketControl;

// The receiver, with no window: it listens, takes the newest peer, holds a lone byte back, answers
// each block as its mode says, keeps the log, the capture file and the counts, and tells what
// changed. A window or a terminal drives it (start, stop, the mode) and shows what it reports.
//
// Its sockets are element 0 (the listener) and element 1 (the peer, created on the first
// connection request), named "wscRecv<index>". Every socket event is handled under its own error
// tag ("(wscRecv_DataArrival)", ...), whoever drives the session.
class ReceiverSession : public QObject
{
    Q_OBJECT

public:
    explicit ReceiverSession(QObject *parent = nullptr);
    ~ReceiverSession() override;

    // Listens on port, on every address (IPv6 and IPv4 together) or on bindAddress alone (one
    // numeric address); the counts start again. Throws RuntimeError when it cannot listen there,
    // and the listener stays closed.
    void start(qint32 port, const QString &bindAddress = QString());
    // Closes the listener only: a connected peer is still served.
    void stop();
    // The program ends: the listener closes, the peer's last bytes are handed over and answered,
    // and every connection still holding echo is cut now, with its drop line and a reset.
    void end();
    bool isListening() const;
    // The port the listener holds (the system's choice for port 0); 0 while not listening.
    quint16 listeningPort() const;

    // From the next block on, also while a peer is connected.
    void setAnswerMode(AnswerMode answer);
    void setCustomReply(const QByteArray &reply);
    void setCapture(bool on);
    // Rules the dialog or the file checked; from the next block on.
    void setRules(const QList<ResponseRule> &rules);
    void setReceiveLoneByte(bool on);
    const ReceiveMode &mode() const { return m_mode; }

    // The connected peer's address and port; empty and 0 while there is none.
    QString peerAddress() const;
    quint16 peerPort() const;
    const ReceiveRecord &record() const { return m_record; }
    // Every block, answer and connection event since listening started, bounded; appending
    // shares the blocks' bytes, so the history costs the data path no copy and no formatting.
    const ExchangeHistory &history() const { return m_history; }
    // A lone byte waits on the connection for the bytes after it.
    bool byteHeld() const { return m_byteHeld; }

    // The socket events' handlers. A driver that names them as its own (the window does) takes
    // the events over with routeSocketEvents and forwards them here.
    void ConnectionRequest(int index, qintptr requestId);
    void DataArrival(int index, qint64 bytesTotal);
    void Close(int index);
    void Error(int index);

    struct SocketEventRoute
    {
        std::function<void(int index, qintptr requestId)> connectionRequest;
        std::function<void(int index, qint64 bytesTotal)> dataArrival;
        std::function<void(int index)> close;
        std::function<void(int index)> error;
    };
    void routeSocketEvents(SocketEventRoute route);

signals:
    void listeningChanged(bool listening);
    void peerConnected(const QString &address, quint16 port);
    // A newer peer took this one's place; it still gets the echo it is owed.
    void peerReplaced(const QString &address, quint16 port);
    // The peer finished sending, reset, or failed.
    void peerClosed(const QString &address, quint16 port);
    // A lone byte waits for the bytes after it; nothing was read.
    void loneByteHeld();
    // A block went through (received, answered, captured): the record holds it.
    void recordChanged();
    // Echo bytes that were claimed in the log and never sent; the drop line is written.
    void echoDropped(qint64 bytes);

private:
    SocketControl *createSocket(int index);
    SocketControl *peerSocket() const;
    void onEchoDropped(qint64 bytes, qint64 inFlight);
    void peerWent(const QString &address, quint16 port);

    std::vector<SocketControl *> m_sockets;
    SocketEventRoute m_route;
    ReceiveMode m_mode;
    ReceiveRecord m_record;
    ExchangeHistory m_history;
    QString m_peer; // "address:port" of the connected peer, made once per connection
    bool m_byteHeld = false;
};
