#include "lib/CustomReply.h"

#include "lib/SettingKeys.h"
#include "lib/modFileIO.h"
#include "platform/IniProfile.h"

CustomReplyText ParseCustomReply(const QString &text)
{
    const HexText parsed = ParseHexText(text, HexExtras::None, maxCustomReplyBytes);
    CustomReplyText result;
    result.bytes = parsed.bytes;
    result.fault = parsed.fault;
    result.position = parsed.position;
    return result;
}

QString FormatCustomReply(const QByteArray &reply)
{
    return QString::fromLatin1(reply.toHex(' ').toUpper());
}

QString DescribeCustomReplyFault(const CustomReplyText &parsed, const QString &text)
{
    return DescribeHexFault(QStringLiteral("応答データ"), parsed.fault, parsed.position, text,
                            maxCustomReplyBytes);
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
