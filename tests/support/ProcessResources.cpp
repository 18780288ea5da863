#include "ProcessResources.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <sys/stat.h>

int OpenDescriptorCount()
{
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}

qint64 ResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

bool AddressSanitizerActive()
{
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

bool InstanceLockHeld(const QString &file)
{
    struct stat status
    {
    };
    if (::stat(QFile::encodeName(file).constData(), &status) != 0)
        return false;
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return false;
    const QByteArray inode = ":" + QByteArray::number(qulonglong(status.st_ino)) + " ";
    const QList<QByteArray> lines = locks.readAll().split('\n');
    return std::any_of(lines.begin(), lines.end(), [&](const QByteArray &line) {
        return line.contains("FLOCK") && line.contains(inode);
    });
}
