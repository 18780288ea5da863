#include "app/modTcpRecv.h"

#include "forms/Messages.h"
#include "forms/frmMain.h"
#include "forms/frmTcpRcvComSetting.h"
#include "forms/ui/MessageBox.h"
#include "lib/ErrorTrap.h"
#include "lib/ReceiverSettings.h"
#include "lib/modGeneralLib.h"
#include "lib/modLogging.h"
#include "lib/modSimGeneral.h"
#include "lib/modUtility.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"

#include <QCoreApplication>

void EndOnTerminationSignals()
{
    static bool connected = false;
    TerminationSignals *reporter = TerminationSignals::install();
    if (connected || !reporter)
        return;
    connected = true;
    QObject::connect(reporter, &TerminationSignals::received, reporter, [] {
        // Without the main window (the port dialog at start-up) there is nothing to end but the
        // event loop.
        if (MainFormExists())
            MainForm().End();
        else
            QCoreApplication::exit(0);
    });
}

void Main(const RunOptions &options)
{
    TrapErrors("(Main)", [&] {
        if (!InitApplication(receiverToolIndex, SetDefine)) {
            WriteLog(intToolIndex, QStringLiteral("(Main)"));
            return;
        }
        if (!SingleInstance::acquire()) {
            WriteLog(intToolIndex, QStringLiteral("二重起動の為、起動を中止しました。"));
            return;
        }

        MainForm().ReadSetting(strSettingFile[1]);
        strBindAddress = options.bindAddress.value_or(ReadBindAddress(strSettingFile[1]));
        RotateLog(strLogFile[1], intLogMaxSize, intLogGenerations);

        const QString portText = ReadPortText(strSettingFile[1]);
        if (!IsNumeric(portText)) {
            ComSettingForm().show();
            return;
        }

        frmTcpRcvComSetting &dialog = ComSettingForm();
        dialog.Load();
        if (CheckListenPort(*dialog.wscTcpRcvTest, portText)) {
            MainForm().Show();
        } else {
            MsgBox(Messages::portUnusable, MsgBoxStyle::Critical);
            dialog.show();
        }
    });
}
