#include "platform/SingleInstance.h"

#include "platform/ProgramFolder.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace SingleInstance {

bool acquire()
{
    static int lockDescriptor = -1;
    if (lockDescriptor >= 0)
        return true;
    const QByteArray folder = QFile::encodeName(ProgramFolder());
    const int descriptor = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return true; // Nothing to lock on: better to run than to refuse every start.
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        const bool heldByAnother = errno == EWOULDBLOCK;
        ::close(descriptor);
        return !heldByAnother;
    }
    lockDescriptor = descriptor;
    return true;
}

} // namespace SingleInstance
