#include "app/modTcpRecv.h"

#include "forms/frmMain.h"
#include "forms/frmTcpRcvComSetting.h"
#include "lib/ErrorTrap.h"
#include "lib/modFileIO.h"
#include "lib/modGeneralLib.h"
#include "lib/modLogging.h"
#include "lib/modSimGeneral.h"
#include "lib/modUtility.h"
#include "platform/core/SingleInstance.h"
#include "platform/ui/MessageBox.h"

namespace {
constexpr qint16 receiverToolIndex = 1;

const QString portUnusableText
    = QStringLiteral("本PC上で、現在のポート設定ではデータを受信できません。\r\n"
                     "受信ポートを確認してください。");
} // namespace

void Main()
{
    TrapErrors("(Main)", [] {
        if (!InitApplication(receiverToolIndex, SetDefine)) {
            WriteLog(intToolIndex, QStringLiteral("(Main)"));
            return;
        }
        if (!SingleInstance::acquire()) {
            WriteLog(intToolIndex, QStringLiteral("二重起動の為、起動を中止しました。"));
            return;
        }

        MainForm().ReadSetting(strSettingFile[1]);
        RotateLog(strLogFile[1], intLogMaxSize, intLogGenerations);

        const QString portText
            = ReadIniString(QStringLiteral("Port"), QStringLiteral("TcpPort"), strSettingFile[1]);
        if (!IsNumeric(portText)) {
            ComSettingForm().show();
            return;
        }

        frmTcpRcvComSetting &dialog = ComSettingForm();
        dialog.Load();
        if (CheckListenPort(*dialog.wscTcpRcvTest, portText)) {
            MainForm().Show();
        } else {
            MsgBox(portUnusableText, MsgBoxStyle::Critical);
            dialog.show();
        }
    });
}
