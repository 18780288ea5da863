#include "ListeningWindow.h"
#include "Controls.h"

#include "LoopbackPorts.h"
#include "SettingsFileText.h"

#include "forms/frmMain.h"
#include "platform/SocketControl.h"

#include <QPushButton>

ListeningWindow::ListeningWindow(int logMaxSize, int logGenerations)
    : port(FreeLoopbackPort()), form(MainForm())
{
    folder.writeSettings(SettingsFileText(port, logMaxSize, logGenerations));
    form.ReadSetting(folder.settingsFile());
    form.Show();
}

ListeningWindow::~ListeningWindow()
{
    UnloadMainForm();
}

bool ListeningWindow::isValid() const
{
    return folder.isValid() && form.RcvPort() == port;
}

bool ListeningWindow::startListening()
{
    Ctl<QPushButton>(form, "cmdRecvData")->click();
    return Socket(form, 0)->state() == SocketControl::sckListening;
}
