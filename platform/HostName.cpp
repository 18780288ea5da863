#include "platform/HostName.h"

#include "platform/RuntimeError.h"

#include <unistd.h>

QString LocalHostName()
{
    // Blanks, not NULs, so that a call that writes nothing leaves no terminator behind.
    QByteArray buffer(256, ' ');
    gethostname(buffer.data(), static_cast<size_t>(buffer.size()));
    return HostNameFromBuffer(buffer);
}

QString HostNameFromBuffer(const QByteArray &buffer)
{
    const qsizetype end = buffer.indexOf('\0');
    if (end < 0)
        throw RuntimeError(ErrorText::invalidArgument);
    return QString::fromLocal8Bit(buffer.left(end));
}
