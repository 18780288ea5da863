#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

// One echo server under test, run as a process of its own and ended by its process id.
class EchoServerProcess
{
public:
    enum class Kind { Parvel, Minimal, Socat };

    struct Programs
    {
        QString parvel;
        QString probe; // preloaded into parvel
        QString minimal;
        QString socat; // empty when socat is not installed
    };

    // Parvel with captureData keeps every block in its capture file, with room for all of it.
    EchoServerProcess(Kind kind, const Programs &programs, bool captureData = false);
    ~EchoServerProcess();

    static QString name(Kind kind);

    // Starts the server and waits (bounded) until it accepts connections on its port.
    bool start(QString *error);
    // Ends the process: stdin closed first, then SIGTERM and SIGKILL to its id if it lingers.
    void stop();

    quint16 port() const { return m_port; }
    qint64 pid() const { return m_process.processId(); }
    // Nanoseconds on CLOCK_MONOTONIC from just before the start to the first window painted
    // (Parvel only; 0 otherwise).
    qint64 startupNanoseconds() const { return m_startup; }
    // From the start to the application object's construction (Parvel only).
    qint64 applicationNanoseconds() const { return m_application; }

    // Resident memory of the process that serves connections: socat's newest child, else the
    // server itself. 0 when unknown.
    qint64 servingResidentBytes() const;

    // Parvel only: a probe request; the reply line without its "probe <word> " prefix.
    QByteArray ask(const QByteArray &command, const QByteArray &replyWord, int timeoutMs = 5000);
    // Parvel only: its program folder, where Log holds its log files.
    QString programFolder() const { return m_folder ? m_folder->path() : QString(); }

private:
    bool waitForLine(const QByteArray &word, QByteArray *rest, int timeoutMs);
    bool prepareParvelFolder(QString *error);

    Kind m_kind;
    bool m_captureData;
    Programs m_programs;
    QProcess m_process;
    std::unique_ptr<QTemporaryDir> m_folder;
    QByteArray m_output;
    quint16 m_port = 0;
    qint64 m_startup = 0;
    qint64 m_application = 0;
};

// Resident memory of a process from /proc/<pid>/status, in bytes; 0 when unknown.
qint64 ResidentBytes(qint64 pid);
// A TCP port on 127.0.0.1 that nothing listened on a moment ago.
quint16 FreeLoopbackPort();
// CLOCK_MONOTONIC in nanoseconds, the clock the probe reports in.
qint64 MonotonicNanoseconds();
