// Any settings file, read and written through the INI layer: reads never fail or overrun, a
// written value reads back exactly, and every other value of the file stays as it was.

#include "lib/modFileIO.h"
#include "platform/IniProfile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {
void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "%s\n", what);
        std::abort();
    }
}

const QString scratchFile
    = QDir::tempPath() + QStringLiteral("/parvel_fuzz_ini_%1.ini").arg(::getpid());

void writeFile(const QByteArray &content)
{
    QFile file(scratchFile);
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate)
                && file.write(content) == content.size(),
            "cannot write the scratch file");
}

bool hasAny(const QByteArray &text, const char *characters)
{
    for (const char *c = characters; *c; ++c)
        if (text.contains(*c))
            return true;
    return false;
}

// Names and values that one line of the file can carry and that read back as written.
bool writableName(const QByteArray &name, bool section)
{
    return !name.isEmpty() && name == name.trimmed() && !hasAny(name, "\r\n")
        && !name.contains('\0') && (section ? !name.contains(']') : !hasAny(name, "=[;"));
}

bool writableValue(const QByteArray &value)
{
    const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'')
        && value.back() == value.front();
    return value == value.trimmed() && !hasAny(value, "\r\n") && !value.contains('\0') && !quoted;
}

bool sameName(const QByteArray &a, const QByteArray &b)
{
    return QString::fromUtf8(a).compare(QString::fromUtf8(b), Qt::CaseInsensitive) == 0;
}

// The first byteCount bytes of text's UTF-8 form, never splitting a character, and no fewer.
void checkLeftAnsiBytes(const QString &text, qint32 byteCount)
{
    const QString left = LeftAnsiBytes(text, byteCount);
    require(text.startsWith(left), "cut is not a prefix");
    require(left.toUtf8().size() <= std::max(byteCount, 0), "cut too long");
    if (left.size() < text.size()) {
        const qsizetype next = left.size() + (text.at(left.size()).isHighSurrogate() ? 2 : 1);
        require(text.left(next).toUtf8().size() > byteCount, "cut too short");
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Registered after scratchFile was built, so it runs before scratchFile is destroyed.
    std::atexit([] { QFile::remove(scratchFile); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const QByteArray section = QByteArray::fromStdString(input.ConsumeRandomLengthString(24));
    const QByteArray key = QByteArray::fromStdString(input.ConsumeRandomLengthString(24));
    const QByteArray value = QByteArray::fromStdString(input.ConsumeRandomLengthString(300));
    const QByteArray otherSection = QByteArray::fromStdString(input.ConsumeRandomLengthString(24));
    const QByteArray otherKey = QByteArray::fromStdString(input.ConsumeRandomLengthString(24));
    const auto cut = input.ConsumeIntegralInRange<qint32>(-1, 300);
    const QByteArray content = QByteArray::fromStdString(input.ConsumeRemainingBytesAsString());
    writeFile(content);

    // Reading: whatever the file holds, the value fits the profile buffer and is trimmed.
    const QString read
        = ReadIniString(QString::fromUtf8(section), QString::fromUtf8(key), scratchFile);
    require(read.toUtf8().size() <= 255, "value longer than 255 bytes");
    require(!read.startsWith(QLatin1Char(' ')) && !read.endsWith(QLatin1Char(' ')),
            "value not trimmed");
    require(!ReadProfileString(section, key, scratchFile).contains('\0'), "NUL in a value");
    checkLeftAnsiBytes(QString::fromUtf8(value), cut);

    // Writing: the value reads back; the other value is untouched.
    if (!writableName(section, true) || !writableName(key, false) || !writableValue(value))
        return 0;
    const QByteArray otherBefore = ReadProfileString(otherSection, otherKey, scratchFile);
    require(bool(WriteProfileString(section, key, value, scratchFile)), "write failed");
    require(ReadProfileString(section, key, scratchFile) == value, "value does not read back");
    if (!sameName(section, otherSection) || !sameName(key, otherKey))
        require(ReadProfileString(otherSection, otherKey, scratchFile) == otherBefore,
                "another value changed");
    return 0;
}
