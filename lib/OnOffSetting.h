#pragma once

#include "platform/IniProfile.h"

#include <QString>

// A [Maintenance] switch kept as "1" or "0". On only when the value reads exactly "1": no rounding
// or stray text switches anything on by surprise.
bool ReadOnOffSetting(const QString &iniFile, const QString &key);
// The result says why the settings file could not be replaced.
WriteResult WriteOnOffSetting(const QString &iniFile, const QString &key, bool on);
