#include "lib/modLogging.h"
#include "lib/modUtility.h"
#include "platform/core/Clock.h"

#include <QFile>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {
// The "0000" number format: at least four digits, the sign in front of them.
QString FormatLogCode(qint16 code)
{
    const int magnitude = std::abs(static_cast<int>(code));
    const QString digits = QStringLiteral("%1").arg(magnitude, 4, 10, QLatin1Char('0'));
    return code < 0 ? QLatin1Char('-') + digits : digits;
}

void AppendLine(const QString &path, const QByteArray &line)
{
    // Before the log tables are set up the path is empty: the line has nowhere to go.
    if (path.isEmpty())
        return;
    // Open, write, close for each line: nothing is held between events, and the Log folder is
    // never created here.
    const int descriptor = ::open(QFile::encodeName(path).constData(),
                                  O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (descriptor < 0)
        return;
    const off_t lengthBefore = ::lseek(descriptor, 0, SEEK_END);
    qsizetype written = 0;
    while (written < line.size()) {
        const ssize_t n
            = ::write(descriptor, line.constData() + written, size_t(line.size() - written));
        if (n <= 0)
            break;
        written += n;
    }
    // A line is in the file whole or not at all: a torn line would glue the next one onto it.
    if (written < line.size() && written > 0 && lengthBefore >= 0)
        static_cast<void>(::ftruncate(descriptor, lengthBefore));
    ::close(descriptor);
}
} // namespace

QString ZeroPad2(qint16 value)
{
    const QString text = QString::number(value);
    return value <= 9 ? QLatin1Char('0') + text : text;
}

QString TenthsDigit(qint16 value)
{
    // The digit is cut off, never rounded up into the next second.
    return value <= 99 ? QStringLiteral("0") : QString::number(value).left(1);
}

QString FormatLogTimestamp(const QDateTime &time)
{
    const QDate date = time.date();
    const QTime clock = time.time();
    return ZeroPad2(static_cast<qint16>(date.year())).right(2) + QLatin1Char('/')
        + ZeroPad2(static_cast<qint16>(date.month())) + QLatin1Char('/')
        + ZeroPad2(static_cast<qint16>(date.day())) + QLatin1Char(' ')
        + ZeroPad2(static_cast<qint16>(clock.hour())) + QLatin1Char(':')
        + ZeroPad2(static_cast<qint16>(clock.minute())) + QLatin1Char(':')
        + ZeroPad2(static_cast<qint16>(clock.second())) + QLatin1Char('.')
        + TenthsDigit(static_cast<qint16>(clock.msec()));
}

void WriteLog(qint16 toolIndex, const QString &message, const QString &timestamp, qint16 code)
{
    // Logging must never disturb its caller: every failure loses the line and nothing more.
    try {
        if (toolIndex < 0 || toolIndex >= static_cast<qint16>(strLogFile.size()))
            return;
        const QString stamp
            = timestamp.isEmpty() ? FormatLogTimestamp(CurrentDateTime()) : timestamp;
        const QString line = FormatLogCode(code == 0 ? qint16(1001) : code) + QLatin1Char(' ')
            + stamp + QLatin1Char(' ') + strHostName + QLatin1Char(' ') + message
            + QLatin1String("\r\n");
        AppendLine(strLogFile[static_cast<std::size_t>(toolIndex)], line.toUtf8());
    } catch (...) { }
}
