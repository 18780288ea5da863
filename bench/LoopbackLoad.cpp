#include "LoopbackLoad.h"

#include "BytePattern.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr std::size_t receiveBufferSize = BytePattern::maxSpan;
constexpr auto stallTimeout = std::chrono::seconds(3);

std::string systemError(const char *what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

int millisecondsUntil(Clock::time_point deadline)
{
    const auto left
        = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? int(left.count()) : 0;
}

// Waits for the events on a non-blocking socket; false when the deadline passed first.
bool waitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        pollfd entry {fd, events, 0};
        const int ready = ::poll(&entry, 1, millisecondsUntil(deadline));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}
} // namespace

LoopbackConnection::~LoopbackConnection()
{
    close();
}

bool LoopbackConnection::open(std::uint16_t port, std::string *error)
{
    close();
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        *error = systemError("socket");
        return false;
    }
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        *error = systemError("connect");
        close();
        return false;
    }
    const int on = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    return true;
}

void LoopbackConnection::abort()
{
    if (m_fd < 0)
        return;
    const linger reset {1, 0};
    ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    close();
}

void LoopbackConnection::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void MeasureRoundTrips(LoopbackConnection &connection, const BytePattern &pattern,
                       std::size_t blockSize, int warmup, int count, Clock::time_point deadline,
                       RoundTripSamples &samples)
{
    const int fd = connection.descriptor();
    std::vector<char> received(blockSize);
    for (int round = 0; round < warmup + count; ++round) {
        if (Clock::now() >= deadline)
            return; // the time budget ends the batch; the samples so far stand
        // Each block starts elsewhere in the pattern, so the grids always have new bytes to show.
        const char *block = pattern.at(samples.offset);
        const std::uint64_t blockOffset = samples.offset;
        samples.offset = (samples.offset + blockSize + 7919) % BytePattern::period;

        const Clock::time_point start = Clock::now();
        std::size_t sent = 0;
        std::size_t got = 0;
        while (got < blockSize) {
            if (sent < blockSize) {
                const ssize_t n = ::send(fd, block + sent, blockSize - sent, MSG_NOSIGNAL);
                if (n > 0)
                    sent += std::size_t(n);
                else if (errno != EAGAIN && errno != EINTR) {
                    samples.error = systemError("send");
                    return;
                }
            }
            const ssize_t n = ::recv(fd, received.data() + got, blockSize - got, 0);
            if (n > 0) {
                got += std::size_t(n);
                continue;
            }
            if (n == 0) {
                samples.error = "the server closed the connection";
                return;
            }
            if (errno != EAGAIN && errno != EINTR) {
                samples.error = systemError("recv");
                return;
            }
            const short events = sent < blockSize ? POLLIN | POLLOUT : POLLIN;
            if (!waitFor(fd, events, start + std::chrono::seconds(2))) {
                samples.error = "no echo within 2 s";
                return;
            }
        }
        const Clock::time_point end = Clock::now();
        if (!pattern.matches(blockOffset, received.data(), blockSize)) {
            samples.error = "echoed bytes differ from the bytes sent";
            return;
        }
        if (round >= warmup)
            samples.micros.push_back(
                std::chrono::duration<double, std::micro>(end - start).count());
    }
}

StreamResult MeasureStream(std::uint16_t port, const BytePattern &pattern, std::uint64_t total,
                           std::size_t writeSize, std::size_t inFlightLimit,
                           Clock::time_point deadline,
                           const std::function<void(LoopbackConnection &)> &atEnd)
{
    StreamResult result;
    LoopbackConnection connection;
    if (!connection.open(port, &result.error))
        return result;
    const int fd = connection.descriptor();
    std::vector<char> buffer(receiveBufferSize);
    std::uint64_t sent = 0;
    std::uint64_t received = 0;
    const Clock::time_point start = Clock::now();
    // Write and read until the kernel says wait, and only then wait: the client should not be
    // what limits the figure.
    while (received < total && result.error.empty()) {
        bool progressed = false;
        while (sent < total) {
            const std::size_t length
                = std::size_t(std::min<std::uint64_t>(writeSize, total - sent));
            const ssize_t n = ::send(fd, pattern.at(sent), length, MSG_NOSIGNAL);
            if (n <= 0) {
                if (n < 0 && errno != EAGAIN && errno != EINTR)
                    result.error = systemError("send");
                break;
            }
            sent += std::uint64_t(n);
            progressed = true;
        }
        while (result.error.empty()) {
            const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
            if (n > 0) {
                if (!pattern.matches(received, buffer.data(), std::size_t(n)))
                    result.error = "echoed bytes differ from the bytes sent at offset "
                        + std::to_string(received);
                received += std::uint64_t(n);
                progressed = true;
                continue;
            }
            if (n == 0)
                result.error = "the server closed the connection";
            else if (errno != EAGAIN && errno != EINTR)
                result.error = systemError("recv");
            break;
        }
        if (!progressed && result.error.empty() && received < total
            && !waitFor(fd,
                        sent < total && sent - received + writeSize <= inFlightLimit
                            ? POLLIN | POLLOUT
                            : POLLIN,
                        std::min(deadline, Clock::now() + stallTimeout)))
            result.error
                = Clock::now() < deadline ? "the echo stalled" : "stream did not finish in time";
    }
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result.bytes = received;
    if (result.error.empty() && atEnd)
        atEnd(connection);
    return result;
}

FloodResult FloodWithoutReading(std::uint16_t port, const BytePattern &pattern,
                                std::chrono::milliseconds duration,
                                std::chrono::milliseconds sampleInterval,
                                const std::function<void()> &sample)
{
    FloodResult result;
    LoopbackConnection connection;
    if (!connection.open(port, &result.error))
        return result;
    const int fd = connection.descriptor();
    const Clock::time_point start = Clock::now();
    const Clock::time_point end = start + duration;
    Clock::time_point nextSample = start;
    while (Clock::now() < end) {
        if (Clock::now() >= nextSample) {
            sample();
            nextSample += sampleInterval;
        }
        const ssize_t n = ::send(fd, pattern.at(result.bytesSent), 64 * 1024, MSG_NOSIGNAL);
        if (n > 0) {
            result.bytesSent += std::uint64_t(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            result.error = systemError("send");
            break;
        }
        // The server stopped taking bytes: wait a little, then look again.
        waitFor(fd, POLLOUT, std::min(nextSample, end));
    }
    sample();
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    connection.abort();
    return result;
}
