#include "forms/Messages.h"
#include "forms/frmMain.h"

#include "forms/ui/FrameThrottle.h"
#include "forms/ui/Lamp.h"
#include "forms/ui/MessageBox.h"
#include "lib/ErrorTrap.h"
#include "lib/ReceiverSession.h"
#include "lib/modSimGeneral.h"
#include "lib/modUtility.h"
#include "platform/RuntimeError.h"

#include <QPushButton>
#include <QRadioButton>

namespace {
// The caption names what the next click does; screen readers read the same.
void nameListenAction(QPushButton &button, bool listening)
{
    const QString caption = listening ? QStringLiteral("受信停止") : QStringLiteral("受信待ち");
    button.setText(caption);
    button.setAccessibleName(caption);
}
} // namespace

void frmMain::ConnectSession()
{
    // The socket events keep their handlers' names on the window, each forwarding to the session.
    m_session->routeSocketEvents({
        [this](int index, qintptr requestId) { wscRecv_ConnectionRequest(index, requestId); },
        [this](int index, qint64 bytesTotal) { wscRecv_DataArrival(index, bytesTotal); },
        [this](int index) { wscRecv_Close(index); },
        [this](int index) { wscRecv_Error(index); },
    });
    // Whatever the session reports, the window catches up on its next display pass.
    const auto refresh = [this] {
        m_displayThrottle->request();
    };
    connect(m_session, &ReceiverSession::listeningChanged, this, refresh);
    connect(m_session, &ReceiverSession::peerConnected, this, refresh);
    connect(m_session, &ReceiverSession::peerReplaced, this, refresh);
    connect(m_session, &ReceiverSession::peerClosed, this, refresh);
    connect(m_session, &ReceiverSession::loneByteHeld, this, refresh);
    connect(m_session, &ReceiverSession::recordChanged, this, refresh);
    for (QRadioButton *option : {optNothing, optRcvData, optCustom})
        connect(option, &QRadioButton::toggled, this, &frmMain::ApplyResponseOption);
}

void frmMain::ApplyResponseOption()
{
    // No option checked (a response mode outside the options) answers nothing.
    m_session->setAnswerMode(optRcvData->isChecked()      ? AnswerMode::Echo
                                 : optCustom->isChecked() ? AnswerMode::CustomReply
                                                          : AnswerMode::Nothing);
}

void frmMain::cmdRecvData_Click()
{
    const bool succeeded = TrapErrors("(cmdRecvData_Click)", [&] {
        if (!m_session->isListening()) {
            nameListenAction(*cmdRecvData, true);
            // Port 0 would ask the system for any port: a peer could never find it.
            if (lngRcvPort < 1 || lngRcvPort > 65535)
                throw RuntimeError(ErrorText::invalidArgument);
            m_session->start(lngRcvPort, strBindAddress);
        } else {
            m_session->stop();
            nameListenAction(*cmdRecvData, false);
            // The window shows every block noted before the stop, then both lamps go out.
            RefreshDisplay();
            CtrlLed(*shpSendLed, 0);
            CtrlLed(*shpRecvLed, 0);
        }
    });
    // A refused listen leaves the listener closed, so the button offers to start again.
    nameListenAction(*cmdRecvData, m_session->isListening());
    RefreshStatus();
    if (!succeeded)
        MsgBox(Messages::portUnusable, MsgBoxStyle::Critical);
}

void frmMain::wscRecv_ConnectionRequest(int index, qintptr requestId)
{
    m_session->ConnectionRequest(index, requestId);
}

void frmMain::wscRecv_DataArrival(int index, qint64 bytesTotal)
{
    m_session->DataArrival(index, bytesTotal);
}

void frmMain::wscRecv_Close(int index)
{
    m_session->Close(index);
}

void frmMain::wscRecv_Error(int index)
{
    m_session->Error(index);
}
