#pragma once

#include "platform/IniProfile.h"

#include <QString>

// A settings value, cut to 255 bytes (never inside a character) and trimmed; empty when the file,
// section or key is missing.
QString ReadIniString(const QString &section, const QString &key, const QString &file);

// Writes one value; the result says why the file could not be replaced with the new content.
WriteResult WriteIniString(const QString &section, const QString &key, const QString &file,
                           const QString &value);

// The text made of the first byteCount bytes of text's narrow (UTF-8) form, without splitting a
// character.
QString LeftAnsiBytes(const QString &text, qint32 byteCount);
