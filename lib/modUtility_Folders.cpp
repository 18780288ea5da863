#include "lib/modUtility.h"

#include "platform/RuntimeError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

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
