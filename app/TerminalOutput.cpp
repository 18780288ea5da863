#include "app/TerminalOutput.h"

#include "lib/modUtility.h"
#include "platform/Clock.h"

#include <QMetaObject>

#include <cerrno>
#include <unistd.h>

namespace {
TerminalOutput *followed = nullptr;

void writeAll(int descriptor, const QByteArray &bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t count
            = ::write(descriptor, bytes.constData() + written, std::size_t(bytes.size() - written));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return; // a closed pipe or a full disk: the terminal lines are given up, not the run
        written += count;
    }
}

void heardFromLog(const QByteArray &timestamp, const QByteArray &message)
{
    if (followed)
        followed->event(timestamp, message);
}
} // namespace

TerminalOutput::TerminalOutput(bool quiet, QObject *parent) : QObject(parent), m_quiet(quiet) { }

TerminalOutput::~TerminalOutput()
{
    if (followed == this) {
        SetLogLineListener(nullptr);
        followed = nullptr;
    }
    flush();
}

void TerminalOutput::followLog()
{
    followed = this;
    SetLogLineListener(heardFromLog);
}

void TerminalOutput::event(const QByteArray &timestamp, const QByteArray &text)
{
    if (m_quiet)
        return;
    m_pending += timestamp;
    m_pending += ' ';
    m_pending += text;
    m_pending += '\n';
    if (!m_flushQueued) {
        m_flushQueued = true;
        QMetaObject::invokeMethod(this, &TerminalOutput::flush, Qt::QueuedConnection);
    }
}

void TerminalOutput::event(const QString &text)
{
    QByteArray timestamp;
    AppendLogTimestamp(timestamp, CurrentMSecsSinceEpoch());
    event(timestamp, text.toUtf8());
}

void TerminalOutput::error(const QString &text)
{
    QString line = text;
    line.remove(QStringLiteral("\r\n"));
    writeAll(STDERR_FILENO, QStringLiteral("parvel: %1\n").arg(line).toUtf8());
}

void TerminalOutput::flush()
{
    m_flushQueued = false;
    if (m_pending.isEmpty())
        return;
    writeAll(STDOUT_FILENO, m_pending);
    m_pending.clear();
}
