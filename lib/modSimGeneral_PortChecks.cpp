#include "lib/ErrorTrap.h"
#include "lib/modGeneralLib.h"
#include "lib/modSimGeneral.h"
#include "platform/SocketControl.h"

bool CheckPortNo(const QString &portText)
{
    bool valid = false;
    TrapErrors("(CheckPortNo)", [&] {
        if (portText.isEmpty() || !IsNumeric(portText))
            return;
        const qint32 port = CLng(portText);
        valid = 65536.0 > double(port) && port >= 0;
    });
    return valid;
}

bool CheckListenPort(SocketControl &trialSocket, const QString &portText)
{
    bool listened = false;
    // Each trial starts from a closed socket, whatever an earlier failed trial left behind.
    trialSocket.close();
    TrapErrors("(CheckListenPort)", [&] {
        if (IsNumeric(portText)) {
            trialSocket.setLocalPort(CLng(portText));
            trialSocket.listen();
            listened = true;
        }
        trialSocket.close();
    });
    trialSocket.close();
    return listened;
}
