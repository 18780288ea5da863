#include "forms/frmMain.h"

#include "forms/ui/MessageBox.h"
#include "lib/CustomReply.h"
#include "lib/DataCapture.h"
#include "lib/ErrorTrap.h"
#include "lib/SettingKeys.h"
#include "lib/modFileIO.h"
#include "lib/modGeneralLib.h"
#include "lib/modLogging.h"

namespace {
using namespace SettingKeys;

// Reads the keys in order into the targets; false at the first value that stops the reading.
// An overflow in a conversion throws.
bool ReadSettingKeys(const QString &strIniFile, qint32 &lngRcvPort, qint16 &intResSetting)
{
    const QString port = ReadIniString(portSection, tcpPort, strIniFile);
    if (!port.isEmpty() && IsNumeric(port))
        lngRcvPort = CLng(port);

    const QString response = ReadIniString(maintenanceSection, resSetting, strIniFile);
    if (response.isEmpty())
        return false;
    if (IsNumeric(response))
        intResSetting = CInt(response);

    const QString maxSize = ReadIniString(maintenanceSection, logMaxSize, strIniFile);
    if (maxSize.isEmpty() || !IsNumeric(maxSize)) {
        MsgBox(QStringLiteral("ログ最大サイズが不正です。"), MsgBoxStyle::Critical);
        return false;
    }
    intLogMaxSize = CInt(maxSize);

    const QString generations = ReadIniString(maintenanceSection, logGenerations, strIniFile);
    if (generations.isEmpty() || !IsNumeric(generations)) {
        MsgBox(QStringLiteral("ログ最大世代数が不正です。"), MsgBoxStyle::Critical);
        return false;
    }
    intLogGenerations = CInt(generations);
    return true;
}
} // namespace

void frmMain::ReadSetting(const QString &strIniFile)
{
    TrapErrors("(ReadSetting)", [&] {
        try {
            // A stop without a run-time error has nothing to describe: the log gets the tag alone.
            if (!ReadSettingKeys(strIniFile, lngRcvPort, intResSetting))
                throw RuntimeError(QString());
        } catch (...) {
            // The user hears of the failure before it is logged.
            MsgBox(QStringLiteral("設定ファイルの読み込みに失敗しました。"), MsgBoxStyle::Critical);
            throw;
        }
    });
    // Outside the table above: a missing or odd value only leaves capture off, or no reply set,
    // silently.
    m_captureData = ReadCaptureSetting(strIniFile);
    m_customReply = ReadCustomReply(strIniFile);
}
