#pragma once

#include <QDateTime>

// Local date and time with milliseconds; the one impure call behind every timestamp.
inline QDateTime CurrentDateTime()
{
    return QDateTime::currentDateTime();
}

// The same moment as milliseconds since the epoch: cheap enough to take for every block; turned
// into local time only when shown.
inline qint64 CurrentMSecsSinceEpoch()
{
    return QDateTime::currentMSecsSinceEpoch();
}
