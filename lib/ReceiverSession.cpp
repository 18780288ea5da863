#include "lib/ReceiverSession.h"

#include "lib/DataCapture.h"
#include "lib/ErrorTrap.h"
#include "lib/modLogging.h"
#include "lib/modUtility.h"
#include "platform/Clock.h"
#include "platform/SocketControl.h"

ReceiverSession::ReceiverSession(QObject *parent) : QObject(parent)
{
    createSocket(0);
}

ReceiverSession::~ReceiverSession() = default;

SocketControl *ReceiverSession::createSocket(int index)
{
    auto *socket = new SocketControl(index, this);
    socket->setObjectName(QStringLiteral("wscRecv%1").arg(index));
    m_sockets.push_back(socket);
    connect(socket, &SocketControl::connectionRequest, this, [this](int index, qintptr request) {
        m_route.connectionRequest ? m_route.connectionRequest(index, request)
                                  : ConnectionRequest(index, request);
    });
    connect(socket, &SocketControl::dataArrival, this, [this](int index, qint64 bytesTotal) {
        m_route.dataArrival ? m_route.dataArrival(index, bytesTotal)
                            : DataArrival(index, bytesTotal);
    });
    connect(socket, &SocketControl::closed, this,
            [this](int index) { m_route.close ? m_route.close(index) : Close(index); });
    connect(socket, &SocketControl::socketError, this, [this](int index, int, const QString &) {
        m_route.error ? m_route.error(index) : Error(index);
    });
    connect(socket, &SocketControl::echoDropped, this,
            [this](int, qint64 bytes, qint64 inFlight) { onEchoDropped(bytes, inFlight); });
    return socket;
}

void ReceiverSession::routeSocketEvents(SocketEventRoute route)
{
    m_route = std::move(route);
}

SocketControl *ReceiverSession::peerSocket() const
{
    return m_sockets.size() > 1 ? m_sockets[1] : nullptr;
}

void ReceiverSession::start(qint32 port, const QString &bindAddress)
{
    SocketControl &listener = *m_sockets.at(0);
    listener.setLocalAddress(bindAddress);
    listener.setLocalPort(port);
    listener.listen();
    m_record.restartCounts();
    m_history.clear();
    emit listeningChanged(true);
}

void ReceiverSession::stop()
{
    m_sockets.at(0)->close();
    emit listeningChanged(false);
}

void ReceiverSession::end()
{
    stop();
    if (SocketControl *peer = peerSocket())
        peer->closeNow();
}

bool ReceiverSession::isListening() const
{
    return m_sockets.at(0)->state() != SocketControl::sckClosed;
}

quint16 ReceiverSession::listeningPort() const
{
    return m_sockets.at(0)->listeningPort();
}

void ReceiverSession::setAnswerMode(AnswerMode answer)
{
    m_mode.answer = answer;
}

void ReceiverSession::setCustomReply(const QByteArray &reply)
{
    m_mode.reply = reply;
}

void ReceiverSession::setCapture(bool on)
{
    m_mode.capture = on;
}

void ReceiverSession::setRules(const QList<ResponseRule> &rules)
{
    // Checked rules compile; one that did not would leave no rules rather than some.
    (void)m_mode.rules.setRules(rules);
}

void ReceiverSession::setReceiveLoneByte(bool on)
{
    m_mode.loneByte = on;
}

QString ReceiverSession::peerAddress() const
{
    const SocketControl *peer = peerSocket();
    return peer ? peer->peerAddress() : QString();
}

quint16 ReceiverSession::peerPort() const
{
    const SocketControl *peer = peerSocket();
    return peer ? peer->peerPort() : 0;
}

void ReceiverSession::ConnectionRequest(int index, qintptr requestId)
{
    if (index != 0)
        return;
    QString replacedAddress;
    quint16 replacedPort = 0;
    const bool accepted = TrapErrors("(wscRecv_ConnectionRequest)", [&] {
        if (m_sockets.size() == 1)
            createSocket(1);
        // The newest peer wins: the previous one is dropped (and still gets its echo).
        SocketControl &peer = *m_sockets[1];
        if (peer.state() != SocketControl::sckClosed) {
            replacedAddress = peer.peerAddress();
            replacedPort = peer.peerPort();
            peer.close();
        }
        peer.accept(requestId);
    });
    if (replacedPort != 0) {
        m_history.appendEvent(ExchangeKind::Replaced, CurrentMSecsSinceEpoch(), m_peer);
        emit peerReplaced(replacedAddress, replacedPort);
    }
    if (accepted) {
        m_byteHeld = false;
        m_peer = FormatPeer(peerAddress(), peerPort());
        m_history.appendEvent(ExchangeKind::Connected, CurrentMSecsSinceEpoch(), m_peer);
        emit peerConnected(peerAddress(), peerPort());
    }
}

void ReceiverSession::DataArrival(int, qint64 bytesTotal)
{
    static const char tag[] = "(wscRecv_DataArrival)";
    // Unless asked otherwise, a lone byte is held back until more arrive; when none can follow
    // it, it is the last block.
    const bool block = bytesTotal > (m_mode.loneByte ? 0 : 1)
        || (bytesTotal == 1 && m_sockets.at(1)->nothingMoreCanFollow());
    const quint64 serial = m_record.serial;
    TrapErrors(tag, [&] {
        if (!block)
            WriteLog(intToolIndex, QStringLiteral("通信エラーが発生しました。"));
        else
            ReceiveBlock(*m_sockets.at(1), bytesTotal, m_mode, m_record);
    });
    // The answer has left: the history only takes another reference to each block.
    if (m_record.serial != serial) {
        m_byteHeld = false;
        m_history.appendBlock(ExchangeKind::Received, m_record.receivedAtMs, m_peer,
                              m_record.received);
        if (m_record.sentSerial == m_record.serial)
            m_history.appendBlock(ExchangeKind::Sent, m_record.sentAtMs, m_peer, m_record.sent);
    } else if (bytesTotal == 1 && !m_byteHeld) {
        m_byteHeld = true;
        m_history.appendEvent(ExchangeKind::ByteHeld, CurrentMSecsSinceEpoch(), m_peer, 1);
    }
    // After lone bytes and failed reads too: the log keeps its size limit whatever peers send.
    RotateToolFiles(1, block && m_mode.capture, tag);
    if (block)
        emit recordChanged();
    else
        emit loneByteHeld();
}

void ReceiverSession::Close(int index)
{
    const QString address = index == 1 ? peerAddress() : QString();
    const quint16 port = index == 1 ? peerPort() : 0;
    TrapErrors("(wscRecv_Close)", [&] { m_sockets.at(index)->close(); });
    if (index == 1)
        peerWent(address, port);
}

void ReceiverSession::Error(int index)
{
    const QString address = index == 1 ? peerAddress() : QString();
    const quint16 port = index == 1 ? peerPort() : 0;
    TrapErrors("(wscRecv_Error)", [&] {
        m_sockets.at(index)->close();
        if (index == 0)
            m_sockets[0]->listen();
    });
    if (index == 1)
        peerWent(address, port);
    else
        emit listeningChanged(isListening());
}

void ReceiverSession::peerWent(const QString &address, quint16 port)
{
    m_byteHeld = false;
    m_history.appendEvent(ExchangeKind::Disconnected, CurrentMSecsSinceEpoch(),
                          port != 0 ? FormatPeer(address, port) : m_peer);
    emit peerClosed(address, port);
}

void ReceiverSession::onEchoDropped(qint64 bytes, qint64 inFlight)
{
    // The echo of a connection that has finished: no longer the current peer's, so no peer.
    m_history.appendEvent(ExchangeKind::EchoDropped, CurrentMSecsSinceEpoch(), QString(), bytes);
    // Every echo line claimed bytes for the wire; the ones that never went are owned up to, and
    // those on their way at the cut are named as possibly lost too.
    QString line = QStringLiteral("送信できなかった応答データ%1バイトを破棄しました。").arg(bytes);
    if (inFlight > 0)
        line += QStringLiteral("送信済みで未確認の%1バイトは届いていない可能性があります。")
                    .arg(inFlight);
    WriteLog(intToolIndex, line + QStringLiteral("(wscRecv_Close)"));
    emit echoDropped(bytes);
}
