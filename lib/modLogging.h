#pragma once

#include <QString>
#include <array>

// Log tables: filled once by InitLogging, read afterwards.
extern QString strHostName;
extern std::array<QString, 10> strToolName;
extern std::array<QString, 10> strLogFile;

// Log settings, filled by ReadSetting and corrected by RotateLog.
extern qint16 intLogMaxSize;
extern qint16 intLogGenerations;

// Fills the host name and the tool and log-file tables. Throws RuntimeError when the host name
// cannot be had.
void InitLogging(const QString &logFolder);
