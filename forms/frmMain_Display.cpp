#include "forms/frmMain.h"

#include "forms/StatusTexts.h"
#include "forms/ui/StatusPanel.h"
#include "platform/SocketControl.h"

#include "forms/ui/HexGrid.h"
#include "forms/ui/Lamp.h"
#include "lib/DisplayTime.h"
#include "lib/HexGridModel.h"
#include "lib/modSimGeneral.h"
#include "lib/modUtility.h"

#include <QLabel>

namespace {
QString displayTimeOf(qint64 msecsSinceEpoch)
{
    return FormatDisplayTime(QDateTime::fromMSecsSinceEpoch(msecsSinceEpoch));
}

// Screen readers hear the note's whole text as its description.
void showNote(QLabel &note, qint64 blockBytes)
{
    const QString text = StatusTexts::ShownPart(blockBytes);
    note.setText(text);
    note.setAccessibleDescription(text);
}
} // namespace

void frmMain::RefreshStatus()
{
    // While stopped, the port the next start will try.
    const quint16 listening = wscRecv[0]->listeningPort();
    const quint16 next = lngRcvPort > 0 && lngRcvPort <= 65535 ? quint16(lngRcvPort) : 0;
    sbListening->setFullText(
        StatusTexts::Listening(listening ? listening : next, listening != 0, strBindAddress));
    const SocketControl *connection = wscRecv.size() > 1 ? wscRecv[1] : nullptr;
    sbConnection->setFullText(
        connection ? StatusTexts::Connection(connection->peerAddress(), connection->peerPort())
                   : StatusTexts::Connection({}, 0));
    sbReceived->setFullText(
        StatusTexts::Received(m_record.blocksReceived, m_record.bytesReceived),
        StatusTexts::ReceivedShort(m_record.blocksReceived, m_record.bytesReceived));
    sbSent->setFullText(StatusTexts::Sent(m_record.blocksSent, m_record.bytesSent),
                        StatusTexts::SentShort(m_record.blocksSent, m_record.bytesSent));
}

void frmMain::RefreshDisplay()
{
    RefreshStatus();
    if (m_record.serial == m_shownSerial)
        return;
    m_shownSerial = m_record.serial;
    CtrlLed(*shpRecvLed, 1);
    CtrlLed(*shpSendLed, m_record.sentSerial == m_record.serial ? 1 : 0);
    lblLastRecvDateTimeData->setText(displayTimeOf(m_record.receivedAtMs));
    SetGridFromByteArray(fgrdRecvData->hexModel(), m_record.received);
    showNote(*lblRecvShown, m_record.received.size());
    if (m_record.sentSerial != m_shownSentSerial) {
        m_shownSentSerial = m_record.sentSerial;
        lblLastSentDateTimeData->setText(displayTimeOf(m_record.sentAtMs));
        SetGridFromByteArray(fgrdSendData->hexModel(), m_record.sent);
        showNote(*lblSendShown, m_record.sent.size());
    }
}
