#pragma once

#include <QString>

// A [Maintenance] switch kept as "1" or "0". On only when the value reads exactly "1": no rounding
// or stray text switches anything on by surprise.
bool ReadOnOffSetting(const QString &iniFile, const QString &key);
// False when the settings file could not be replaced.
bool WriteOnOffSetting(const QString &iniFile, const QString &key, bool on);
