#pragma once

#include <QByteArray>
#include <QString>

// The local machine's name as the socket layer reports it. Throws RuntimeError when the system
// wrote no terminated name.
QString LocalHostName();

// The text of a name buffer up to its first NUL. A buffer without NUL means nothing was written:
// RuntimeError(invalidArgument), which ends start-up.
QString HostNameFromBuffer(const QByteArray &buffer);
