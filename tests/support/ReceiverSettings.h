#pragma once

#include <QByteArray>

// A complete receiver settings file: the given port, echo on, 3 MiB log, 10 generations.
inline QByteArray ReceiverSettings(const QByteArray &port)
{
    return "; bench receiver\r\n[Port]\r\nTcpPort=" + port
        + "\r\n\r\n[Maintenance]\r\nResSetting=1\r\nLogMaxSize=3\r\nLogGenerations=10\r\n";
}

inline QByteArray ReceiverSettings(quint16 port)
{
    return ReceiverSettings(QByteArray::number(port));
}
