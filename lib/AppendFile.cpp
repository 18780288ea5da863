#include "lib/AppendFile.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Another Parvel holds the lock for one append only, so a busy lock is tried again for about a
// millisecond; a file that another program keeps locked longer is a failed write, not a wait that
// every block's echo would pay.
constexpr int lockAttempts = 10;
constexpr useconds_t lockPauseUs = 100;

// Every Parvel append holds this lock from its write to its cut-back: the file then still ends
// where the write left it, and the cut takes back only this write's own bytes. Where the file
// system has no such locks, the append goes ahead without.
bool LockForAppend(int descriptor)
{
    for (int attempt = 1;; ++attempt) {
        if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return true;
        if (attempt == lockAttempts)
            return false;
        ::usleep(lockPauseUs);
    }
}
} // namespace

bool AppendWhole(const QString &path, const QByteArray &bytes)
{
    if (path.isEmpty())
        return false;
    // Nothing is held open between appends, so a rotation can rename the file at any time. The
    // open never waits (a FIFO without a reader would hold it for ever) and never follows a
    // symbolic link out of the folder.
    const int descriptor = ::open(
        QFile::encodeName(path).constData(),
        O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW, 0666);
    if (descriptor < 0)
        return false;
    // Only a regular file takes the bytes: a FIFO with a reader or a device is a failed write.
    struct stat status;
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)
        || !LockForAppend(descriptor)) {
        ::close(descriptor);
        return false;
    }
    bool whole = true;
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n
            = ::write(descriptor, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            whole = false;
            break;
        }
        written += n;
    }
    if (!whole && written > 0) {
        // A torn line or block would mislead whoever reads the file: take the part back out. Under
        // the lock the appended part ends where the file now ends. When even that fails, nothing
        // more can be done.
        const off_t end = ::lseek(descriptor, 0, SEEK_CUR);
        if (end >= written) [[maybe_unused]]
            const int cut = ::ftruncate(descriptor, end - written);
    }
    // Closing releases the lock.
    ::close(descriptor);
    return whole;
}
