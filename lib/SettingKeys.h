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
} // namespace SettingKeys
