#include "forms/Messages.h"
#include "forms/frmMain.h"

#include "lib/DisplayTime.h"
#include "lib/ErrorTrap.h"
#include "lib/HexGridModel.h"
#include "lib/modLogging.h"
#include "lib/modSimGeneral.h"
#include "lib/modUtility.h"
#include "platform/core/Clock.h"
#include "platform/core/SocketControl.h"
#include "platform/ui/HexGrid.h"
#include "platform/ui/Lamp.h"
#include "platform/ui/MessageBox.h"

#include <QCoreApplication>
#include <QLabel>
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

void showBlock(HexGrid &grid, const QByteArray &block)
{
    grid.beginFill();
    SetGridFromByteArray(grid.hexModel(), block);
    grid.endFill();
}
} // namespace

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
            listener.setLocalPort(lngRcvPort);
            listener.listen();
        } else {
            listener.close();
            nameListenAction(*cmdRecvData, false);
            CtrlLed(*shpSendLed, 0);
            CtrlLed(*shpRecvLed, 0);
        }
    });
    // A refused listen leaves the listener closed, so the button offers to start again.
    nameListenAction(*cmdRecvData, listener.state() != SocketControl::sckClosed);
    if (!succeeded)
        MsgBox(Messages::portUnusable, MsgBoxStyle::Critical);
}

void frmMain::wscRecv_ConnectionRequest(int index, qintptr requestId)
{
    TrapErrors("(wscRecv_ConnectionRequest)", [&] {
        if (index != 0)
            return;
        if (wscRecv.size() == 1) {
            wscRecv.push_back(new SocketControl(1, this));
            ConnectSocket(wscRecv.back());
        }
        // The newest peer wins: the previous one is dropped.
        if (wscRecv[1]->state() != SocketControl::sckClosed)
            wscRecv[1]->close();
        wscRecv[1]->accept(requestId);
    });
}

void frmMain::wscRecv_DataArrival(int, qint64 bytesTotal)
{
    TrapErrors("(wscRecv_DataArrival)", [&] {
        // A lone byte counts as an error; it stays waiting and comes with the next block.
        if (bytesTotal <= 1) {
            WriteLog(intToolIndex, QStringLiteral("通信エラーが発生しました。"));
            // Lone bytes grow the log too: it keeps its size limit whatever peers send.
            RotateLog(strLogFile[1], intLogMaxSize, intLogGenerations);
            return;
        }
        SocketControl &connection = *wscRecv.at(1);
        const QByteArray block = connection.getData(bytesTotal);
        WriteLog(intToolIndex,
                 QString::number(block.size()) + QStringLiteral("バイトのデータ受信"));
        CtrlLed(*shpRecvLed, 1);
        CtrlLed(*shpSendLed, 0);
        lblLastRecvDateTimeData->setText(FormatDisplayTime(CurrentDateTime()));
        showBlock(*fgrdRecvData, block);

        // optNothing, or no option at all (the custom option is disabled), sends nothing.
        if (optRcvData->isChecked()) {
            const QByteArray response = block;
            connection.sendData(response);
            CtrlLed(*shpSendLed, 1);
            lblLastSentDateTimeData->setText(FormatDisplayTime(CurrentDateTime()));
            WriteLog(intToolIndex,
                     QString::number(response.size()) + QStringLiteral("バイトの応答送信"));
            // Both lines are in the log before the echo can reach the peer; the echo leaves
            // now, not after the window's next repaint.
            connection.flush();
            showBlock(*fgrdSendData, response);
        }
        RotateLog(strLogFile[1], intLogMaxSize, intLogGenerations);
    });
}

void frmMain::wscRecv_Close(int index)
{
    TrapErrors("(wscRecv_Close)", [&] { wscRecv.at(index)->close(); });
}

void frmMain::wscRecv_Error(int index)
{
    TrapErrors("(wscRecv_Error)", [&] {
        wscRecv.at(index)->close();
        if (index == 0)
            wscRecv[0]->listen();
    });
}

void frmMain::cmdEnd_Click()
{
    ConfirmAndEnd();
}

bool frmMain::ConfirmAndEnd()
{
    bool ending = false;
    TrapErrors("(cmdEnd_Click)", [&] {
        const int answer
            = MsgBox(QStringLiteral("Parvelを終了してもよろしいですか？"),
                     MsgBoxStyle::OkCancel | MsgBoxStyle::Question | MsgBoxStyle::DefaultButton2,
                     QStringLiteral("Parvel"));
        if (answer != MsgBoxResult::Ok)
            return;
        wscRecv.at(0)->close();
        ending = true;
        hide();
        // Leave the event loop at once: no further handler runs.
        QCoreApplication::exit(0);
    });
    return ending;
}
