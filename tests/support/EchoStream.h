#pragma once

#include <QByteArray>
#include <QTcpSocket>

// A loopback peer that streams a long, deterministic byte pattern to the tool and checks every
// echoed byte against it as it comes back: count, order and content. It writes only while little
// is queued, so neither side holds the whole stream in memory.
class EchoStream : public QObject
{
    Q_OBJECT

public:
    explicit EchoStream(quint32 seed, QObject *parent = nullptr);

    // Connects and waits (bounded) until the connection is up.
    bool connectTo(quint16 port);
    // How many bytes to send in all; raising it later makes the stream go on.
    void setTarget(qint64 bytes);
    // Bytes per write, 64 KiB unless set: a peer that writes a little at a time.
    void setWriteSize(qint64 bytes) { m_writeSize = bytes; }
    qint64 target() const { return m_target; }

    qint64 sent() const { return m_sent; }
    qint64 echoed() const { return m_echoed; }
    // True while every echoed byte matched; otherwise firstMismatch() is its stream position.
    bool intact() const { return m_firstMismatch < 0; }
    qint64 firstMismatch() const { return m_firstMismatch; }

    // The byte at a position of the stream; a prime period and a per-period salt make a block
    // that arrives twice or out of place differ from the expected one.
    char byteAt(qint64 position) const;

    QTcpSocket &socket() { return m_socket; }

private:
    void pump();
    void check();

    QTcpSocket m_socket;
    QByteArray m_period;
    qint64 m_target = 0;
    qint64 m_writeSize = 64 * 1024;
    qint64 m_sent = 0;
    qint64 m_echoed = 0;
    qint64 m_firstMismatch = -1;
};
