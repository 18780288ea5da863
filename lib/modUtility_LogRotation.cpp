#include "lib/modUtility.h"

#include "lib/DataCapture.h"
#include "lib/ErrorTrap.h"
#include "lib/modLogging.h"
#include "platform/RuntimeError.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <sys/stat.h>

namespace {
constexpr qint16 defaultSizeLimitMiB = 3;
constexpr qint16 defaultGenerations = 10;

// Only a regular file counts: a folder of a generation's name is in the way, never rotated.
bool IsRegularFile(const QString &path)
{
    return QFileInfo(path).isFile();
}

QString Generation(const QString &liveFile, int number)
{
    return liveFile + QLatin1Char('.') + QString::number(number);
}

void DeleteFile(const QString &path)
{
    if (!QFile::remove(path))
        throw RuntimeError(ErrorText::permissionDenied);
}

// Never replaces anything: a taken name is a refusal, as on the original platform.
void RenameFile(const QString &from, const QString &to)
{
    if (QFile::rename(from, to))
        return;
    if (QFileInfo::exists(to) || QFileInfo(to).isSymLink())
        throw RuntimeError(ErrorText::fileExists);
    throw RuntimeError(ErrorText::permissionDenied);
}
} // namespace

void RotateLog(const QString &liveFile, qint16 &sizeLimitMiB, qint16 &generations)
{
    if (sizeLimitMiB < 1)
        sizeLimitMiB = defaultSizeLimitMiB;
    if (generations < 1)
        generations = defaultGenerations;

    // One stat when no rotation is due: this runs after every block.
    struct stat live;
    if (::stat(QFile::encodeName(liveFile).constData(), &live) != 0 || !S_ISREG(live.st_mode))
        return;
    // 64 bits: every positive 16-bit limit, up to 32767 MiB, fits.
    const qint64 byteLimit = qint64(sizeLimitMiB) * 1024 * 1024;
    if (qint64(live.st_size) <= byteLimit)
        return;

    // With a count of 1 the only generation kept is .1, which the live file then replaces.
    const int oldest = std::max(generations - 1, 1);
    if (IsRegularFile(Generation(liveFile, oldest)))
        DeleteFile(Generation(liveFile, oldest));
    // Downwards, so that every rename lands on a name freed a moment before; gaps move up too.
    for (int number = generations - 1; number >= 1; --number) {
        if (IsRegularFile(Generation(liveFile, number)))
            RenameFile(Generation(liveFile, number), Generation(liveFile, number + 1));
    }
    if (IsRegularFile(liveFile))
        RenameFile(liveFile, Generation(liveFile, 1));
}

void RotateToolFiles(qint16 toolIndex, bool capture, const char *tag)
{
    if (toolIndex < 0 || toolIndex >= qint16(strLogFile.size()))
        return;
    if (capture)
        TrapErrors(
            tag, [&] { RotateLog(CaptureFilePath(toolIndex), intLogMaxSize, intLogGenerations); });
    TrapErrors(tag, [&] {
        RotateLog(strLogFile[std::size_t(toolIndex)], intLogMaxSize, intLogGenerations);
    });
}
