#include "WindowFolder.h"

#include "forms/frmMain.h"
#include "forms/frmTcpRcvComSetting.h"

#include <QCoreApplication>
#include <QEvent>

WindowFolder::~WindowFolder()
{
    UnloadComSettingForm();
    UnloadMainForm();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
