#include "forms/frmMain.h"

#include "forms/ui/MessageBox.h"
#include "lib/ReceiverSession.h"
#include "lib/ReceiverSettings.h"
#include "lib/ResponseRulesFile.h"
#include "lib/modLogging.h"
#include "lib/modUtility.h"

void frmMain::ReadSetting(const QString &strIniFile)
{
    // A key the reading does not reach keeps its target's value.
    ReceiverSettings settings;
    settings.port = lngRcvPort;
    settings.response = intResSetting;
    settings.logMaxSize = intLogMaxSize;
    settings.logGenerations = intLogGenerations;
    const SettingsReadFault fault = ReadReceiverSettings(strIniFile, settings);
    lngRcvPort = settings.port;
    intResSetting = settings.response;
    intLogMaxSize = settings.logMaxSize;
    intLogGenerations = settings.logGenerations;
    // Outside the reading's failures: a missing or odd value only leaves capture off, or no reply
    // set, silently.
    m_session->setCapture(settings.capture);
    m_session->setCustomReply(settings.customReply);
    m_session->setReceiveLoneByte(settings.receiveLoneByte);
    // Read once at start-up, so a line that cannot be used is logged once.
    m_session->setRules(LoadResponseRules(ResponseRulesFile()));
    if (!fault.stopped())
        return;
    // The user hears of the failure before it is logged; a stop without a run-time error has
    // nothing to describe, so the log gets the tag alone.
    for (const QString &message : SettingsFaultMessages(fault))
        MsgBox(message, MsgBoxStyle::Critical);
    WriteLog(intToolIndex, fault.description + QStringLiteral("(ReadSetting)"));
}
