#include "forms/frmMain.h"

#include "forms/ui/CenterForm.h"
#include "forms/ui/HexGrid.h"
#include "forms/ui/Lamp.h"
#include "lib/DisplayTime.h"
#include "lib/ErrorTrap.h"
#include "lib/HexGridModel.h"
#include "lib/ReceiverSession.h"
#include "lib/modSimGeneral.h"
#include "lib/modUtility.h"
#include "platform/Clock.h"

#include <QAction>
#include <QLabel>
#include <QRadioButton>
#include <QTimer>

void frmMain::Form_Load()
{
    TrapErrors("(Form_Load)", [this] {
        setWindowTitle(QStringLiteral("Parvel"));
        fgrdSendData->hexModel().prepareHeaders();
        fgrdRecvData->hexModel().prepareHeaders();
        tmrNowDateTime->start();
        CtrlLed(*shpSendLed, 0);
        CtrlLed(*shpRecvLed, 0);
        RefreshStatus();
        CaptureData->setChecked(m_session->mode().capture);
        ReceiveLoneByte->setChecked(m_session->mode().loneByte);
        ShowCustomAvailable();
        const bool replySet = !m_session->mode().reply.isEmpty();
        if (intResSetting == 0)
            optNothing->setChecked(true);
        else if (intResSetting == 1)
            optRcvData->setChecked(true);
        else if (intResSetting == 2 && replySet)
            optCustom->setChecked(true);
        CenterForm(*this);
    });
}

void frmMain::tmrNowDateTime_Timer()
{
    TrapErrors("(tmrNowDateTime_Timer)", [this] {
        lblNowDateTimeForSendData->setText(FormatDisplayTime(CurrentDateTime()));
        lblNowDateTimeForRecvData->setText(FormatDisplayTime(CurrentDateTime()));
    });
}
