#include "lib/DataCapture.h"

#include "lib/AppendFile.h"
#include "lib/ErrorTrap.h"
#include "lib/SettingKeys.h"
#include "lib/modFileIO.h"
#include "lib/modLogging.h"
#include "lib/modUtility.h"

#include <array>
#include <cstring>

namespace {

// The layout of one dump line: the offset, two blanks, 16 bytes in two groups of eight, the bar
// of the text column at column 60 (short lines are padded up to it), CR LF.
constexpr int bytesPerLine = 16;
constexpr int offsetDigits = 8;
constexpr int barColumn = 60;
constexpr int fullLineLength = barColumn + 1 + bytesPerLine + 1 + 2;
constexpr int offsetLineLength = offsetDigits + 2;

// Per byte value its hex digits followed by two blanks, so that copying four characters per byte
// from left to right leaves the blanks between the bytes and groups in place; and its character
// in the text column.
struct ByteTables
{
    std::array<std::array<char, 4>, 256> hex {};
    std::array<char, 256> text {};
};

constexpr ByteTables MakeByteTables()
{
    constexpr char digits[] = "0123456789ABCDEF";
    ByteTables tables;
    for (int value = 0; value < 256; ++value) {
        tables.hex[value] = {digits[value >> 4], digits[value & 15], ' ', ' '};
        tables.text[value] = value >= 0x20 && value <= 0x7E ? char(value) : '.';
    }
    return tables;
}

constexpr ByteTables byteTables = MakeByteTables();

// A block from one socket read stays far below 4 GiB, so eight digits always hold its offsets.
void WriteOffset(char *out, quint32 offset)
{
    for (int pair = offsetDigits / 2 - 1; pair >= 0; --pair, offset >>= 8)
        std::memcpy(out + 2 * pair, byteTables.hex[offset & 0xFF].data(), 2);
}

char *WriteHexGroup(char *out, const uchar *bytes, int count)
{
    for (int index = 0; index < count; ++index, out += 3)
        std::memcpy(out, byteTables.hex[bytes[index]].data(), 4);
    return out + 1;
}

char *WriteDumpLine(char *out, quint32 offset, const uchar *bytes, int count)
{
    WriteOffset(out, offset);
    std::memcpy(out + offsetDigits, "  ", 2);
    char *hex = WriteHexGroup(out + offsetDigits + 2, bytes, qMin(count, 8));
    if (count > 8)
        hex = WriteHexGroup(hex, bytes + 8, count - 8);
    char *text = out + barColumn;
    if (hex < text)
        std::memset(hex, ' ', size_t(text - hex));
    *text++ = '|';
    for (int index = 0; index < count; ++index)
        *text++ = byteTables.text[bytes[index]];
    std::memcpy(text, "|\r\n", 3);
    return text + 3;
}

// The dump of bytes: full lines, a short last line, then the offset line with the count; nothing
// for no bytes.
qsizetype DumpLength(qsizetype size)
{
    const qsizetype fullLines = size / bytesPerLine;
    const int rest = int(size % bytesPerLine);
    return fullLines * fullLineLength + (rest > 0 ? fullLineLength - bytesPerLine + rest : 0)
        + (size > 0 ? offsetLineLength : 0);
}

char *WriteDump(char *out, const QByteArray &bytes)
{
    const qsizetype size = bytes.size();
    const qsizetype fullLines = size / bytesPerLine;
    const int rest = int(size % bytesPerLine);
    const auto *in = reinterpret_cast<const uchar *>(bytes.constData());
    for (qsizetype line = 0; line < fullLines; ++line)
        out = WriteDumpLine(out, quint32(line * bytesPerLine), in + line * bytesPerLine,
                            bytesPerLine);
    if (rest > 0)
        out = WriteDumpLine(out, quint32(fullLines * bytesPerLine), in + fullLines * bytesPerLine,
                            rest);
    if (size > 0) {
        WriteOffset(out, quint32(size));
        std::memcpy(out + offsetDigits, "\r\n", 2);
        out += offsetLineLength;
    }
    return out;
}

QByteArray Header(const QByteArray &timestamp, CaptureDirection direction, qsizetype size,
                  const QString &peer)
{
    const QString rest = (direction == CaptureDirection::Received ? QStringLiteral(" 受信 ")
                                                                  : QStringLiteral(" 送信 "))
        + QString::number(size) + QStringLiteral("バイト ") + peer + QLatin1String("\r\n");
    return timestamp + rest.toUtf8();
}

} // namespace

QByteArray FormatCaptureBlock(const QString &timestamp, CaptureDirection direction,
                              const QByteArray &bytes, const QString &peer)
{
    const QByteArray header = Header(timestamp.toUtf8(), direction, bytes.size(), peer);
    QByteArray text(header.size() + DumpLength(bytes.size()), Qt::Uninitialized);
    std::memcpy(text.data(), header.constData(), size_t(header.size()));
    WriteDump(text.data() + header.size(), bytes);
    return text;
}

QString FormatPeer(const QString &address, quint16 port)
{
    const QString host = address.contains(QLatin1Char(':'))
        ? QLatin1Char('[') + address + QLatin1Char(']')
        : address;
    return host + QLatin1Char(':') + QString::number(port);
}

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
        return Header(stamp, direction, size, noted ? peer + QLatin1Char(' ') + sentNote : peer);
    };
    const QByteArray received = headerAt(receivedAtMs, CaptureDirection::Received, bytes.size());
    const QByteArray sentHeader
        = sentAtMs != 0 ? headerAt(sentAtMs, CaptureDirection::Sent, sent.size()) : QByteArray();
    // An answer of the same bytes (an echo) repeats the received dump rather than making it twice.
    const bool echo = sent == bytes;
    const qsizetype dumpLength = DumpLength(bytes.size());
    const qsizetype sentLength = sentAtMs != 0 ? sentHeader.size() + DumpLength(sent.size()) : 0;
    QByteArray text(received.size() + dumpLength + sentLength, Qt::Uninitialized);
    char *out = text.data();
    std::memcpy(out, received.constData(), size_t(received.size()));
    char *dump = out + received.size();
    out = WriteDump(dump, bytes);
    if (sentAtMs != 0) {
        std::memcpy(out, sentHeader.constData(), size_t(sentHeader.size()));
        out += sentHeader.size();
        if (echo)
            std::memcpy(out, dump, size_t(dumpLength));
        else
            WriteDump(out, sent);
    }
    // Like a log line, a lost record must never disturb the receive path.
    AppendWhole(file, text);
}

void RotateToolFiles(qint16 toolIndex, bool capture, const char *tag)
{
    if (toolIndex < 0 || toolIndex >= qint16(strLogFile.size()))
        return;
    if (capture)
        TrapErrors(
            tag, [&] { RotateLog(CaptureFilePath(toolIndex), intLogMaxSize, intLogGenerations); });
    TrapErrors(tag, [&] {
        RotateLog(strLogFile[std::size_t(toolIndex)], intLogMaxSize, intLogGenerations);
    });
}

bool ReadCaptureSetting(const QString &iniFile)
{
    // Strictly the text the menu writes: no rounding can switch capture on by surprise.
    return ReadIniString(SettingKeys::maintenanceSection, SettingKeys::captureData, iniFile)
        == QLatin1String("1");
}

WriteResult WriteCaptureSetting(const QString &iniFile, bool on)
{
    return WriteIniString(SettingKeys::maintenanceSection, SettingKeys::captureData, iniFile,
                          on ? QStringLiteral("1") : QStringLiteral("0"));
}
