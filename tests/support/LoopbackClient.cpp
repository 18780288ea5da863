#include "LoopbackClient.h"

#include <QSignalSpy>
#include <QTest>

LoopbackClient::LoopbackClient(QObject *parent) : QObject(parent)
{
    connect(&m_socket, &QTcpSocket::readyRead, this, &LoopbackClient::collect);
}

bool LoopbackClient::connectTo(quint16 port, const QString &address)
{
    m_socket.connectToHost(QHostAddress(address), port);
    (void)QTest::qWaitFor(
        [this] {
            return m_socket.state() == QAbstractSocket::ConnectedState
                || m_socket.state() == QAbstractSocket::UnconnectedState;
        },
        5000);
    return m_socket.state() == QAbstractSocket::ConnectedState;
}

void LoopbackClient::send(const QByteArray &bytes)
{
    m_socket.write(bytes);
    m_socket.flush();
}

bool LoopbackClient::waitForReceived(qsizetype count, int timeoutMs)
{
    return QTest::qWaitFor([&] { return received.size() >= count; }, timeoutMs);
}

bool LoopbackClient::waitForDisconnected(int timeoutMs)
{
    return QTest::qWaitFor([this] { return m_socket.state() == QAbstractSocket::UnconnectedState; },
                           timeoutMs);
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
