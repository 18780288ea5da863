// Header only: names of the receiver's settings, one place to spell them.
#pragma once

#include <QString>

namespace SettingKeys {
inline const QString portSection = QStringLiteral("Port");
inline const QString tcpPort = QStringLiteral("TcpPort");
inline const QString bindAddress = QStringLiteral("BindAddress");
inline const QString maintenanceSection = QStringLiteral("Maintenance");
inline const QString resSetting = QStringLiteral("ResSetting");
inline const QString logMaxSize = QStringLiteral("LogMaxSize");
inline const QString logGenerations = QStringLiteral("LogGenerations");
inline const QString captureData = QStringLiteral("CaptureData");
inline const QString customData = QStringLiteral("CustomData");
// "1": a byte that arrives alone is a block like any other (else it waits for more).
inline const QString receiveLoneByte = QStringLiteral("ReceiveLoneByte");
inline const QString historyWindowSize = QStringLiteral("HistoryWindowSize");
} // namespace SettingKeys
