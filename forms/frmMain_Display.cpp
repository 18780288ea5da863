#include "forms/frmMain.h"

#include "forms/ui/HexGrid.h"
#include "forms/ui/Lamp.h"
#include "lib/DisplayTime.h"
#include "lib/HexGridModel.h"
#include "lib/modSimGeneral.h"

#include <QLabel>

namespace {
QString displayTimeOf(qint64 msecsSinceEpoch)
{
    return FormatDisplayTime(QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch));
}
} // namespace

void frmMain::RefreshDisplay()
{
    if (m_record.serial == m_shownSerial)
        return;
    m_shownSerial = m_record.serial;
    CtrlLed(*shpRecvLed, 1);
    CtrlLed(*shpSendLed, m_record.sentSerial == m_record.serial ? 1 : 0);
    lblLastRecvDateTimeData->setText(displayTimeOf(m_record.receivedAtMs));
    SetGridFromByteArray(fgrdRecvData->hexModel(), m_record.received);
    if (m_record.sentSerial != m_shownSentSerial) {
        m_shownSentSerial = m_record.sentSerial;
        lblLastSentDateTimeData->setText(displayTimeOf(m_record.sentAtMs));
        SetGridFromByteArray(fgrdSendData->hexModel(), m_record.sent);
    }
}
