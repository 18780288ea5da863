#include "lib/modUtility.h"

#include "platform/RuntimeError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

void EnsureFolder(const QString &path)
{
    // A file of that name counts as present too; creating over it would fail anyway.
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink())
        return;
    if (QDir().mkdir(path))
        return;
    if (!info.absoluteDir().exists())
        throw RuntimeError(ErrorText::pathNotFound);
    throw RuntimeError(ErrorText::fileAccess);
}

bool ClearFolder(const QString &path, quint8 keepFolder)
{
    try {
        QDir folder(path);
        // Every file, hidden ones and dangling links included; sub-folders are never touched.
        const QFileInfoList files = folder.exists()
            ? folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System)
            : QFileInfoList();
        for (const QFileInfo &file : files) {
            if (!QFile::remove(file.filePath()))
                return true;
        }
        if (keepFolder != 1)
            QDir().rmdir(path);
    } catch (...) { }
    return true;
}

bool IsOwnSubfolder(const QString &path)
{
    // A link is never followed: what it points to, even the parent itself, belongs elsewhere.
    struct stat own
    {
    };
    struct stat parent
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &own) == 0 && S_ISDIR(own.st_mode)
        && ::stat(QFile::encodeName(QFileInfo(path).path()).constData(), &parent) == 0
        && (own.st_dev != parent.st_dev || own.st_ino != parent.st_ino);
}
