#include "Bench.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

namespace {
constexpr std::size_t writeSize = 64 * 1024;
constexpr std::size_t inFlight = 1024 * 1024; // the writer's lead over the reader
// A flood keeps the kernel's buffers full both ways: the server always has bytes waiting.
constexpr std::size_t floodInFlight = 64 * 1024 * 1024;

std::string systemError(const char *what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

// Waits for the events on the socket; false when the deadline came first.
bool waitFor(int fd, short events, Clock::time_point deadline)
{
    pollfd entry {fd, events, 0};
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return ::poll(&entry, 1, int(std::max<qint64>(0, left.count()))) > 0;
}

bool retry()
{
    return errno == EAGAIN || errno == EINTR;
}
} // namespace

BytePattern::BytePattern() : m_bytes(period + maxSpan)
{
    std::uint32_t state = 0x9E3779B9u;
    for (std::size_t i = 0; i < period; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        m_bytes[i] = char(state >> 24);
    }
    std::copy_n(m_bytes.begin(), maxSpan, m_bytes.begin() + period);
}

bool BytePattern::matches(std::uint64_t offset, const char *data, std::size_t length) const
{
    for (std::size_t span; length > 0; offset += span, data += span, length -= span) {
        span = std::min(length, maxSpan);
        if (std::memcmp(at(offset), data, span) != 0)
            return false;
    }
    return true;
}

bool Connection::open(quint16 port, std::string *error)
{
    close();
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (m_fd < 0 || ::connect(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        *error = systemError("connect");
        close();
        return false;
    }
    const int on = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    return true;
}

void Connection::close(bool reset)
{
    if (m_fd < 0)
        return;
    const linger now {1, 0};
    if (reset)
        ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &now, sizeof now);
    ::close(m_fd);
    m_fd = -1;
}

void RoundTrips(Connection &connection, const BytePattern &pattern, std::size_t size, int warmup,
                int count, Clock::time_point deadline, Samples &samples)
{
    const int fd = connection.fd();
    std::vector<char> echo(size);
    for (int round = 0; round < warmup + count && Clock::now() < deadline; ++round) {
        const std::uint64_t offset = samples.offset;
        samples.offset = BytePattern::next(offset, size);
        const Clock::time_point start = Clock::now();
        std::size_t sent = 0;
        std::size_t got = 0;
        while (got < size) {
            ssize_t n = sent < size
                ? ::send(fd, pattern.at(offset) + sent, size - sent, MSG_NOSIGNAL)
                : 0;
            if (n > 0)
                sent += std::size_t(n);
            else if (n < 0 && !retry())
                return void(samples.error = systemError("send"));
            n = ::recv(fd, echo.data() + got, size - got, 0);
            if (n > 0)
                got += std::size_t(n);
            else if (n == 0)
                return void(samples.error = "the server closed the connection");
            else if (!retry())
                return void(samples.error = systemError("recv"));
            else if (!waitFor(fd, sent < size ? POLLIN | POLLOUT : POLLIN, start + 2s))
                return void(samples.error = "no echo within 2 s");
        }
        const double micros
            = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        if (!pattern.matches(offset, echo.data(), size))
            return void(samples.error = "echoed bytes differ from the bytes sent");
        if (round >= warmup)
            samples.micros.push_back(micros);
    }
}

StreamResult Stream(Connection &connection, const BytePattern &pattern, std::uint64_t total,
                    Clock::time_point deadline, const std::function<void()> &tick)
{
    StreamResult result;
    const int fd = connection.fd();
    const bool timed = total == 0;
    std::vector<char> buffer(BytePattern::maxSpan);
    std::uint64_t sent = 0;
    const Clock::time_point start = Clock::now();
    Clock::time_point nextTick = start;
    Clock::time_point lastProgress = start;
    const auto maySend = [&] {
        return (timed || sent < total)
            && sent - result.bytes + writeSize <= (timed ? floodInFlight : inFlight);
    };
    // Write and read until the kernel says wait, and only then wait: the client should not be
    // what limits the figure.
    while ((timed || result.bytes < total) && result.error.empty()) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline) {
            if (!timed)
                result.error = "the stream did not finish in time";
            break;
        }
        if (tick && now >= nextTick) {
            tick();
            nextTick = now + 20ms;
        }
        bool progressed = false;
        while (maySend()) {
            const std::size_t length = std::min<std::uint64_t>(writeSize, total - sent);
            const ssize_t n
                = ::send(fd, pattern.at(sent), timed ? writeSize : length, MSG_NOSIGNAL);
            if (n <= 0) {
                if (n < 0 && !retry())
                    result.error = systemError("send");
                break;
            }
            sent += std::uint64_t(n);
            progressed = true;
        }
        for (ssize_t n; result.error.empty();) {
            n = ::recv(fd, buffer.data(), buffer.size(), 0);
            if (n <= 0) {
                if (n == 0 || !retry())
                    result.error
                        = n == 0 ? "the server closed the connection" : systemError("recv");
                break;
            }
            if (!pattern.matches(result.bytes, buffer.data(), std::size_t(n)))
                result.error = "echoed bytes differ from the bytes sent at offset "
                    + std::to_string(result.bytes);
            result.bytes += std::uint64_t(n);
            progressed = true;
        }
        if (progressed)
            lastProgress = Clock::now();
        else if (Clock::now() - lastProgress > 3s)
            result.error = "the echo stalled";
        else
            waitFor(fd, maySend() ? POLLIN | POLLOUT : POLLIN,
                    std::min({deadline, lastProgress + 3s, tick ? nextTick : deadline}));
    }
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return result;
}

StreamResult SendWithoutReading(Connection &connection, const BytePattern &pattern,
                                Clock::duration duration, const std::function<void()> &sample)
{
    StreamResult result;
    const Clock::time_point start = Clock::now();
    for (Clock::time_point nextSample = start; Clock::now() < start + duration;) {
        if (Clock::now() >= nextSample) {
            sample();
            nextSample += 50ms;
        }
        const ssize_t n
            = ::send(connection.fd(), pattern.at(result.bytes), writeSize, MSG_NOSIGNAL);
        if (n > 0)
            result.bytes += std::uint64_t(n);
        else if (n < 0 && !retry())
            return result.error = systemError("send"), result;
        else // the server stopped taking bytes: look again at the next sample
            waitFor(connection.fd(), POLLOUT, std::min(nextSample, start + duration));
    }
    sample();
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return result;
}
