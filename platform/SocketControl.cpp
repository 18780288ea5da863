#include "platform/SocketControl.h"

#include "platform/RuntimeError.h"

#include "platform/NumericAddress.h"
#include "platform/PeerConnection.h"

#include <QSet>
#include <QTcpServer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {
// Connection requests announced but not yet taken over by an accept.
QSet<qintptr> &pendingRequests()
{
    static QSet<qintptr> requests;
    return requests;
}

// Every description that can reach the log is Japanese; the system's own text follows only
// where the kind alone says too little.
QString describe(QAbstractSocket::SocketError error, const QString &systemText)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("接続が拒否されました。");
    case QAbstractSocket::RemoteHostClosedError:
        return QStringLiteral("接続先が接続を閉じました。");
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("接続先が見つかりません。");
    case QAbstractSocket::SocketAccessError:
        return QStringLiteral("アクセスが拒否されました。");
    case QAbstractSocket::SocketResourceError:
        return QStringLiteral("ソケットの資源が不足しています。");
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("ソケットの操作がタイムアウトしました。");
    case QAbstractSocket::DatagramTooLargeError:
        return QStringLiteral("データグラムが大きすぎます。");
    case QAbstractSocket::NetworkError:
        return QStringLiteral("ネットワークエラーが発生しました。");
    case QAbstractSocket::AddressInUseError:
        return QStringLiteral("アドレスは既に使用されています。");
    case QAbstractSocket::SocketAddressNotAvailableError:
        return QStringLiteral("要求されたアドレスは使用できません。");
    case QAbstractSocket::UnsupportedSocketOperationError:
        return QStringLiteral("この操作はサポートされていません。");
    case QAbstractSocket::UnfinishedSocketOperationError:
        return QStringLiteral("前の操作が終わっていません。");
    case QAbstractSocket::ProxyAuthenticationRequiredError:
        return QStringLiteral("プロキシの認証が必要です。");
    case QAbstractSocket::SslHandshakeFailedError:
        return QStringLiteral("SSLのハンドシェイクに失敗しました。");
    case QAbstractSocket::ProxyConnectionRefusedError:
        return QStringLiteral("プロキシへの接続が拒否されました。");
    case QAbstractSocket::ProxyConnectionClosedError:
        return QStringLiteral("プロキシとの接続が切れました。");
    case QAbstractSocket::ProxyConnectionTimeoutError:
        return QStringLiteral("プロキシへの接続がタイムアウトしました。");
    case QAbstractSocket::ProxyNotFoundError:
        return QStringLiteral("プロキシが見つかりません。");
    case QAbstractSocket::ProxyProtocolError:
        return QStringLiteral("プロキシとの通信に失敗しました。");
    case QAbstractSocket::OperationError:
        return QStringLiteral("ソケットの状態が不正なため操作できません。");
    case QAbstractSocket::SslInternalError:
        return QStringLiteral("SSLの内部エラーが発生しました。");
    case QAbstractSocket::SslInvalidUserDataError:
        return QStringLiteral("SSLのデータが不正です。");
    case QAbstractSocket::TemporaryError:
        return QStringLiteral("一時的なエラーが発生しました。");
    case QAbstractSocket::UnknownSocketError:
        break;
    }
    const QString unknown = QStringLiteral("ソケットエラーが発生しました。");
    return systemText.isEmpty() ? unknown : unknown + QStringLiteral("(%1)").arg(systemText);
}

// The kind of socket error an errno from a connection stands for.
QAbstractSocket::SocketError kindOf(int error)
{
    switch (error) {
    case ECONNRESET:
    case EPIPE:
        return QAbstractSocket::RemoteHostClosedError;
    case ETIMEDOUT:
        return QAbstractSocket::SocketTimeoutError;
    case ENETDOWN:
    case ENETUNREACH:
    case ENETRESET:
    case EHOSTUNREACH:
    case ECONNABORTED:
        return QAbstractSocket::NetworkError;
    case ENOMEM:
    case ENOBUFS:
        return QAbstractSocket::SocketResourceError;
    default:
        return QAbstractSocket::UnknownSocketError;
    }
}
} // namespace

class SocketControl::Listener : public QTcpServer
{
public:
    explicit Listener(SocketControl *owner) : QTcpServer(owner), m_owner(owner) { }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        m_owner->onIncomingConnection(descriptor);
    }

private:
    SocketControl *m_owner;
};

SocketControl::SocketControl(int index, QObject *parent) : QObject(parent), m_index(index) { }

SocketControl::~SocketControl()
{
    // Going away with the window: nobody is left to hear of anything dropped.
    blockSignals(true);
    close();
}

int SocketControl::state() const
{
    if (m_server)
        return sckListening;
    if (!m_connection)
        return sckClosed;
    if (m_failed)
        return sckError;
    return m_connection->peerFinished() ? sckClosing : sckConnected;
}

void SocketControl::setLocalPort(qint32 port)
{
    if (state() != sckClosed)
        throw RuntimeError(ErrorText::wrongSocketState);
    if (port < 0 || port > 65535)
        throw RuntimeError(ErrorText::invalidPropertyValue);
    m_localPort = port;
}

void SocketControl::setLocalAddress(const QString &address)
{
    if (state() != sckClosed)
        throw RuntimeError(ErrorText::wrongSocketState);
    m_localAddress = address;
}

void SocketControl::listen()
{
    if (state() != sckClosed)
        throw RuntimeError(ErrorText::wrongSocketState);
    const QHostAddress address = NumericAddress(m_localAddress);
    if (!m_localAddress.isEmpty() && address.isNull())
        throw RuntimeError(describe(QAbstractSocket::SocketAddressNotAvailableError, QString()));
    auto *server = new Listener(this);
    const auto port = static_cast<quint16>(m_localPort);
    bool listening = server->listen(address.isNull() ? QHostAddress::Any : address, port);
    if (!listening && address.isNull()
        && server->serverError() == QAbstractSocket::UnsupportedSocketOperationError)
        listening = server->listen(QHostAddress::AnyIPv4, port); // a machine without IPv6
    if (!listening) {
        const QString description = describe(server->serverError(), server->errorString());
        delete server;
        throw RuntimeError(description);
    }
    connect(server, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError error) {
        emit socketError(m_index, int(error), describe(error, m_server->errorString()));
    });
    m_server = server;
}

void SocketControl::close()
{
    if (m_server) {
        m_server->close();
        m_server->deleteLater();
        m_server = nullptr;
    }
    dropConnection();
}

void SocketControl::accept(qintptr requestId)
{
    if (state() != sckClosed)
        throw RuntimeError(ErrorText::wrongSocketState);
    if (!pendingRequests().remove(requestId))
        throw RuntimeError(ErrorText::invalidArgument);
    auto *connection = new PeerConnection(int(requestId), this);
    connect(connection, &PeerConnection::readyRead, this, &SocketControl::onReadyRead);
    connect(connection, &PeerConnection::finishedSending, this, &SocketControl::onReadyRead);
    connect(connection, &PeerConnection::bytesWritten, this, &SocketControl::onBytesWritten);
    connect(connection, &PeerConnection::errorOccurred, this, &SocketControl::onConnectionError);
    connect(connection, &PeerConnection::stalled, this, &SocketControl::onStalled);
    setCurrentConnection(connection);
}

void SocketControl::setCurrentConnection(PeerConnection *connection)
{
    m_connection = connection;
    m_announced = 0;
    m_failed = false;
    m_arrivalHeldBack = false;
    m_closeAnnounced = false;
    m_ending = false;
    m_restHandedOver = false;
}

qint64 SocketControl::bytesReceived() const
{
    return m_connection ? m_connection->bytesAvailable() : 0;
}

bool SocketControl::nothingMoreCanFollow() const
{
    return m_connection && (m_ending || m_connection->peerFinished());
}

QByteArray SocketControl::getData(qint64 maxLength)
{
    if (!m_connection)
        throw RuntimeError(ErrorText::wrongSocketState);
    const QByteArray data = m_connection->read(maxLength);
    m_announced = std::max<qint64>(0, m_announced - data.size());
    return data;
}

void SocketControl::sendData(const QByteArray &data)
{
    if (!m_connection)
        throw RuntimeError(ErrorText::wrongSocketState);
    m_connection->write(data);
}

quint16 SocketControl::listeningPort() const
{
    return m_server ? m_server->serverPort() : 0;
}

QString SocketControl::peerAddress() const
{
    return m_connection ? m_connection->peerAddress().toString() : QString();
}

quint16 SocketControl::peerPort() const
{
    return m_connection ? m_connection->peerPort() : 0;
}

qint64 SocketControl::bytesToSend() const
{
    return m_connection ? m_connection->bytesToWrite() : 0;
}

bool SocketControl::sendBacklogFull() const
{
    return bytesToSend() > maxSendBacklog;
}

void SocketControl::onReadyRead()
{
    if (!m_connection || m_failed)
        return;
    // A peer that does not read its echoes is not read either, until the backlog drains.
    if (sendBacklogFull()) {
        m_arrivalHeldBack = true;
        m_connection->watchDelivery();
        return;
    }
    m_arrivalHeldBack = false;
    // Only bytes not announced yet raise an event: a lone byte left waiting is not raised again.
    const qint64 available = m_connection->bytesAvailable();
    if (available > m_announced) {
        m_announced = available;
        emit dataArrival(m_index, available);
    }
    // The peer has finished sending: once every byte before its end has been handed over (a
    // lone byte left waiting once more, as the last block), the connection is closed (and its
    // echo still delivered).
    if (m_connection && m_connection->peerFinished() && !m_arrivalHeldBack && !m_closeAnnounced) {
        handOverRest();
        if (m_connection && !m_closeAnnounced && m_connection->bytesAvailable() <= m_announced) {
            m_closeAnnounced = true;
            emit closed(m_index);
        }
    }
}

void SocketControl::onBytesWritten()
{
    if (m_arrivalHeldBack && !sendBacklogFull())
        onReadyRead();
}

void SocketControl::onConnectionError(int error)
{
    if (!m_connection || m_failed)
        return;
    m_failed = true;
    const QAbstractSocket::SocketError kind = kindOf(error);
    // A peer that resets is gone, as one that closes is.
    if (kind == QAbstractSocket::RemoteHostClosedError) {
        if (!m_closeAnnounced) {
            m_closeAnnounced = true;
            emit closed(m_index);
        }
        return;
    }
    emit socketError(m_index, int(kind), describe(kind, QString::fromLocal8Bit(strerror(error))));
}

void SocketControl::onStalled()
{
    // A peer that reads nothing while its echo waits may still read later, unless it has finished
    // sending: then it is ended. Every byte it sent is taken in and handed over first, so the
    // log accounts for all of it, and the close gives up on the echo at once.
    if (!m_connection || m_failed || !m_arrivalHeldBack || !m_connection->peerHasSentEnd())
        return;
    handOverRest();
    if (m_connection && !m_closeAnnounced) {
        m_closeAnnounced = true;
        emit closed(m_index);
    }
}

void SocketControl::onIncomingConnection(qintptr descriptor)
{
    pendingRequests().insert(descriptor);
    emit connectionRequest(m_index, descriptor);
    // A request nobody took is refused, as an unanswered request is.
    if (pendingRequests().remove(descriptor))
        ::close(int(descriptor));
}

void SocketControl::handOverRest()
{
    m_ending = true;
    if (!m_connection || m_restHandedOver)
        return;
    m_connection->drainReceived();
    const qint64 available = m_connection->bytesAvailable();
    if (available == 0)
        return;
    m_restHandedOver = true;
    m_announced = available;
    emit dataArrival(m_index, available);
}

void SocketControl::closeNow()
{
    close();
    for (const QPointer<PeerConnection> &lingering : m_lingering) {
        if (lingering)
            lingering->closeNow();
    }
    m_lingering.clear();
}

void SocketControl::dropConnection()
{
    // Bytes read and not yet handled, and what the kernel still holds, are the peer's too.
    if (m_connection)
        handOverRest();
    PeerConnection *connection = m_connection;
    setCurrentConnection(nullptr);
    if (!connection)
        return;
    connection->disconnect(this);
    connect(connection, &PeerConnection::dropped, this,
            [this](qint64 bytes, qint64 inFlight) { emit echoDropped(m_index, bytes, inFlight); });
    connection->closeGracefully();
    // Whatever newer peers do, a closed connection delivers until it is done or stalls; only
    // beyond the bound is the oldest cut.
    const auto gone = [](const QPointer<PeerConnection> &lingering) {
        return !lingering || !lingering->isOpen();
    };
    m_lingering.erase(std::remove_if(m_lingering.begin(), m_lingering.end(), gone),
                      m_lingering.end());
    if (connection->isOpen())
        m_lingering.push_back(connection);
    while (m_lingering.size() > std::size_t(maxLingering)) {
        const QPointer<PeerConnection> oldest = m_lingering.front();
        m_lingering.pop_front();
        oldest->closeNow();
    }
}
