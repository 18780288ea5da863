#include "app/modTcpRecv.h"

#include "lib/ErrorTrap.h"
#include "lib/modFileLib.h"
#include "lib/modUtility.h"
#include "platform/ProgramFolder.h"

#include <iterator>

namespace {
// The settings files of the tool family, by tool index; this tool uses index 1.
const char *const settingFileNames[] = {
    "Kiv_TcpSendSetting.ini", "Kiv_TcpRecvSetting.ini",    "Kiv_UdpSendSetting.ini",
    "Kiv_UdpRecvSetting.ini", "Kiv_SerialSendSetting.ini", "Kiv_SerialRecvSetting.ini",
};
} // namespace

bool SetDefine()
{
    return TrapErrors("(SetDefine)", [] {
        const QString programFolder = AddPathSeparator(ProgramFolder());
        strConfigDir = programFolder + QStringLiteral("Config");
        strTempDir = programFolder + QStringLiteral("Temp");
        strLogDir = programFolder + QStringLiteral("Log");
        for (std::size_t index = 0; index < std::size(settingFileNames); ++index)
            strSettingFile.at(index)
                = AddPathSeparator(strConfigDir) + QLatin1String(settingFileNames[index]);
    });
}
