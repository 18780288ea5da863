#include "lib/OnOffSetting.h"

#include "lib/SettingKeys.h"
#include "lib/modFileIO.h"

bool ReadOnOffSetting(const QString &iniFile, const QString &key)
{
    return ReadIniString(SettingKeys::maintenanceSection, key, iniFile) == QLatin1String("1");
}

WriteResult WriteOnOffSetting(const QString &iniFile, const QString &key, bool on)
{
    return WriteIniString(SettingKeys::maintenanceSection, key, iniFile,
                          on ? QStringLiteral("1") : QStringLiteral("0"));
}
