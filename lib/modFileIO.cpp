#include "lib/modFileIO.h"

#include "lib/modGeneralLib.h"
#include "platform/IniProfile.h"

namespace {
// The longest value the profile buffer holds, terminator excluded.
constexpr qint32 maxValueBytes = 255;
} // namespace

QString ReadIniString(const QString &section, const QString &key, const QString &file)
{
    const QByteArray value = ReadProfileString(section.toUtf8(), key.toUtf8(), file);
    if (value.isEmpty())
        return {};
    return TrimBlanks(LeftAnsiBytes(QString::fromUtf8(value), maxValueBytes));
}

WriteResult WriteIniString(const QString &section, const QString &key, const QString &file,
                           const QString &value)
{
    return WriteProfileString(section.toUtf8(), key.toUtf8(), value.toUtf8(), file);
}

QString LeftAnsiBytes(const QString &text, qint32 byteCount)
{
    const QByteArray bytes = text.toUtf8();
    if (byteCount >= bytes.size())
        return text;
    qsizetype cut = qMax(byteCount, 0);
    // Step back over continuation bytes so that the character at the cut is left out whole.
    while (cut > 0 && (static_cast<uchar>(bytes.at(cut)) & 0xC0) == 0x80)
        --cut;
    return QString::fromUtf8(bytes.left(cut));
}
