#include "lib/DataCapture.h"

#include "lib/AppendFile.h"
#include "lib/CaptureFormat.h"
#include "lib/modLogging.h"
#include "lib/modUtility.h"

#include <cstring>

QString RuleNote(int rule)
{
    return rule >= 0 ? QStringLiteral("ルール %1").arg(rule + 1) : QString();
}

QString CaptureFilePath(qint16 toolIndex)
{
    if (toolIndex < 0 || toolIndex >= qint16(strLogFile.size()))
        return {};
    const QString &logFile = strLogFile[std::size_t(toolIndex)];
    if (logFile.isEmpty())
        return {};
    return logFile.left(logFile.lastIndexOf(QLatin1Char('/')) + 1)
        + strToolName[std::size_t(toolIndex)] + QLatin1String("Data.txt");
}

void CaptureExchange(qint16 toolIndex, const QByteArray &bytes, const QString &peer,
                     qint64 receivedAtMs, const QByteArray &sent, qint64 sentAtMs,
                     const QString &sentNote)
{
    const QString file = CaptureFilePath(toolIndex);
    if (file.isEmpty())
        return;
    const auto headerAt = [&](qint64 atMs, CaptureDirection direction, qsizetype size) {
        QByteArray stamp;
        AppendLogTimestamp(stamp, atMs);
        const bool noted = direction == CaptureDirection::Sent && !sentNote.isEmpty();
        return CaptureHeader(stamp, direction, size,
                             noted ? peer + QLatin1Char(' ') + sentNote : peer);
    };
    const QByteArray received = headerAt(receivedAtMs, CaptureDirection::Received, bytes.size());
    const QByteArray sentHeader
        = sentAtMs != 0 ? headerAt(sentAtMs, CaptureDirection::Sent, sent.size()) : QByteArray();
    // An answer of the same bytes (an echo) repeats the received dump rather than making it twice.
    const bool echo = sent == bytes;
    const qsizetype dumpLength = CaptureDumpLength(bytes.size());
    const qsizetype sentLength
        = sentAtMs != 0 ? sentHeader.size() + CaptureDumpLength(sent.size()) : 0;
    QByteArray text(received.size() + dumpLength + sentLength, Qt::Uninitialized);
    char *out = text.data();
    std::memcpy(out, received.constData(), size_t(received.size()));
    char *dump = out + received.size();
    out = WriteCaptureDump(dump, bytes);
    if (sentAtMs != 0) {
        std::memcpy(out, sentHeader.constData(), size_t(sentHeader.size()));
        out += sentHeader.size();
        if (echo)
            std::memcpy(out, dump, size_t(dumpLength));
        else
            WriteCaptureDump(out, sent);
    }
    // Like a log line, a lost record must never disturb the receive path.
    AppendWhole(file, text);
}
