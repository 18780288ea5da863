#include "EchoStream.h"

#include "EventWait.h"

#include <QHostAddress>
#include <QRandomGenerator>

namespace {
constexpr qint64 periodBytes = 1048573; // prime: never a multiple of a socket's chunk size
constexpr qint64 maxQueued = 512 * 1024;
} // namespace

EchoStream::EchoStream(quint32 seed, QObject *parent) : QObject(parent), m_period(periodBytes, 0)
{
    QRandomGenerator generator(seed);
    for (char &byte : m_period)
        byte = char(generator.bounded(256));
    connect(&m_socket, &QTcpSocket::bytesWritten, this, &EchoStream::pump);
    connect(&m_socket, &QTcpSocket::readyRead, this, &EchoStream::check);
}

bool EchoStream::connectTo(quint16 port)
{
    m_socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    const bool connected = WaitUntil(
        [this] {
            return m_socket.state() != QAbstractSocket::ConnectingState
                && m_socket.state() != QAbstractSocket::HostLookupState;
        },
        5000);
    return connected && m_socket.state() == QAbstractSocket::ConnectedState;
}

void EchoStream::setTarget(qint64 bytes)
{
    m_target = bytes;
    pump();
}

char EchoStream::byteAt(qint64 position) const
{
    return char(quint8(m_period.at(position % periodBytes)) + quint8(position / periodBytes));
}

void EchoStream::pump()
{
    while (m_socket.state() == QAbstractSocket::ConnectedState && m_sent < m_target
           && m_socket.bytesToWrite() < maxQueued) {
        const qint64 size = std::min(m_writeSize, m_target - m_sent);
        QByteArray chunk(size, Qt::Uninitialized);
        for (qint64 i = 0; i < size; ++i)
            chunk[i] = byteAt(m_sent + i);
        m_socket.write(chunk);
        m_sent += size;
    }
}

void EchoStream::check()
{
    const QByteArray bytes = m_socket.readAll();
    for (qsizetype i = 0; i < bytes.size() && intact(); ++i) {
        if (m_echoed + i >= m_sent || bytes.at(i) != byteAt(m_echoed + i))
            m_firstMismatch = m_echoed + i;
    }
    m_echoed += bytes.size();
}
