#include "ListeningWindow.h"

#include "LoopbackPorts.h"
#include "ReceiverSettings.h"

#include "forms/frmMain.h"
#include "platform/core/SocketControl.h"

#include <QPushButton>

ListeningWindow::ListeningWindow(int logMaxSize, int logGenerations)
    : port(FreeLoopbackPort()), form(MainForm())
{
    folder.writeSettings(ReceiverSettings(port, logMaxSize, logGenerations));
    form.ReadSetting(folder.settingsFile());
    form.Show();
}

ListeningWindow::~ListeningWindow()
{
    UnloadMainForm();
}

bool ListeningWindow::isValid() const
{
    return folder.isValid() && form.lngRcvPort == port;
}

bool ListeningWindow::startListening()
{
    form.cmdRecvData->click();
    return form.wscRecv.at(0)->state() == SocketControl::sckListening;
}
