#include "forms/frmMain.h"

#include "forms/frmHistory.h"
#include "lib/ErrorTrap.h"
#include "lib/ReceiverSession.h"
#include "lib/modUtility.h"

void frmMain::History_Click()
{
    TrapErrors("(History_Click)", [this] {
        // Made on first use and kept, hidden, when closed: it keeps its size and its filter.
        if (!m_historyWindow)
            m_historyWindow = new frmHistory(m_session->history(), strSettingFile[1], this);
        m_historyWindow->open();
    });
}
