#pragma once

#include <QByteArray>

// A complete receiver settings file: the given port, echo on, and the log's size limit (MiB) and
// generation count.
inline QByteArray SettingsFileText(const QByteArray &port, int logMaxSize = 3,
                                   int logGenerations = 10)
{
    return "; bench receiver\r\n[Port]\r\nTcpPort=" + port
        + "\r\n\r\n[Maintenance]\r\nResSetting=1\r\nLogMaxSize=" + QByteArray::number(logMaxSize)
        + "\r\nLogGenerations=" + QByteArray::number(logGenerations) + "\r\n";
}

inline QByteArray SettingsFileText(quint16 port, int logMaxSize = 3, int logGenerations = 10)
{
    return SettingsFileText(QByteArray::number(port), logMaxSize, logGenerations);
}
