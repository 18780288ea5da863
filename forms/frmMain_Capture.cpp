#include "forms/Messages.h"
#include "forms/frmMain.h"

#include "forms/ui/MessageBox.h"
#include "lib/DataCapture.h"
#include "lib/ErrorTrap.h"
#include "lib/ReceiverSession.h"
#include "lib/modUtility.h"

#include <QAction>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

void frmMain::CaptureData_Click(bool checked)
{
    TrapErrors("(CaptureData_Click)", [&] {
        // Written at once, as the port is; unlike the port it takes effect at once too.
        const WriteResult written = WriteCaptureSetting(strSettingFile[1], checked);
        if (!written) {
            CaptureData->setChecked(m_session->mode().capture);
            MsgBox(Messages::settingsWriteFailed, MsgBoxStyle::Critical);
            throw RuntimeError(written.failure);
        }
        m_session->setCapture(checked);
    });
    RefreshStatus();
}

void frmMain::OpenLogFolder_Click()
{
    TrapErrors("(OpenLogFolder_Click)", [] {
        if (QDesktopServices::openUrl(QUrl::fromLocalFile(strLogDir)))
            return;
        // Where no file manager opens it, the user still learns where the log is.
        MsgBox(QStringLiteral("ログフォルダを開けませんでした。\r\n") + strLogDir,
               MsgBoxStyle::Exclamation);
        throw RuntimeError(QFileInfo(strLogDir).isDir()
                               ? QStringLiteral("フォルダを開くアプリケーションが見つかりません。")
                               : ErrorText::pathNotFound);
    });
}
