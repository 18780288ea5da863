#pragma once

#include <QList>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A fixed pseudo-random byte sequence with a prime period, so that every echoed byte is checked
// against its offset in the stream without a copy of what was sent.
class BytePattern
{
public:
    static constexpr std::size_t period = 1048573;
    static constexpr std::size_t maxSpan = 256 * 1024; // contiguous bytes at() hands out

    BytePattern();
    const char *at(std::uint64_t offset) const { return m_bytes.data() + offset % period; }
    bool matches(std::uint64_t offset, const char *data, std::size_t length) const;
    // Where the next block starts: elsewhere in the pattern, so the grids always have new bytes
    // to show.
    static std::uint64_t next(std::uint64_t offset, std::size_t size)
    {
        return (offset + size + 7919) % period;
    }

private:
    std::vector<char> m_bytes;
};

// A non-blocking client on 127.0.0.1 with no delay on sends.
class Connection
{
public:
    Connection() = default;
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    ~Connection() { close(); }
    bool open(quint16 port, std::string *error);
    // With reset, the server drops whatever it still had to send.
    void close(bool reset = false);
    int fd() const { return m_fd; }

private:
    int m_fd = -1;
};

struct Samples
{
    std::vector<double> micros;
    std::uint64_t offset = 0; // where the next block starts in the pattern
    std::string error;
};

// Each block goes out only after the previous one came back whole and byte-exact; the round
// trips after the warmup are appended in µs.
void RoundTrips(Connection &connection, const BytePattern &pattern, std::size_t size, int warmup,
                int count, Clock::time_point deadline, Samples &samples);

struct StreamResult
{
    std::uint64_t bytes = 0; // echoed back and checked
    double seconds = 0;
    std::string error;
    double megabytesPerSecond() const { return seconds > 0 ? bytes / seconds / 1e6 : 0; }
};

// Echoes total bytes in 64 KiB writes, at most 1 MiB ahead of the echo, checking every byte.
// Total 0 is a flood until the deadline, the kernel's buffers kept full. tick, when given, runs
// about every 20 ms meanwhile.
StreamResult Stream(Connection &connection, const BytePattern &pattern, std::uint64_t total,
                    Clock::time_point deadline, const std::function<void()> &tick = {});
// A peer that sends for duration and never reads; sample runs every 50 ms.
StreamResult SendWithoutReading(Connection &connection, const BytePattern &pattern,
                                Clock::duration duration, const std::function<void()> &sample);

// CLOCK_MONOTONIC, which the steady clock reads on Linux, as the probe inside Parvel does.
inline qint64 MonotonicNanoseconds()
{
    return std::chrono::nanoseconds(Clock::now().time_since_epoch()).count();
}
quint16 FreePort(); // on 127.0.0.1, free a moment ago
// Parvel's settings file in a program folder: the port, echo on, room for a long capture.
bool WriteSettings(const QString &folder, quint16 port, bool capture);
// Parvel's rules file, when there are rules.
bool WriteRules(const QString &folder, const QByteArray &rules);

// One echo server under test in a process of its own, ended by its process id.
class Server
{
public:
    // Parvel's window; the reference servers; Parvel without a window (--headless).
    enum Kind { Parvel, Minimal, Socat, Headless, kindCount };
    static const char *name(int kind);

    // Parvel with capture keeps every block in its capture file, with room for all of it; with
    // rules, they are its rules file.
    explicit Server(Kind kind, bool capture = false, const QByteArray &rules = {});
    ~Server() { stop(); }
    // Starts it and waits (bounded) until it serves its port; Parvel until 受信待ち was pressed.
    bool start(QString *error);
    void stop();

    quint16 port() const { return m_port; }
    QString folder() const { return m_folder.path(); }
    // Of the process serving the connection: socat's newest child, else the server itself.
    qint64 residentBytes() const;
    // Parvel's probe: one line in; ask() waits for the reply "probe <command> <rest>".
    void tell(const QByteArray &line);
    QByteArray ask(const QByteArray &command);
    // A request stamped now: the probe times how late Parvel answers it.
    void ping() { tell("ping " + QByteArray::number(MonotonicNanoseconds())); }

    qint64 applicationNs = 0; // Parvel: from the start to its application object
    qint64 shownNs = 0; // to its first window painted

private:
    bool waitForLine(const QByteArray &word, QByteArray *rest, int timeoutMs);

    Kind m_kind;
    bool m_capture;
    QByteArray m_rules;
    QProcess m_process;
    QTemporaryDir m_folder;
    QByteArray m_output;
    quint16 m_port = 0;
};

// Byte counts named in lines of a log or capture file and its generations, oldest first.
struct LoggedBytes
{
    qint64 received = 0;
    qint64 sent = 0;
    qint64 receiveLines = 0;
    qint64 lastReceived = 0;
};
LoggedBytes ParvelLog(const QString &folder);
LoggedBytes ParvelCapture(const QString &folder);

// The real main window in this process, measured per block through public calls.
struct BlockCosts
{
    std::size_t size = 0;
    std::vector<double> handler; // ReceiveBlock and the rotation check, on a socket pair of our own
    std::vector<double> display; // the window's display pass for the block
    std::vector<double> cycle; // the window: from the peer's send to echo back and grid painted
};
struct InProcessResult
{
    QList<BlockCosts> sizes;
    QList<QPair<QString, double>> steps; // µs per call, median
    QString error;
};
InProcessResult MeasureInProcess(const BytePattern &pattern, int blocks, int windowBlocks);

// The bench's application: times each outermost event delivery, so that the display pass is
// timed as the window runs it, from its own timer.
class QApplication;
std::unique_ptr<QApplication> MakeTimedApplication(int &argc, char **argv);
