#include "platform/PeerConnection.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>

#include <cerrno>
#include <fcntl.h>
#include <linux/sockios.h>
#include <malloc.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// Acknowledgements raise no event, so a closing connection looks at its send queue this often.
constexpr int deliveryCheckMilliseconds = 20;

// The blocks a connection held go back to the system, not only to the allocator: a peer's
// backlog must not stay with the process after its connection has ended.
void ReturnFreedMemory()
{
    ::malloc_trim(0);
}
} // namespace

PeerConnection::PeerConnection(int descriptor, QObject *parent)
    : QObject(parent), m_descriptor(descriptor),
      m_readNotifier(new QSocketNotifier(descriptor, QSocketNotifier::Read, this)),
      m_writeNotifier(new QSocketNotifier(descriptor, QSocketNotifier::Write, this))
{
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) | O_NONBLOCK);
    const int on = 1;
    ::setsockopt(descriptor, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    m_writeNotifier->setEnabled(false);
    sockaddr_storage peer {};
    socklen_t peerLength = sizeof peer;
    if (::getpeername(descriptor, reinterpret_cast<sockaddr *>(&peer), &peerLength) == 0) {
        m_peerAddress.setAddress(reinterpret_cast<const sockaddr *>(&peer));
        bool mapped = false;
        const quint32 ipv4 = m_peerAddress.toIPv4Address(&mapped);
        if (mapped)
            m_peerAddress.setAddress(ipv4);
        m_peerPort = ntohs(peer.ss_family == AF_INET6
                               ? reinterpret_cast<const sockaddr_in6 *>(&peer)->sin6_port
                               : reinterpret_cast<const sockaddr_in *>(&peer)->sin_port);
    }
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PeerConnection::onReadable);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PeerConnection::sendQueued);
}

PeerConnection::~PeerConnection()
{
    m_readNotifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

QByteArray PeerConnection::read(qint64 maxLength)
{
    QByteArray bytes;
    if (maxLength >= m_received.size()) {
        bytes.swap(m_received);
    } else {
        bytes = m_received.left(maxLength);
        m_received.remove(0, maxLength);
    }
    // Room again: take more from the kernel.
    if (readingAllowed() && !m_pausedForTurn && m_received.size() < maxHeldBytes)
        m_readNotifier->setEnabled(true);
    return bytes;
}

void PeerConnection::write(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    m_written += bytes.size();
    if (m_error != 0 || m_descriptor < 0) {
        m_unsendable += bytes.size(); // owned up to when the connection ends
        return;
    }
    m_queued += bytes.size();
    // A tiny block joins the tail, which is then this connection's own copy: a queue of many
    // tiny blocks would cost far more than their bytes. Appending never moves what is being sent.
    if (bytes.size() < joinBelow && !m_queue.empty()
        && m_queue.back().size() + bytes.size() <= joinedBlockLimit)
        m_queue.back().append(bytes);
    else
        m_queue.push_back(bytes);
    // Straight to the kernel: the write notifier is armed only for what the kernel cannot take.
    sendQueued();
}

void PeerConnection::flush()
{
    if (m_error == 0 && m_descriptor >= 0)
        sendQueued();
}

bool PeerConnection::peerHasSentEnd() const
{
    if (m_peerFinished)
        return true;
    tcp_info info {};
    socklen_t length = sizeof info;
    return m_descriptor >= 0
        && ::getsockopt(m_descriptor, IPPROTO_TCP, TCP_INFO, &info, &length) == 0
        && info.tcpi_state == TCP_CLOSE_WAIT;
}

bool PeerConnection::readingAllowed() const
{
    return !m_peerFinished && !m_closing && m_error == 0;
}

void PeerConnection::onReadable()
{
    if (m_received.size() >= maxHeldBytes) {
        m_readNotifier->setEnabled(false); // the reader has enough; read() asks for more
        return;
    }
    const qsizetype count = receive(maxHeldBytes - m_received.size());
    if (count > 0) {
        m_readThisTurn += count;
        if (m_readThisTurn >= readBudgetPerTurn)
            pauseForTurn();
        emit readyRead();
    } else if (m_peerFinished) {
        emit finishedSending();
    }
}

qsizetype PeerConnection::receive(qsizetype limit)
{
    // Straight into a buffer of the size waiting, so that each block holds only its own bytes
    // while its echo waits. Nothing waiting means the peer's end of file or an error.
    int waiting = 0;
    if (::ioctl(m_descriptor, FIONREAD, &waiting) != 0 || waiting < 1)
        waiting = 1;
    const qsizetype held = m_received.size();
    const qsizetype room = std::min<qsizetype>(waiting, limit);
    m_received.resize(held + room);
    const ssize_t count = ::recv(m_descriptor, m_received.data() + held, size_t(room), 0);
    m_received.resize(held + std::max<ssize_t>(count, 0));
    if (count == 0) {
        m_peerFinished = true;
        m_readNotifier->setEnabled(false);
    } else if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        fail(errno);
    }
    return std::max<ssize_t>(count, 0);
}

void PeerConnection::drainReceived()
{
    int waiting = 0;
    if (m_descriptor < 0 || ::ioctl(m_descriptor, FIONREAD, &waiting) != 0)
        return;
    qsizetype left = waiting;
    while (left > 0 && m_error == 0 && !m_peerFinished) {
        const qsizetype count = receive(left);
        if (count == 0)
            break;
        left -= count;
    }
}

void PeerConnection::pauseForTurn()
{
    m_pausedForTurn = true;
    m_readNotifier->setEnabled(false);
    // A timer object, not a posted event (which a zero single-shot would be): it fires only with
    // the other timers that are due, so the clock and the window's refresh have had their turn
    // before reading goes on.
    if (!m_turnEnd) {
        m_turnEnd = new QTimer(this);
        m_turnEnd->setSingleShot(true);
        m_turnEnd->setInterval(0);
        connect(m_turnEnd, &QTimer::timeout, this, &PeerConnection::resumeReading);
    }
    m_turnEnd->start();
}

void PeerConnection::resumeReading()
{
    m_pausedForTurn = false;
    m_readThisTurn = 0;
    if (readingAllowed() && m_descriptor >= 0 && m_received.size() < maxHeldBytes)
        m_readNotifier->setEnabled(true);
}

void PeerConnection::sendQueued()
{
    qint64 sent = 0;
    while (!m_queue.empty()) {
        const QByteArray &front = m_queue.front();
        const ssize_t count = ::send(m_descriptor, front.constData() + m_frontOffset,
                                     size_t(front.size() - m_frontOffset), MSG_NOSIGNAL);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                fail(errno);
            break;
        }
        sent += count;
        m_queued -= count;
        m_frontOffset += count;
        if (m_frontOffset == front.size()) {
            m_queue.pop_front();
            m_frontOffset = 0;
        }
    }
    if (m_error != 0 || m_descriptor < 0)
        return;
    m_writeNotifier->setEnabled(!m_queue.empty());
    if (sent > 0)
        emit bytesWritten();
}

void PeerConnection::fail(int error)
{
    if (m_error != 0)
        return;
    m_error = error;
    m_readNotifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
    if (m_closing) {
        end();
        return;
    }
    // Reported from the event loop, as socket events are, never from inside a caller's flush().
    QTimer::singleShot(0, this, [this] { emit errorOccurred(m_error); });
}

void PeerConnection::watchDelivery()
{
    if (m_closing || m_error != 0 || m_deliveryCheck)
        return;
    startDeliveryCheck();
}

void PeerConnection::closeGracefully()
{
    if (m_closing)
        return;
    m_closing = true;
    m_readNotifier->setEnabled(false);
    m_received.clear(); // nobody reads it any more
    // A peer marked stalled that has taken bytes since is served, not cut.
    if (m_error != 0 || (m_stalled && !progressed())) {
        end();
        return;
    }
    startDeliveryCheck();
    checkDelivery();
}

void PeerConnection::closeNow()
{
    end();
}

void PeerConnection::startDeliveryCheck()
{
    if (!m_deliveryCheck) {
        m_deliveryCheck = new QTimer(this);
        connect(m_deliveryCheck, &QTimer::timeout, this, &PeerConnection::checkDelivery);
    }
    m_acknowledged = m_written - undelivered();
    m_sinceProgress.start();
    m_deliveryCheck->start(deliveryCheckMilliseconds);
}

void PeerConnection::checkDelivery()
{
    if (m_descriptor < 0)
        return;
    // A reset while nothing is being sent shows only as the socket's pending error.
    int pending = 0;
    socklen_t length = sizeof pending;
    if (::getsockopt(m_descriptor, SOL_SOCKET, SO_ERROR, &pending, &length) == 0 && pending != 0) {
        fail(pending);
        return;
    }
    flush();
    if (m_descriptor < 0 || m_error != 0)
        return;
    if (m_closing && undelivered() == 0) {
        end();
        return;
    }
    // Progress is any byte acknowledged, however slowly: only a peer that takes nothing stalls.
    if (!progressed() && m_sinceProgress.hasExpired(s_stallMilliseconds)) {
        if (m_closing) {
            end();
            return;
        }
        m_stalled = true;
        m_sinceProgress.start(); // reported again after another spell
        emit stalled();
    }
}

bool PeerConnection::progressed()
{
    const qint64 remaining = undelivered();
    const qint64 acknowledgedNow = m_written - remaining;
    if (acknowledgedNow <= m_acknowledged && remaining != 0)
        return false;
    m_acknowledged = acknowledgedNow;
    m_stalled = false;
    m_sinceProgress.start();
    return true;
}

namespace {
int KernelQueue(int descriptor, unsigned long request)
{
    int bytes = 0;
    if (descriptor < 0 || ::ioctl(descriptor, request, &bytes) != 0)
        return 0;
    return bytes;
}
} // namespace

qint64 PeerConnection::undelivered() const
{
    return m_queued + m_unsendable + KernelQueue(m_descriptor, SIOCOUTQ);
}

qint64 PeerConnection::unsent() const
{
    return m_queued + m_unsendable + KernelQueue(m_descriptor, SIOCOUTQNSD);
}

void PeerConnection::end()
{
    if (m_descriptor < 0)
        return;
    m_readNotifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
    if (m_deliveryCheck)
        m_deliveryCheck->stop();
    const qint64 neverSent = unsent();
    const qint64 inFlight = std::max<qint64>(0, undelivered() - neverSent);
    if (neverSent > 0) {
        // Echo given up on must not end in a clean close, as though it had all been sent.
        const linger reset {1, 0};
        ::setsockopt(m_descriptor, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    } else {
        ::shutdown(m_descriptor, SHUT_WR); // the end follows the last byte sent
    }
    ::close(m_descriptor);
    m_descriptor = -1;
    m_queue.clear();
    m_queued = 0;
    m_unsendable = 0;
    ReturnFreedMemory();
    deleteLater();
    if (neverSent > 0)
        emit dropped(neverSent, inFlight);
}
