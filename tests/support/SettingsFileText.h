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

// A settings file of exactly these lines in its two sections (lines joined by CR LF).
inline QByteArray SettingsSections(const QByteArray &port, const QByteArray &maintenance)
{
    return "[Port]\r\n" + port + "\r\n\r\n[Maintenance]\r\n" + maintenance + "\r\n";
}

// [Maintenance] lines that read without a fault: echo, 3 MiB, ten generations.
inline const QByteArray validMaintenance = "ResSetting=1\r\nLogMaxSize=3\r\nLogGenerations=10";

// Where a test's targets start, so that "left alone" differs from "stored 0".
constexpr int untouched = 77;
