#include "lib/AppendFile.h"
#include "lib/modLogging.h"
#include "lib/modUtility.h"
#include "platform/Clock.h"

#include <cstdlib>
#include <limits>

namespace {
// The "0000" number format: at least four digits, the sign in front of them.
QByteArray FormatLogCode(qint16 code)
{
    const int magnitude = std::abs(static_cast<int>(code));
    const QByteArray digits = QByteArray::number(magnitude).rightJustified(4, '0');
    return code < 0 ? '-' + digits : digits;
}

} // namespace

void AppendLogTimestamp(QByteArray &line, qint64 msecsSinceEpoch)
{
    // Local time is worked out once a second; within the second only the tenths digit changes.
    static qint64 cachedSecond = std::numeric_limits<qint64>::min();
    static QByteArray cachedPrefix; // "YY/MM/DD HH:MM:SS."
    const qint64 second
        = msecsSinceEpoch >= 0 ? msecsSinceEpoch / 1000 : (msecsSinceEpoch - 999) / 1000;
    if (second != cachedSecond) {
        const QString stamp = FormatLogTimestamp(QDateTime::fromMSecsSinceEpoch(second * 1000));
        cachedPrefix = stamp.left(stamp.size() - 1).toLatin1();
        cachedSecond = second;
    }
    line += cachedPrefix;
    line += char('0' + (msecsSinceEpoch - second * 1000) / 100);
}

namespace {
// The host name's UTF-8 form, converted again only when the name changes.
const QByteArray &HostNameUtf8()
{
    static QString cachedName;
    static QByteArray cachedUtf8;
    if (cachedName != strHostName) {
        cachedName = strHostName;
        cachedUtf8 = strHostName.toUtf8();
    }
    return cachedUtf8;
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

namespace {
LogLineListener logLineListener = nullptr;

void AppendLogLine(qint16 toolIndex, const QByteArray &message, const QString &timestamp,
                   qint16 code)
{
    // Logging must never disturb its caller: every failure loses the line and nothing more.
    try {
        if (toolIndex < 0 || toolIndex >= static_cast<qint16>(strLogFile.size()))
            return;
        // Built in one buffer: a line is written for every block, so it costs what the kernel does.
        static const QByteArray defaultCode = FormatLogCode(1001);
        const QByteArray &host = HostNameUtf8();
        QByteArray line;
        line.reserve(32 + host.size() + message.size() + timestamp.size() * 3);
        line += code == 0 ? defaultCode : FormatLogCode(code);
        line += ' ';
        const qsizetype stampStart = line.size();
        if (timestamp.isEmpty())
            AppendLogTimestamp(line, CurrentMSecsSinceEpoch());
        else
            line += timestamp.toUtf8();
        const qsizetype stampEnd = line.size();
        line += ' ';
        line += host;
        line += ' ';
        line += message;
        line += "\r\n";
        AppendWhole(strLogFile[static_cast<std::size_t>(toolIndex)], line);
        if (logLineListener)
            logLineListener(line.mid(stampStart, stampEnd - stampStart), message);
    } catch (...) { }
}
} // namespace

void SetLogLineListener(LogLineListener listener)
{
    logLineListener = listener;
}

void WriteLog(qint16 toolIndex, const QString &message, const QString &timestamp, qint16 code)
{
    AppendLogLine(toolIndex, message.toUtf8(), timestamp, code);
}

void WriteLogUtf8(qint16 toolIndex, const QByteArray &message)
{
    AppendLogLine(toolIndex, message, {}, 0);
}
