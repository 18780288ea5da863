#pragma once

#include <QByteArray>
#include <QString>

// Stand-in for the platform's profile functions on an INI file in the narrow (UTF-8) encoding.
// Section and key names match case-blind; the first matching section and, inside it, the first
// matching key win. Keys above the first section belong to no section.

// The value with blanks at both ends and one pair of enclosing quotes removed; a NUL byte ends
// it. Empty when the file, the section or the key is missing.
QByteArray ReadProfileString(const QByteArray &section, const QByteArray &key, const QString &file);

// A write's outcome: why it failed, in the user's words (the text a log line carries); nothing
// after a success.
struct [[nodiscard]] WriteResult
{
    QString failure;
    explicit operator bool() const { return failure.isEmpty(); }
};

// Sets key=value in the section, adding the key, the section or the file when missing; every
// other line stays byte for byte. The file is replaced atomically; when that failed, the old file
// is untouched.
WriteResult WriteProfileString(const QByteArray &section, const QByteArray &key,
                               const QByteArray &value, const QString &file);
