#include "LoopbackClient.h"

#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QTest>

LoopbackClient::LoopbackClient(QObject *parent) : QObject(parent)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, &LoopbackClient::collect);
}

bool LoopbackClient::connectTo(quint16 port, const QString &address)
{
    m_socket.connectToHost(QHostAddress(address), port);
    QDeadlineTimer deadline(5000);
    while (m_socket.state() != QAbstractSocket::ConnectedState
           && m_socket.state() != QAbstractSocket::UnconnectedState && !deadline.hasExpired())
        QTest::qWait(5);
    return m_socket.state() == QAbstractSocket::ConnectedState;
}

void LoopbackClient::send(const QByteArray &bytes)
{
    m_socket.write(bytes);
    m_socket.flush();
}

bool LoopbackClient::waitForReceived(qsizetype count, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (received.size() < count && !deadline.hasExpired())
        QTest::qWait(2);
    return received.size() >= count;
}

bool LoopbackClient::waitForDisconnected(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (m_socket.state() != QAbstractSocket::UnconnectedState && !deadline.hasExpired())
        QTest::qWait(5);
    return m_socket.state() == QAbstractSocket::UnconnectedState;
}

void LoopbackClient::setReading(bool reading)
{
    m_reading = reading;
    // A small read buffer makes Qt stop draining the kernel once it is full.
    m_socket.setReadBufferSize(reading ? 0 : 64 * 1024);
    if (reading)
        collect();
}

void LoopbackClient::collect()
{
    if (m_reading)
        received.append(m_socket.readAll());
}
