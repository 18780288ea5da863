#include "EchoLog.h"

#include <QRegularExpression>

qint64 LoggedEchoBytes(const QStringList &messages)
{
    static const QRegularExpression received(QStringLiteral("^(\\d+)バイトのデータ受信$"));
    if (messages.size() % 2 != 0)
        return -1;
    qint64 bytes = 0;
    for (qsizetype i = 0; i < messages.size(); i += 2) {
        const QRegularExpressionMatch match = received.match(messages.at(i));
        if (!match.hasMatch()
            || messages.at(i + 1) != match.captured(1) + QStringLiteral("バイトの応答送信"))
            return -1;
        bytes += match.captured(1).toLongLong();
    }
    return bytes;
}
