#include "LoopbackPorts.h"

#include <QTcpServer>

quint16 FreeLoopbackPort(PortForm form)
{
    QTcpServer probe;
    if (form == PortForm::Any) {
        probe.listen(QHostAddress::Any, 0);
        return probe.serverPort();
    }
    for (quint16 port = 6000; port < 10000; ++port) {
        if (probe.listen(QHostAddress::Any, port))
            return port;
    }
    return 0;
}
