#include "platform/TerminationSignals.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
// Written by the handler, read by the notifier; open for the life of the process.
int s_pair[2] = {-1, -1};

void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const char number = char(signalNumber);
    // A full pair means reports are already waiting; one more would tell nothing new.
    [[maybe_unused]] const ssize_t written = ::write(s_pair[0], &number, 1);
    errno = savedErrno;
}

bool installHandlers()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, s_pair) != 0)
        return false;
    struct sigaction action
    {
    };
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART; // a read or write under way is not broken off by the signal
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signalNumber, &action, nullptr);
    return true;
}
} // namespace

TerminationSignals *TerminationSignals::install()
{
    static const bool installed = installHandlers();
    // One reporter per application object: a test program may build several in turn.
    static QPointer<TerminationSignals> reporter;
    if (installed && !reporter) {
        reporter = new TerminationSignals(s_pair[1]);
        reporter->setParent(QCoreApplication::instance());
    }
    return reporter;
}

TerminationSignals::TerminationSignals(int readEnd) : m_readEnd(readEnd)
{
    auto *notifier = new QSocketNotifier(readEnd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPending);
}

void TerminationSignals::readPending()
{
    char numbers[16];
    ssize_t count;
    while ((count = ::read(m_readEnd, numbers, sizeof numbers)) > 0) {
        for (ssize_t index = 0; index < count; ++index)
            emit received(int(numbers[index]));
    }
}
