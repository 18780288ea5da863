#pragma once

#include <QStringList>

// Bytes accounted for by the log's receive lines, each of which must be followed by the echo line
// of the same count; -1 when any line is out of that pattern.
qint64 LoggedEchoBytes(const QStringList &messages);
