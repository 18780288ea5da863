#include "forms/frmMain.h"
#include "forms/frmTcpRcvComSetting.h"

#include "lib/ErrorTrap.h"

void frmMain::ComSetting_Click()
{
    TrapErrors("(ComSetting_Click)", [] {
        frmTcpRcvComSetting &dialog = ComSettingForm();
        dialog.Load();
        dialog.exec();
        // Closed by its close box rather than a button: it is not kept for the next opening.
        if (ComSettingFormExists() && &ComSettingForm() == &dialog)
            UnloadComSettingForm();
    });
}
