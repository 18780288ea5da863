#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>

#include <memory>

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

// A loopback peer on a raw descriptor, so that the test controls what Qt would hide: its receive
// buffer before connecting, half-closing, resetting, and reading at its own pace.
class RawPeer : public QObject
{
public:
    explicit RawPeer(quint16 port, int receiveBuffer = 0)
        : m_descriptor(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        if (receiveBuffer > 0)
            ::setsockopt(m_descriptor, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected
            = ::connect(m_descriptor, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        ::fcntl(m_descriptor, F_SETFL, ::fcntl(m_descriptor, F_GETFL) | O_NONBLOCK);
        m_readable = std::make_unique<QSocketNotifier>(m_descriptor, QSocketNotifier::Read);
        m_writable = std::make_unique<QSocketNotifier>(m_descriptor, QSocketNotifier::Write);
        m_readable->setEnabled(false);
        m_writable->setEnabled(false);
        connect(m_readable.get(), &QSocketNotifier::activated, this, [this] { take(1 << 20); });
        connect(m_writable.get(), &QSocketNotifier::activated, this, &RawPeer::pushOut);
    }
    ~RawPeer() override
    {
        if (m_descriptor >= 0)
            ::close(m_descriptor);
    }

    bool connected() const { return m_connected; }
    // Queued and sent from the event loop as the tool takes it.
    void send(const QByteArray &bytes)
    {
        m_outbox += bytes;
        pushOut();
    }
    bool allSent() const { return m_outbox.isEmpty(); }
    // Bytes this peer's own kernel holds that the tool has not acknowledged: they never reached
    // the tool's machine.
    qint64 notYetAcknowledged() const
    {
        int bytes = 0;
        return ::ioctl(m_descriptor, SIOCOUTQ, &bytes) == 0 ? bytes : -1;
    }
    // Acknowledges what arrives only after a while, as a busy peer's kernel does.
    void delayAcknowledgements()
    {
        const int off = 0;
        ::setsockopt(m_descriptor, IPPROTO_TCP, TCP_QUICKACK, &off, sizeof off);
    }
    // Bytes this peer's kernel holds for it to read.
    int waiting() const
    {
        int bytes = 0;
        return ::ioctl(m_descriptor, FIONREAD, &bytes) == 0 ? bytes : -1;
    }
    // True once the tool's kernel has acknowledged this peer's half-close.
    bool endAcknowledged() const
    {
        tcp_info info {};
        socklen_t length = sizeof info;
        return ::getsockopt(m_descriptor, IPPROTO_TCP, TCP_INFO, &info, &length) == 0
            && info.tcpi_state == TCP_FIN_WAIT2;
    }
    void halfClose() { ::shutdown(m_descriptor, SHUT_WR); }
    // Half-closes at once, giving up on what this peer's kernel would not take yet; returns how
    // many bytes that was.
    qsizetype halfCloseNow()
    {
        const qsizetype abandoned = m_outbox.size();
        m_outbox.clear();
        m_writable->setEnabled(false);
        halfClose();
        return abandoned;
    }
    void reset()
    {
        const linger resetOnClose {1, 0};
        ::setsockopt(m_descriptor, SOL_SOCKET, SO_LINGER, &resetOnClose, sizeof resetOnClose);
        ::close(m_descriptor);
        m_descriptor = -1;
    }
    void setReading(bool reading) { m_readable->setEnabled(reading && !m_ended); }
    // Takes up to count bytes the kernel holds now.
    void take(qsizetype count)
    {
        QByteArray chunk(count, Qt::Uninitialized);
        const ssize_t got = ::recv(m_descriptor, chunk.data(), size_t(count), 0);
        if (got > 0) {
            received += chunk.left(got);
        } else if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            m_endError = got == 0 ? 0 : errno;
            m_ended = true;
            m_readable->setEnabled(false);
        }
    }
    // True once the tool closed or reset the connection and every byte before that was read.
    bool ended() const { return m_ended; }
    // How it ended: 0 for a clean end, ECONNRESET for a reset (seen reading or sending).
    int endError() const { return m_endError != 0 ? m_endError : m_sendError; }

    QByteArray received;

private:
    void pushOut()
    {
        while (!m_outbox.isEmpty()) {
            const ssize_t sent
                = ::send(m_descriptor, m_outbox.constData(), size_t(m_outbox.size()), MSG_NOSIGNAL);
            if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                // The connection is gone; a reset seen here is not seen by the next read.
                m_sendError = errno;
                m_outbox.clear();
            }
            if (sent <= 0)
                break;
            m_outbox.remove(0, sent);
        }
        m_writable->setEnabled(!m_outbox.isEmpty());
    }

    int m_descriptor;
    bool m_connected = false;
    bool m_ended = false;
    int m_endError = 0;
    int m_sendError = 0;
    QByteArray m_outbox;
    std::unique_ptr<QSocketNotifier> m_readable;
    std::unique_ptr<QSocketNotifier> m_writable;
};
