#include "forms/frmMain.h"

#include "forms/frmHistory.h"
#include "forms/ui/StatusPanel.h"
#include "lib/ReceiverSession.h"
#include "lib/StatusTexts.h"

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
// The send grid's note also names the rule that answered, above how much of the block it shows.
void showNote(QLabel &note, qint64 blockBytes, const QString &answeredBy = {})
{
    const QString shown = StatusTexts::ShownPart(blockBytes);
    const QString text = answeredBy.isEmpty() ? shown
        : shown.isEmpty()                     ? answeredBy
                                              : answeredBy + QLatin1Char('\n') + shown;
    note.setText(text);
    note.setAccessibleDescription(text);
}
} // namespace

void frmMain::RefreshStatus()
{
    sbCapture->setVisible(m_session->mode().capture);
    // While stopped, the port the next start will try.
    const quint16 listening = m_session->listeningPort();
    const quint16 next = lngRcvPort > 0 && lngRcvPort <= 65535 ? quint16(lngRcvPort) : 0;
    sbListening->setFullText(
        StatusTexts::Listening(listening ? listening : next, listening != 0, strBindAddress));
    sbConnection->setFullText(
        StatusTexts::Connection(m_session->peerAddress(), m_session->peerPort()));
    const ReceiveRecord &record = m_session->record();
    // A lone byte held back is told where the whole text goes: the tooltip and screen readers.
    sbReceived->setFullText(
        StatusTexts::Received(record.blocksReceived, record.bytesReceived)
            + (m_session->byteHeld() ? QStringLiteral("（1バイト保留中）") : QString()),
        StatusTexts::ReceivedShort(record.blocksReceived, record.bytesReceived));
    sbSent->setFullText(StatusTexts::Sent(record.blocksSent, record.bytesSent),
                        StatusTexts::SentShort(record.blocksSent, record.bytesSent));
}

void frmMain::RefreshDisplay()
{
    RefreshStatus();
    if (m_historyWindow && m_historyWindow->isVisible())
        m_historyWindow->catchUp();
    const ReceiveRecord &record = m_session->record();
    if (record.serial == m_shownSerial)
        return;
    m_shownSerial = record.serial;
    CtrlLed(*shpRecvLed, 1);
    CtrlLed(*shpSendLed, record.sentSerial == record.serial ? 1 : 0);
    lblLastRecvDateTimeData->setText(displayTimeOf(record.receivedAtMs));
    SetGridFromByteArray(fgrdRecvData->hexModel(), record.received);
    showNote(*lblRecvShown, record.received.size());
    if (record.sentSerial != m_shownSentSerial) {
        m_shownSentSerial = record.sentSerial;
        lblLastSentDateTimeData->setText(displayTimeOf(record.sentAtMs));
        SetGridFromByteArray(fgrdSendData->hexModel(), record.sent);
        showNote(*lblSendShown, record.sent.size(), StatusTexts::AnsweredByRule(record.sentRule));
    }
}
