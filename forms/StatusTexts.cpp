#include "forms/StatusTexts.h"

#include "lib/DataCapture.h"
#include "lib/HexGridModel.h"

namespace {
// Digits in groups of three, as counts of bytes are easiest read.
QString grouped(qint64 value)
{
    QString digits = QString::number(value);
    for (qsizetype at = digits.size() - 3; at > (value < 0 ? 1 : 0); at -= 3)
        digits.insert(at, QLatin1Char(','));
    return digits;
}

QString counts(const QString &direction, qint64 blocks, qint64 bytes)
{
    return QStringLiteral("%1 %2件 %3バイト").arg(direction, grouped(blocks), grouped(bytes));
}
} // namespace

namespace StatusTexts {

QString Listening(quint16 port)
{
    return port == 0 ? QStringLiteral("停止中") : QStringLiteral("待受中 %1").arg(port);
}

QString Connection(const QString &address, quint16 port)
{
    return address.isEmpty() ? QStringLiteral("未接続")
                             : QStringLiteral("接続中 ") + FormatPeer(address, port);
}

QString Received(qint64 blocks, qint64 bytes)
{
    return counts(QStringLiteral("受信"), blocks, bytes);
}

QString Sent(qint64 blocks, qint64 bytes)
{
    return counts(QStringLiteral("送信"), blocks, bytes);
}

QString ShownPart(qint64 blockBytes)
{
    if (blockBytes <= HexGridModel::maxBytes)
        return {};
    return QStringLiteral("最新 %1 バイト中 %2 バイトを表示")
        .arg(grouped(blockBytes), grouped(HexGridModel::maxBytes));
}

} // namespace StatusTexts
