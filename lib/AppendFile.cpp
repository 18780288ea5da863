#include "lib/AppendFile.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

bool AppendWhole(const QString &path, const QByteArray &bytes)
{
    if (path.isEmpty())
        return false;
    // Nothing is held open between appends, so a rotation can rename the file at any time.
    const int descriptor = ::open(QFile::encodeName(path).constData(),
                                  O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (descriptor < 0)
        return false;
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
        // A torn line or block would mislead whoever reads the file: take the part back out. The
        // appended part ends where the file now ends. When even that fails, nothing more can be
        // done.
        const off_t end = ::lseek(descriptor, 0, SEEK_CUR);
        if (end >= written) [[maybe_unused]]
            const int cut = ::ftruncate(descriptor, end - written);
    }
    ::close(descriptor);
    return whole;
}
