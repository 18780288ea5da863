#include "lib/AppendFile.h"
#include "lib/modLogging.h"
#include "lib/modUtility.h"
#include "platform/Clock.h"

#include <array>
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

void AppendLine(QByteArray &line, const QByteArray &code, const QString &timestamp,
                const QByteArray &message)
{
    const QByteArray &host = HostNameUtf8();
    line += code;
    line += ' ';
    if (timestamp.isEmpty())
        AppendLogTimestamp(line, CurrentMSecsSinceEpoch());
    else
        line += timestamp.toUtf8();
    line += ' ';
    line += host;
    line += ' ';
    line += message;
    line += "\r\n";
}

// The lines each tool's log could not take (locked, full or failing file), owned up to by one
// line in front of the next line the log takes.
std::array<qint64, std::tuple_size_v<decltype(strLogFile)>> s_lostLines {};

QByteArray LostLinesMessage(qint64 count)
{
    return QStringLiteral("ログに書き込めなかった行が%1行ありました。(WriteLog)")
        .arg(count)
        .toUtf8();
}

void AppendLogLine(qint16 toolIndex, const QByteArray &message, const QString &timestamp,
                   qint16 code)
{
    // Logging must never disturb its caller: every failure loses the line and nothing more.
    try {
        if (toolIndex < 0 || toolIndex >= static_cast<qint16>(strLogFile.size()))
            return;
        const auto index = static_cast<std::size_t>(toolIndex);
        if (strLogFile[index].isEmpty())
            return; // no log set up yet: nothing was ever promised
        // Built in one buffer: a line is written for every block, so it costs what the kernel does.
        static const QByteArray defaultCode = FormatLogCode(1001);
        QByteArray line;
        line.reserve(160 + message.size() + timestamp.size() * 3);
        // Written in the same append as the line itself: both reach the log, or neither does.
        if (s_lostLines[index] > 0)
            AppendLine(line, defaultCode, {}, LostLinesMessage(s_lostLines[index]));
        const QByteArray codeText = code == 0 ? defaultCode : FormatLogCode(code);
        const qsizetype stampStart = line.size() + codeText.size() + 1;
        AppendLine(line, codeText, timestamp, message);
        if (AppendWhole(strLogFile[index], line))
            s_lostLines[index] = 0;
        else
            ++s_lostLines[index];
        if (logLineListener) {
            // The stamp stands between the code and " <host> <message>" + CR LF.
            const qsizetype stampEnd = line.size() - HostNameUtf8().size() - message.size() - 4;
            logLineListener(line.mid(stampStart, stampEnd - stampStart), message);
        }
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
