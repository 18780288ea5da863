#include "Bench.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

namespace {
constexpr int startTimeoutMs = 15000;

// socat forks a child per connection, and the child serves it.
QList<qint64> childrenOf(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/task/%1/children").arg(pid));
    QList<qint64> children;
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray &child : file.readAll().simplified().split(' '))
            if (!child.isEmpty())
                children << child.toLongLong();
    }
    return children;
}

// VmRSS, or 0 once the process has ended.
qint64 ResidentBytes(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (pid <= 0 || !file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = file.readAll();
    const qsizetype at = text.indexOf("VmRSS:");
    return at < 0
        ? 0
        : text.mid(at + 6, text.indexOf('\n', at) - at - 6).trimmed().split(' ')[0].toLongLong()
            * 1024;
}

// Sums the counts in lines like "<count><kind>", where a kind naming 受信 is a received block;
// the live file is read last, so the last receive line is the newest block.
LoggedBytes sumLines(const QString &folder, const QString &file, const QRegularExpression &line)
{
    const QDir log(folder + QStringLiteral("/Log"));
    QStringList files = log.entryList({file + QStringLiteral(".*")}, QDir::Files);
    std::sort(files.begin(), files.end(), [](const QString &a, const QString &b) {
        return a.section(u'.', -1).toInt() > b.section(u'.', -1).toInt();
    });
    files.append(file);
    LoggedBytes sum;
    for (const QString &name : files) {
        QFile text(log.filePath(name));
        if (!text.open(QIODevice::ReadOnly))
            continue;
        for (auto match = line.globalMatch(QString::fromUtf8(text.readAll())); match.hasNext();) {
            const QRegularExpressionMatch found = match.next();
            const qint64 count = found.captured(u"count").toLongLong();
            if (found.captured(u"kind").contains(u'受')) {
                sum.received += count;
                sum.lastReceived = count;
                ++sum.receiveLines;
            } else {
                sum.sent += count;
            }
        }
    }
    return sum;
}
} // namespace

LoggedBytes ParvelLog(const QString &folder)
{
    static const QRegularExpression line(
        QStringLiteral("(?<count>\\d+)バイトの(?<kind>データ受信|応答送信)\\r?$"),
        QRegularExpression::MultilineOption);
    return sumLines(folder, QStringLiteral("Kiv_TcpRcvLog.txt"), line);
}

LoggedBytes ParvelCapture(const QString &folder)
{
    // A block's header: "<date> <time> <受信|送信> <count>バイト <peer>".
    static const QRegularExpression line(
        QStringLiteral("^\\S+ \\S+ (?<kind>受信|送信) (?<count>\\d+)バイト "),
        QRegularExpression::MultilineOption);
    return sumLines(folder, QStringLiteral("Kiv_TcpRcvData.txt"), line);
}

quint16 FreePort()
{
    QTcpServer free;
    free.listen(QHostAddress::LocalHost, 0);
    return free.serverPort();
}

bool WriteSettings(const QString &folder, quint16 port, bool capture)
{
    QDir(folder).mkpath(QStringLiteral("Config"));
    QFile settings(folder + QStringLiteral("/Config/Kiv_TcpRecvSetting.ini"));
    return settings.open(QIODevice::WriteOnly)
        && settings.write(QStringLiteral("[Port]\r\nTcpPort=%1\r\n\r\n[Maintenance]\r\n"
                                         "ResSetting=1\r\nLogMaxSize=%2\r\nLogGenerations=10\r\n"
                                         "CaptureData=%3\r\n")
                              .arg(port)
                              .arg(capture ? 64 : 3)
                              .arg(int(capture))
                              .toLatin1())
        > 0;
}

bool WriteRules(const QString &folder, const QByteArray &rules)
{
    QFile file(folder + QStringLiteral("/Config/Kiv_TcpRecvRules.txt"));
    return rules.isEmpty()
        || (file.open(QIODevice::WriteOnly) && file.write(rules) == rules.size());
}

const char *Server::name(int kind)
{
    static const char *const names[] = {"parvel", "minimal", "socat", "headless"};
    return names[kind];
}

Server::Server(Kind kind, bool capture, const QByteArray &rules)
    : m_kind(kind), m_capture(capture), m_rules(rules)
{
    // Should the benchmark die, the server goes with it.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

bool Server::start(QString *error)
{
    m_port = FreePort();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString program;
    QStringList arguments;
    if (m_kind == Parvel) {
        // A program folder of its own: the unmodified executable and its settings. Parvel has no
        // options, so the probe is preloaded to see its window and press 受信待ち.
        program = m_folder.filePath(QStringLiteral("parvel"));
        if ((!QFile::exists(program) && !QFile::copy(QStringLiteral(PARVEL_BENCH_PARVEL), program))
            || !WriteSettings(m_folder.path(), m_port, m_capture)
            || !WriteRules(m_folder.path(), m_rules)) {
            *error = QStringLiteral("cannot prepare a program folder");
            return false;
        }
        environment.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(PARVEL_BENCH_PROBE));
    } else if (m_kind == Headless) {
        // The same executable and settings without a window; its event lines go to a file, as
        // to a service's journal.
        program = m_folder.filePath(QStringLiteral("parvel"));
        if (!QFile::copy(QStringLiteral(PARVEL_BENCH_PARVEL), program)
            || !WriteSettings(m_folder.path(), m_port, m_capture)) {
            *error = QStringLiteral("cannot prepare a program folder");
            return false;
        }
        arguments << QStringLiteral("--headless");
        m_process.setStandardOutputFile(m_folder.filePath(QStringLiteral("stdout.txt")));
    } else if (m_kind == Minimal) {
        program = QStringLiteral(PARVEL_BENCH_ECHO);
        arguments << QString::number(m_port);
    } else {
        program = QStandardPaths::findExecutable(QStringLiteral("socat"));
        arguments << QStringLiteral("TCP-LISTEN:%1,bind=127.0.0.1,reuseaddr,fork").arg(m_port)
                  << QStringLiteral("PIPE");
        if (program.isEmpty()) {
            *error = QStringLiteral("socat is not installed");
            return false;
        }
    }
    m_output.clear();
    m_process.setStandardErrorFile(m_folder.filePath(QStringLiteral("stderr.txt")));
    m_process.setProcessEnvironment(environment);
    m_process.setWorkingDirectory(m_folder.path());
    const qint64 started = MonotonicNanoseconds();
    m_process.start(program, arguments);

    bool ready = m_process.waitForStarted(startTimeoutMs);
    QByteArray rest;
    if (m_kind == Parvel) {
        if (waitForLine("probe application", &rest, startTimeoutMs))
            applicationNs = rest.toLongLong() - started;
        if (waitForLine("probe shown", &rest, startTimeoutMs))
            shownNs = rest.split(' ').value(1).toLongLong() - started;
        ready = waitForLine("probe started", &rest, startTimeoutMs) && rest == "受信停止";
    } else { // the others say nothing when they listen: try until a connection is taken
        const QDeadlineTimer deadline(startTimeoutMs);
        std::string ignored;
        for (Connection trial; ready && !trial.open(m_port, &ignored); QThread::msleep(10))
            ready = !deadline.hasExpired() && m_process.state() == QProcess::Running;
    }
    if (!ready) {
        QFile stderrText(m_folder.filePath(QStringLiteral("stderr.txt")));
        stderrText.open(QIODevice::ReadOnly);
        *error = QStringLiteral("%1 did not get ready on port %2 (%3)")
                     .arg(QLatin1String(name(m_kind)))
                     .arg(m_port)
                     .arg(QString::fromUtf8(m_output + stderrText.readAll().right(2000)).trimmed());
        stop();
    }
    return ready;
}

void Server::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    // socat's children outlive it, and one stuck in its own pipe never ends by itself.
    if (m_kind == Socat) {
        for (qint64 child : childrenOf(m_process.processId()))
            ::kill(pid_t(child), SIGKILL);
    }
    // Parvel's window ends when its stdin closes, the others (headless Parvel too) on a signal.
    m_process.closeWriteChannel();
    if (m_kind == Parvel && m_process.waitForFinished(3000))
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

qint64 Server::residentBytes() const
{
    // The newest child still alive (an ended one has no memory left).
    const QList<qint64> children
        = m_kind == Socat ? childrenOf(m_process.processId()) : QList<qint64>();
    for (auto child = children.crbegin(); child != children.crend(); ++child) {
        if (const qint64 bytes = ResidentBytes(*child))
            return bytes;
    }
    return ResidentBytes(m_process.processId());
}

void Server::tell(const QByteArray &line)
{
    m_process.write(line + '\n');
    m_process.waitForBytesWritten(5000);
}

QByteArray Server::ask(const QByteArray &command)
{
    tell(command);
    QByteArray rest;
    return waitForLine("probe " + command, &rest, 5000) ? rest : QByteArray();
}

bool Server::waitForLine(const QByteArray &word, QByteArray *rest, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        for (qsizetype end; (end = m_output.indexOf('\n')) >= 0;) {
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
