#include "forms/Messages.h"
#include "forms/frmMain.h"
#include "forms/frmTcpRcvCustomData.h"

#include "forms/ui/MessageBox.h"
#include "lib/CustomReply.h"
#include "lib/ErrorTrap.h"
#include "lib/ReceiverSession.h"
#include "lib/modUtility.h"

#include <QRadioButton>

void frmMain::CustomData_Click()
{
    TrapErrors("(CustomData_Click)", [this] {
        frmTcpRcvCustomData dialog(m_session->mode().reply, [this](const QByteArray &reply) {
            return ApplyCustomReply(reply);
        });
        dialog.exec();
    });
}

bool frmMain::ApplyCustomReply(const QByteArray &reply)
{
    return TrapErrors("(CustomData_Click)", [&] {
        const WriteResult written = WriteCustomReply(strSettingFile[1], reply);
        if (!written) {
            MsgBox(Messages::settingsWriteFailed, MsgBoxStyle::Critical);
            throw RuntimeError(written.failure);
        }
        // From the next block on, also while listening.
        m_session->setCustomReply(reply);
        ShowCustomAvailable();
        if (reply.isEmpty() && optCustom->isChecked()) {
            // No reply, no answer: the group is left with no option selected, as a response
            // mode outside the options leaves it.
            optCustom->setAutoExclusive(false);
            optCustom->setChecked(false);
            optCustom->setAutoExclusive(true);
        }
    });
}

void frmMain::ShowCustomAvailable()
{
    const bool available = !m_session->mode().reply.isEmpty();
    optCustom->setEnabled(available);
    // A disabled option says how to make it available.
    optCustom->setToolTip(
        available ? QString()
                  : QStringLiteral(
                      "応答データが未設定です。設定 → 応答データ... で設定すると選べます。"));
}
