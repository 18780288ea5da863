#include "lib/CustomReply.h"

#include "lib/SettingKeys.h"
#include "lib/modFileIO.h"
#include "platform/IniProfile.h"

namespace {
int HexDigitValue(QChar character)
{
    const char16_t c = character.unicode();
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

bool IsBlank(QChar character)
{
    return character == u' ' || character == u'\t' || character == u'\r' || character == u'\n';
}

CustomReplyText Fault(CustomReplyText::Fault fault, qsizetype position)
{
    CustomReplyText result;
    result.fault = fault;
    result.position = position;
    return result;
}
} // namespace

CustomReplyText ParseCustomReply(const QString &text)
{
    CustomReplyText result;
    qsizetype firstDigitAt = -1; // the first digit of a pair still waiting for its second
    int high = 0;
    for (qsizetype index = 0; index < text.size(); ++index) {
        const QChar character = text.at(index);
        const int value = HexDigitValue(character);
        if (value >= 0 && firstDigitAt >= 0) {
            result.bytes.append(char(high << 4 | value));
            firstDigitAt = -1;
        } else if (value >= 0) {
            if (result.bytes.size() == maxCustomReplyBytes)
                return Fault(CustomReplyText::Fault::TooLong, index);
            firstDigitAt = index;
            high = value;
        } else if (!IsBlank(character)) {
            return Fault(CustomReplyText::Fault::BadCharacter, index);
        } else if (firstDigitAt >= 0) {
            return Fault(CustomReplyText::Fault::OddDigits, firstDigitAt);
        }
    }
    if (firstDigitAt >= 0)
        return Fault(CustomReplyText::Fault::OddDigits, firstDigitAt);
    return result;
}

QString FormatCustomReply(const QByteArray &reply)
{
    return QString::fromLatin1(reply.toHex(' ').toUpper());
}

QByteArray ReadCustomReply(const QString &iniFile)
{
    // Not through ReadIniString: its 255-byte cut would shorten any reply longer than 85 bytes.
    const QByteArray value = ReadProfileString(SettingKeys::maintenanceSection.toUtf8(),
                                               SettingKeys::customData.toUtf8(), iniFile);
    return ParseCustomReply(QString::fromUtf8(value)).bytes;
}

WriteResult WriteCustomReply(const QString &iniFile, const QByteArray &reply)
{
    return WriteIniString(SettingKeys::maintenanceSection, SettingKeys::customData, iniFile,
                          FormatCustomReply(reply));
}
