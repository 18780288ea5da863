// The practical lower bound for an echo server on this machine: one blocking loop that writes
// back whatever it reads, with no delay on sends. Plain POSIX sockets, one peer at a time.
// Usage: parvel_bench_echo <port>; ends on SIGTERM.

#include <arpa/inet.h>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <netinet/tcp.h>
#include <unistd.h>

namespace {
void echo(int peer)
{
    static char buffer[256 * 1024];
    for (ssize_t n; (n = ::read(peer, buffer, sizeof buffer)) > 0;) {
        for (ssize_t sent = 0, written; sent < n; sent += written) {
            if ((written = ::write(peer, buffer + sent, size_t(n - sent))) <= 0)
                return;
        }
    }
}
} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2)
        return 2;
    std::signal(SIGPIPE, SIG_IGN);
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(std::uint16_t(std::atoi(argv[1])));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(listener, 8) != 0)
        return 1;
    for (;;) {
        const int peer = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (peer < 0)
            continue;
        ::setsockopt(peer, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        echo(peer);
        ::close(peer);
    }
}
