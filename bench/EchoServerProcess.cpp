#include "EchoServerProcess.h"

#include "LoopbackLoad.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <ctime>
#include <sys/prctl.h>

namespace {
constexpr int startTimeoutMs = 15000;

// Fields of /proc/<pid>/stat after the command name, which may itself hold blanks.
QList<QByteArray> statFields(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = file.readAll();
    return text.mid(text.lastIndexOf(')') + 2).split(' ');
}

// The children of a process (socat forks one per connection), oldest first.
QList<qint64> childrenOf(qint64 parent)
{
    QList<QPair<qint64, qint64>> children; // start time, pid
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        const QList<QByteArray> fields = statFields(pid);
        // Field 4 of stat is the parent, field 22 the start time; these lists begin at field 3.
        if (fields.size() >= 20 && fields.at(0) != "Z" && fields.at(1).toLongLong() == parent)
            children.append({fields.at(19).toLongLong(), pid});
    }
    std::sort(children.begin(), children.end());
    QList<qint64> pids;
    for (const auto &child : children)
        pids.append(child.second);
    return pids;
}
} // namespace

qint64 MonotonicNanoseconds()
{
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

qint64 ResidentBytes(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (pid <= 0 || !file.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return 0;
}

quint16 FreeLoopbackPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

EchoServerProcess::EchoServerProcess(Kind kind, const Programs &programs, bool captureData)
    : m_kind(kind), m_captureData(captureData), m_programs(programs)
{
    // Should the benchmark itself die, the server goes with it.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

EchoServerProcess::~EchoServerProcess()
{
    stop();
}

QString EchoServerProcess::name(Kind kind)
{
    switch (kind) {
    case Kind::Parvel:
        return QStringLiteral("parvel");
    case Kind::Minimal:
        return QStringLiteral("minimal");
    case Kind::Socat:
        return QStringLiteral("socat");
    }
    return {};
}

bool EchoServerProcess::prepareParvelFolder(QString *error)
{
    // A program folder of its own: the executable, its settings, and Log and Temp to come.
    const QString executable = m_folder->filePath(QStringLiteral("parvel"));
    if (!QFile::exists(executable) && !QFile::copy(m_programs.parvel, executable)) {
        *error = QStringLiteral("cannot copy %1").arg(m_programs.parvel);
        return false;
    }
    QDir(m_folder->path()).mkpath(QStringLiteral("Config"));
    QFile settings(m_folder->filePath(QStringLiteral("Config/Kiv_TcpRecvSetting.ini")));
    if (!settings.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("cannot write the settings file");
        return false;
    }
    settings.write(QStringLiteral("[Port]\r\nTcpPort=%1\r\n\r\n[Maintenance]\r\nResSetting=1\r\n"
                                  "LogMaxSize=%2\r\nLogGenerations=10\r\nCaptureData=%3\r\n")
                       .arg(m_port)
                       .arg(m_captureData ? 64 : 3)
                       .arg(m_captureData ? 1 : 0)
                       .toLatin1());
    return true;
}

bool EchoServerProcess::start(QString *error)
{
    if (!m_folder)
        m_folder = std::make_unique<QTemporaryDir>();
    m_port = FreeLoopbackPort();
    m_output.clear();
    m_process.setStandardErrorFile(m_folder->filePath(QStringLiteral("stderr.txt")));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    QString program;
    QStringList arguments;
    switch (m_kind) {
    case Kind::Parvel:
        if (!prepareParvelFolder(error))
            return false;
        program = m_folder->filePath(QStringLiteral("parvel"));
        environment.insert(QStringLiteral("LD_PRELOAD"), m_programs.probe);
        break;
    case Kind::Minimal:
        program = m_programs.minimal;
        arguments << QString::number(m_port);
        break;
    case Kind::Socat:
        program = m_programs.socat;
        arguments << QStringLiteral("TCP-LISTEN:%1,bind=127.0.0.1,reuseaddr,fork").arg(m_port)
                  << QStringLiteral("PIPE");
        break;
    }
    m_process.setProcessEnvironment(environment);
    m_process.setWorkingDirectory(m_folder->path());

    const qint64 started = MonotonicNanoseconds();
    m_process.start(program, arguments);
    if (!m_process.waitForStarted(startTimeoutMs)) {
        *error = QStringLiteral("%1 did not start: %2").arg(program, m_process.errorString());
        return false;
    }

    bool ready = false;
    QByteArray rest;
    switch (m_kind) {
    case Kind::Parvel:
        if (waitForLine("probe application", &rest, startTimeoutMs))
            m_application = rest.toLongLong() - started;
        if (waitForLine("probe shown", &rest, startTimeoutMs))
            m_startup = rest.split(' ').value(1).toLongLong() - started;
        ready = waitForLine("probe started", &rest, startTimeoutMs)
            && rest == QStringLiteral("受信停止").toUtf8();
        break;
    case Kind::Minimal:
        ready = waitForLine("listening", &rest, startTimeoutMs);
        break;
    case Kind::Socat: {
        // socat says nothing when it listens: try until a connection is taken.
        const QDeadlineTimer deadline(startTimeoutMs);
        while (!ready && !deadline.hasExpired() && m_process.state() == QProcess::Running) {
            LoopbackConnection trial;
            std::string ignored;
            ready = trial.open(m_port, &ignored);
            if (!ready)
                QThread::msleep(10);
        }
        break;
    }
    }
    if (!ready) {
        QFile log(m_folder->filePath(QStringLiteral("stderr.txt")));
        log.open(QIODevice::ReadOnly);
        *error = QStringLiteral("%1 did not get ready on port %2 (%3)")
                     .arg(name(m_kind))
                     .arg(m_port)
                     .arg(QString::fromUtf8(m_output + log.readAll().right(2000)).trimmed());
        stop();
    }
    return ready;
}

void EchoServerProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    // socat's connection children outlive it; one stuck in its own pipe never ends by itself.
    const QList<qint64> children
        = m_kind == Kind::Socat ? childrenOf(m_process.processId()) : QList<qint64>();
    for (qint64 child : children)
        ::kill(pid_t(child), SIGKILL);
    // Parvel and the minimal server end when their stdin closes; socat needs a signal.
    if (m_kind != Kind::Socat) {
        m_process.closeWriteChannel();
        if (m_process.waitForFinished(3000))
            return;
    }
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

qint64 EchoServerProcess::servingResidentBytes() const
{
    qint64 server = pid();
    if (m_kind == Kind::Socat)
        server = childrenOf(server).value(childrenOf(server).size() - 1);
    return ResidentBytes(server);
}

QByteArray EchoServerProcess::ask(const QByteArray &command, const QByteArray &replyWord,
                                  int timeoutMs)
{
    m_process.write(command + '\n');
    m_process.waitForBytesWritten(timeoutMs);
    QByteArray rest;
    return waitForLine("probe " + replyWord, &rest, timeoutMs) ? rest : QByteArray();
}

bool EchoServerProcess::waitForLine(const QByteArray &word, QByteArray *rest, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        qsizetype end;
        while ((end = m_output.indexOf('\n')) >= 0) {
            const QByteArray line = m_output.left(end);
            m_output.remove(0, end + 1);
            if (line.startsWith(word + ' ')) {
                *rest = line.mid(word.size() + 1);
                return true;
            }
        }
        if (deadline.hasExpired() || m_process.state() != QProcess::Running)
            return false;
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        m_output += m_process.readAllStandardOutput();
    }
}
