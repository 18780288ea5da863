#include "forms/Messages.h"
#include "forms/frmMain.h"

#include "forms/ui/FrameThrottle.h"
#include "forms/ui/Lamp.h"
#include "forms/ui/MessageBox.h"
#include "lib/DataCapture.h"
#include "lib/ErrorTrap.h"
#include "lib/modLogging.h"
#include "lib/modSimGeneral.h"
#include "lib/modUtility.h"
#include "platform/SocketControl.h"

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

SocketControl *frmMain::CreateSocket(int index)
{
    auto *socket = new SocketControl(index, this);
    socket->setObjectName(QStringLiteral("wscRecv%1").arg(index));
    wscRecv.push_back(socket);
    ConnectSocket(socket);
    return socket;
}

void frmMain::ConnectSocket(SocketControl *socket)
{
    connect(socket, &SocketControl::connectionRequest, this, &frmMain::wscRecv_ConnectionRequest);
    connect(socket, &SocketControl::dataArrival, this, &frmMain::wscRecv_DataArrival);
    connect(socket, &SocketControl::closed, this, &frmMain::wscRecv_Close);
    connect(socket, &SocketControl::socketError, this,
            [this](int index, int, const QString &) { wscRecv_Error(index); });
    // Every echo line claimed bytes for the wire; the ones that never went are owned up to.
    connect(socket, &SocketControl::echoDropped, this, [](int, qint64 bytes) {
        WriteLog(intToolIndex,
                 QStringLiteral("送信できなかった応答データ%1バイトを破棄しました。").arg(bytes)
                     + QStringLiteral("(wscRecv_Close)"));
    });
}

void frmMain::cmdRecvData_Click()
{
    SocketControl &listener = *wscRecv.at(0);
    const bool succeeded = TrapErrors("(cmdRecvData_Click)", [&] {
        if (listener.state() == SocketControl::sckClosed) {
            nameListenAction(*cmdRecvData, true);
            listener.setLocalAddress(strBindAddress);
            listener.setLocalPort(lngRcvPort);
            listener.listen();
            m_record.restartCounts();
        } else {
            listener.close();
            nameListenAction(*cmdRecvData, false);
            // The window shows every block noted before the stop, then both lamps go out.
            RefreshDisplay();
            CtrlLed(*shpSendLed, 0);
            CtrlLed(*shpRecvLed, 0);
        }
    });
    // A refused listen leaves the listener closed, so the button offers to start again.
    nameListenAction(*cmdRecvData, listener.state() != SocketControl::sckClosed);
    RefreshStatus();
    if (!succeeded)
        MsgBox(Messages::portUnusable, MsgBoxStyle::Critical);
}

void frmMain::wscRecv_ConnectionRequest(int index, qintptr requestId)
{
    TrapErrors("(wscRecv_ConnectionRequest)", [&] {
        if (index != 0)
            return;
        if (wscRecv.size() == 1)
            CreateSocket(1);
        // The newest peer wins: the previous one is dropped.
        if (wscRecv[1]->state() != SocketControl::sckClosed)
            wscRecv[1]->close();
        wscRecv[1]->accept(requestId);
    });
    m_display->request();
}

void frmMain::wscRecv_DataArrival(int, qint64 bytesTotal)
{
    static const char tag[] = "(wscRecv_DataArrival)";
    // A lone byte waits for the next block, unless none can follow it: then it is the last one.
    const bool block = bytesTotal > 1 || (bytesTotal == 1 && wscRecv.at(1)->nothingMoreCanFollow());
    TrapErrors(tag, [&] {
        // A lone byte counts as an error; it stays waiting and comes with the next block.
        // optNothing, or no option at all, sends nothing.
        if (!block)
            WriteLog(intToolIndex, QStringLiteral("通信エラーが発生しました。"));
        else
            ReceiveBlock(*wscRecv.at(1), bytesTotal,
                         {optRcvData->isChecked(),
                          optCustom->isChecked() ? m_customReply : QByteArray(), m_captureData},
                         m_record);
    });
    // After lone bytes and failed reads too: the log keeps its size limit whatever peers send.
    RotateToolFiles(1, block && m_captureData, tag);
    // Whatever the block's fate, the window catches up with what was noted, after the echo left.
    m_display->request();
}

void frmMain::wscRecv_Close(int index)
{
    TrapErrors("(wscRecv_Close)", [&] { wscRecv.at(index)->close(); });
    m_display->request();
}

void frmMain::wscRecv_Error(int index)
{
    TrapErrors("(wscRecv_Error)", [&] {
        wscRecv.at(index)->close();
        if (index == 0)
            wscRecv[0]->listen();
    });
    m_display->request();
}
