#pragma once

#include <QDateTime>

// Local date and time with milliseconds; the one impure call behind every timestamp.
inline QDateTime CurrentDateTime()
{
    return QDateTime::currentDateTime();
}
