#include "lib/ReceiverSettings.h"

#include "lib/CustomReply.h"
#include "lib/DataCapture.h"
#include "lib/OnOffSetting.h"
#include "lib/SettingKeys.h"
#include "lib/modFileIO.h"
#include "lib/modGeneralLib.h"
#include "platform/RuntimeError.h"

namespace {
using namespace SettingKeys;

// Reads the specified keys in order; the key that stops the reading, or none. An overflow in a
// conversion throws.
QString ReadSpecifiedKeys(const QString &iniFile, ReceiverSettings &settings, QString &reading)
{
    reading = tcpPort;
    const QString port = ReadIniString(portSection, tcpPort, iniFile);
    if (!port.isEmpty() && IsNumeric(port))
        settings.port = CLng(port);

    reading = resSetting;
    const QString response = ReadIniString(maintenanceSection, resSetting, iniFile);
    if (response.isEmpty())
        return resSetting;
    if (IsNumeric(response))
        settings.response = CInt(response);

    reading = logMaxSize;
    const QString maxSize = ReadIniString(maintenanceSection, logMaxSize, iniFile);
    if (maxSize.isEmpty() || !IsNumeric(maxSize))
        return logMaxSize;
    settings.logMaxSize = CInt(maxSize);

    reading = logGenerations;
    const QString generations = ReadIniString(maintenanceSection, logGenerations, iniFile);
    if (generations.isEmpty() || !IsNumeric(generations))
        return logGenerations;
    settings.logGenerations = CInt(generations);
    return {};
}
} // namespace

SettingsReadFault ReadReceiverSettings(const QString &iniFile, ReceiverSettings &settings)
{
    SettingsReadFault fault;
    QString reading;
    try {
        fault.key = ReadSpecifiedKeys(iniFile, settings, reading);
    } catch (const RuntimeError &error) {
        fault.key = reading;
        fault.description = error.description();
    }
    settings.bindAddress = ReadBindAddress(iniFile);
    settings.capture = ReadCaptureSetting(iniFile);
    settings.receiveLoneByte = ReadOnOffSetting(iniFile, SettingKeys::receiveLoneByte);
    settings.customReply = ReadCustomReply(iniFile);
    return fault;
}

QStringList SettingsFaultMessages(const SettingsReadFault &fault)
{
    QStringList messages;
    if (!fault.stopped())
        return messages;
    // A value that is missing or not a number names its key first; an overflow does not.
    if (fault.description.isEmpty() && fault.key == logMaxSize)
        messages << QStringLiteral("ログ最大サイズが不正です。");
    else if (fault.description.isEmpty() && fault.key == logGenerations)
        messages << QStringLiteral("ログ最大世代数が不正です。");
    messages << QStringLiteral("設定ファイルの読み込みに失敗しました。");
    return messages;
}

QString ReadPortText(const QString &iniFile)
{
    return ReadIniString(portSection, tcpPort, iniFile);
}

QString ReadBindAddress(const QString &iniFile)
{
    return ReadIniString(portSection, bindAddress, iniFile);
}

WriteResult WritePortText(const QString &iniFile, const QString &portText)
{
    return WriteIniString(portSection, tcpPort, iniFile, portText);
}
