#include "ParvelLog.h"

#include <QDir>
#include <QFile>

namespace {
const QString logName = QStringLiteral("Kiv_TcpRcvLog.txt");

// The decimal byte count in front of a message suffix, -1 when the line has another message.
qint64 countBefore(const QByteArray &line, const QByteArray &suffix)
{
    if (!line.endsWith(suffix))
        return -1;
    const QByteArray head = line.left(line.size() - suffix.size());
    return head.mid(head.lastIndexOf(' ') + 1).toLongLong();
}
} // namespace

ParvelLogTotals ReadParvelLog(const QString &programFolder)
{
    const QByteArray received = QStringLiteral("バイトのデータ受信").toUtf8();
    const QByteArray echoed = QStringLiteral("バイトの応答送信").toUtf8();
    const QDir logFolder(programFolder + QStringLiteral("/Log"));

    // Oldest generation first, so the last receive line read is the newest.
    QStringList files;
    for (int generation = 99; generation >= 1; --generation) {
        const QString name = logName + QLatin1Char('.') + QString::number(generation);
        if (logFolder.exists(name))
            files << name;
    }
    files << logName;

    ParvelLogTotals totals;
    for (const QString &name : files) {
        QFile file(logFolder.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QByteArray message = line.endsWith('\r') ? line.chopped(1) : line;
            qint64 count = countBefore(message, received);
            if (count >= 0) {
                totals.receivedBytes += count;
                totals.lastReceivedBlock = count;
                ++totals.receiveLines;
            } else if ((count = countBefore(message, echoed)) >= 0) {
                totals.echoedBytes += count;
            }
        }
    }
    return totals;
}
