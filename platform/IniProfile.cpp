#include "platform/IniProfile.h"

#include "platform/RuntimeError.h"

#include <QFile>
#include <QList>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QByteArray utf8Bom = QByteArrayLiteral("\xEF\xBB\xBF");

struct Line
{
    qsizetype begin; // first byte of the content
    qsizetype end; // one past the content, before CR LF or LF
    qsizetype next; // one past the line ending
};

enum class LineKind { Other, Section, Key };

struct ParsedLine
{
    LineKind kind = LineKind::Other;
    QByteArray name;
    QByteArray value; // raw text after '=', keys only
};

// Where the section and the key were found, as line indexes; -1 when missing.
struct Location
{
    qsizetype sectionLine = -1;
    qsizetype sectionEnd = -1; // first line after the section
    qsizetype keyLine = -1;
};

QList<Line> splitLines(const QByteArray &data)
{
    QList<Line> lines;
    qsizetype position = data.startsWith(utf8Bom) ? utf8Bom.size() : 0;
    while (position < data.size()) {
        const qsizetype newline = data.indexOf('\n', position);
        if (newline < 0) {
            lines.append({position, data.size(), data.size()});
            break;
        }
        const qsizetype end
            = newline > position && data.at(newline - 1) == '\r' ? newline - 1 : newline;
        lines.append({position, end, newline + 1});
        position = newline + 1;
    }
    return lines;
}

QByteArray contentOf(const QByteArray &data, const Line &line)
{
    return data.mid(line.begin, line.end - line.begin);
}

ParsedLine parse(const QByteArray &content)
{
    ParsedLine parsed;
    const QByteArray text = content.trimmed();
    if (text.startsWith('[')) {
        const qsizetype close = text.indexOf(']');
        parsed.kind = LineKind::Section;
        parsed.name = text.mid(1, close < 0 ? -1 : close - 1).trimmed();
        return parsed;
    }
    const qsizetype equals = text.indexOf('=');
    if (text.startsWith(';') || equals < 0)
        return parsed;
    parsed.kind = LineKind::Key;
    parsed.name = text.left(equals).trimmed();
    parsed.value = text.mid(equals + 1);
    return parsed;
}

bool sameName(const QByteArray &a, const QByteArray &b)
{
    return QString::fromUtf8(a).compare(QString::fromUtf8(b), Qt::CaseInsensitive) == 0;
}

Location locate(const QByteArray &data, const QList<Line> &lines, const QByteArray &section,
                const QByteArray &key)
{
    Location location;
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const ParsedLine parsed = parse(contentOf(data, lines.at(index)));
        if (parsed.kind == LineKind::Section) {
            if (location.sectionLine >= 0) {
                location.sectionEnd = index;
                return location;
            }
            if (sameName(parsed.name, section))
                location.sectionLine = index;
        } else if (parsed.kind == LineKind::Key && location.sectionLine >= 0 && location.keyLine < 0
                   && sameName(parsed.name, key)) {
            location.keyLine = index;
        }
    }
    if (location.sectionLine >= 0)
        location.sectionEnd = lines.size();
    return location;
}

QByteArray cleanValue(QByteArray value)
{
    const qsizetype nul = value.indexOf('\0');
    if (nul >= 0)
        value.truncate(nul);
    value = value.trimmed();
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'')
        && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value;
}

// The file's own line ending, taken from its first line; CR LF for a file without one.
QByteArray lineEndingOf(const QByteArray &data)
{
    const qsizetype newline = data.indexOf('\n');
    if (newline > 0 && data.at(newline - 1) == '\r')
        return QByteArrayLiteral("\r\n");
    return newline >= 0 ? QByteArrayLiteral("\n") : QByteArrayLiteral("\r\n");
}

QByteArray withValue(const QByteArray &data, const QByteArray &section, const QByteArray &key,
                     const QByteArray &value)
{
    const QList<Line> lines = splitLines(data);
    const Location location = locate(data, lines, section, key);
    const QByteArray eol = lineEndingOf(data);
    const QByteArray keyLine = key + '=' + value;

    if (location.keyLine >= 0) {
        const Line &line = lines.at(location.keyLine);
        return data.left(line.begin) + keyLine + data.mid(line.end);
    }
    if (location.sectionLine >= 0) {
        qsizetype last = location.sectionEnd - 1;
        while (last > location.sectionLine && contentOf(data, lines.at(last)).trimmed().isEmpty())
            --last;
        const Line &line = lines.at(last);
        if (line.next == line.end) // the file's last line, without a line ending
            return data + eol + keyLine + eol;
        return data.left(line.next) + keyLine + eol + data.mid(line.next);
    }

    QByteArray result = data;
    if (!lines.isEmpty()) {
        if (!result.endsWith('\n'))
            result += eol;
        if (!contentOf(data, lines.last()).trimmed().isEmpty())
            result += eol; // a blank line between sections
    }
    return result + '[' + section + ']' + eol + keyLine + eol;
}

enum class FileRead { Missing, Read, Unreadable };

// Reads a regular file only, and never waits to open one: a FIFO would block the opening and a
// device such as /dev/zero never ends, so anything but a regular file counts as unreadable.
FileRead readRegularFile(const QString &file, QByteArray &data)
{
    const int descriptor
        = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        return errno == ENOENT ? FileRead::Missing : FileRead::Unreadable;
    struct stat status
    {
    };
    QFile input;
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)
        || !input.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return FileRead::Unreadable;
    }
    data = input.readAll();
    return input.error() == QFileDevice::NoError ? FileRead::Read : FileRead::Unreadable;
}
} // namespace

QByteArray ReadProfileString(const QByteArray &section, const QByteArray &key, const QString &file)
{
    QByteArray data;
    if (readRegularFile(file, data) != FileRead::Read)
        return {};
    const QList<Line> lines = splitLines(data);
    const Location location = locate(data, lines, section, key);
    if (location.keyLine < 0)
        return {};
    return cleanValue(parse(contentOf(data, lines.at(location.keyLine))).value);
}

WriteResult WriteProfileString(const QByteArray &section, const QByteArray &key,
                               const QByteArray &value, const QString &file)
{
    // A file that exists but cannot be read must not be replaced by one without its lines.
    QByteArray data;
    errno = 0;
    if (readRegularFile(file, data) == FileRead::Unreadable)
        return {errno == 0 ? ErrorText::fileAccess : ErrorText::WriteFailure(errno)};

    const QByteArray content = withValue(data, section, key, value);
    QSaveFile output(file);
    // Unbuffered, so that a short write (disk full, size limit) shows in write()'s count: the
    // buffered path reports a partly written file as committed.
    if (!output.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return {ErrorText::WriteFailure(errno)};
    if (output.write(content) != content.size()) {
        const int error = errno;
        output.cancelWriting();
        return {ErrorText::WriteFailure(error)};
    }
    if (!output.commit())
        return {ErrorText::WriteFailure(errno)};
    return {};
}
