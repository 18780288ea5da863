#include "platform/SocketControl.h"

#include "platform/RuntimeError.h"

#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <unistd.h>

namespace {
// Received bytes held in memory before the socket stops taking more from the kernel.
constexpr qint64 readChunk = 256 * 1024;
// How long a replaced connection may keep flushing its last echoes before it is cut.
constexpr int lingerMilliseconds = 10000;

// Connection requests announced but not yet taken over by an accept.
QSet<qintptr> &pendingRequests()
{
    static QSet<qintptr> requests;
    return requests;
}

void discard(QTcpSocket *socket)
{
    socket->abort();
    socket->deleteLater();
}

QString describe(QAbstractSocket::SocketError error, const QString &systemText)
{
    switch (error) {
    case QAbstractSocket::AddressInUseError:
        return QStringLiteral("アドレスは既に使用されています。");
    case QAbstractSocket::SocketAccessError:
        return QStringLiteral("アクセスが拒否されました。");
    case QAbstractSocket::SocketAddressNotAvailableError:
        return QStringLiteral("要求されたアドレスは使用できません。");
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("接続が拒否されました。");
    case QAbstractSocket::NetworkError:
        return QStringLiteral("ネットワークエラーが発生しました。");
    case QAbstractSocket::SocketResourceError:
        return QStringLiteral("ソケットの資源が不足しています。");
    default:
        return QStringLiteral("ソケットエラーが発生しました。(%1)").arg(systemText);
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
    close();
}

int SocketControl::state() const
{
    if (m_server)
        return sckListening;
    if (!m_socket)
        return sckClosed;
    if (m_failed)
        return sckError;
    if (m_socket->state() == QAbstractSocket::ConnectedState)
        return sckConnected;
    return sckClosing;
}

void SocketControl::setLocalPort(qint32 port)
{
    if (state() != sckClosed)
        throw RuntimeError(ErrorText::wrongSocketState);
    if (port < 0 || port > 65535)
        throw RuntimeError(ErrorText::invalidPropertyValue);
    m_localPort = port;
}

void SocketControl::listen()
{
    if (state() != sckClosed)
        throw RuntimeError(ErrorText::wrongSocketState);
    auto *server = new Listener(this);
    const auto port = static_cast<quint16>(m_localPort);
    bool listening = server->listen(QHostAddress::Any, port);
    if (!listening && server->serverError() == QAbstractSocket::UnsupportedSocketOperationError)
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
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(requestId)) {
        ::close(int(requestId));
        const QString description = describe(socket->error(), socket->errorString());
        delete socket;
        throw RuntimeError(description);
    }
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket->setReadBufferSize(readChunk);
    connect(socket, &QTcpSocket::readyRead, this, &SocketControl::onReadyRead);
    connect(socket, &QTcpSocket::bytesWritten, this, &SocketControl::onBytesWritten);
    connect(socket, &QTcpSocket::disconnected, this, &SocketControl::onDisconnected);
    connect(socket, &QTcpSocket::errorOccurred, this, &SocketControl::onSocketError);
    m_socket = socket;
    m_failed = false;
    m_arrivalHeldBack = false;
}

qint64 SocketControl::bytesReceived() const
{
    return m_socket ? m_socket->bytesAvailable() : 0;
}

QByteArray SocketControl::getData(qint64 maxLength)
{
    if (!m_socket)
        throw RuntimeError(ErrorText::wrongSocketState);
    return m_socket->read(maxLength);
}

void SocketControl::sendData(const QByteArray &data)
{
    if (state() != sckConnected && state() != sckClosing)
        throw RuntimeError(ErrorText::wrongSocketState);
    if (m_socket->write(data) != data.size())
        throw RuntimeError(describe(m_socket->error(), m_socket->errorString()));
}

void SocketControl::flush()
{
    // Hands queued bytes to the kernel now rather than after the window's next repaint.
    if (m_socket)
        m_socket->flush();
}

qint64 SocketControl::bytesToSend() const
{
    return m_socket ? m_socket->bytesToWrite() : 0;
}

bool SocketControl::sendBacklogFull() const
{
    return bytesToSend() > maxSendBacklog;
}

void SocketControl::onReadyRead()
{
    if (!m_socket || m_socket->bytesAvailable() == 0)
        return;
    // A peer that does not read its echoes is not read either, until the backlog drains.
    if (sendBacklogFull()) {
        m_arrivalHeldBack = true;
        return;
    }
    m_arrivalHeldBack = false;
    emit dataArrival(m_index, m_socket->bytesAvailable());
}

void SocketControl::onBytesWritten()
{
    if (m_arrivalHeldBack && !sendBacklogFull())
        onReadyRead();
}

void SocketControl::onDisconnected()
{
    // Bytes that came before the peer's close are still delivered.
    if (m_socket && m_socket->bytesAvailable() > 0) {
        m_arrivalHeldBack = false;
        emit dataArrival(m_index, m_socket->bytesAvailable());
    }
    if (m_socket)
        emit closed(m_index);
}

void SocketControl::onSocketError()
{
    if (!m_socket || m_socket->error() == QAbstractSocket::RemoteHostClosedError)
        return;
    m_failed = true;
    emit socketError(m_index, int(m_socket->error()),
                     describe(m_socket->error(), m_socket->errorString()));
}

void SocketControl::onIncomingConnection(qintptr descriptor)
{
    pendingRequests().insert(descriptor);
    emit connectionRequest(m_index, descriptor);
    // A request nobody took is refused, as an unanswered request is.
    if (pendingRequests().remove(descriptor))
        ::close(int(descriptor));
}

void SocketControl::dropConnection()
{
    QTcpSocket *socket = m_socket;
    m_socket = nullptr;
    m_failed = false;
    m_arrivalHeldBack = false;
    if (!socket)
        return;
    socket->disconnect(this);
    // Only the latest replaced connection may still flush; an older one is cut now.
    if (m_lingering)
        discard(m_lingering);
    if (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() > 0) {
        // Let the echoes already queued reach the peer, but not forever.
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(lingerMilliseconds, socket, [socket] { discard(socket); });
        socket->disconnectFromHost();
        m_lingering = socket;
        return;
    }
    discard(socket);
}
