#pragma once

#include <QByteArray>
#include <QTcpSocket>

// A peer on the loopback interface that collects everything the tool sends back.
class LoopbackClient : public QObject
{
    Q_OBJECT

public:
    explicit LoopbackClient(QObject *parent = nullptr);

    // Connects and waits (bounded) until the connection is up; false when refused.
    bool connectTo(quint16 port, const QString &address = QStringLiteral("127.0.0.1"));
    void send(const QByteArray &bytes);
    // Waits (bounded) until at least count bytes came back.
    bool waitForReceived(qsizetype count, int timeoutMs = 10000);
    // Waits (bounded) until the tool closed the connection.
    bool waitForDisconnected(int timeoutMs = 5000);

    // While paused, the client takes nothing more from the kernel, like a peer that never reads.
    void setReading(bool reading);

    QTcpSocket &socket() { return m_socket; }
    QByteArray received;

private:
    void collect();

    QTcpSocket m_socket;
    bool m_reading = true;
};
