#include "lib/StatusTexts.h"

#include "lib/CaptureFormat.h"
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

// Three significant digits in the largest unit that keeps the figure below 1000: 97.7 KB,
// 9.54 MB, 123 GB. Units of 1024, as file managers count.
QString abbreviated(qint64 bytes)
{
    static const char *const units[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    double value = double(bytes) / 1024;
    int unit = 0;
    const auto rounded = [](double v) {
        return v < 9.995 ? QString::number(v, 'f', 2) : QString::number(v, 'f', v < 99.95 ? 1 : 0);
    };
    while (rounded(value).toDouble() >= 1000 && unit + 1 < int(std::size(units))) {
        value /= 1024;
        ++unit;
    }
    const QString digits
        = value < 1 ? QString::number(value, 'f', value < 0.9995 ? 3 : 2) : rounded(value);
    return digits + QLatin1Char(' ') + QLatin1String(units[unit]);
}

QString counts(const QString &direction, qint64 blocks, qint64 bytes, bool shortForm)
{
    const QString amount = shortForm && bytes >= 100000 ? abbreviated(bytes)
                                                        : grouped(bytes) + QStringLiteral("バイト");
    return QStringLiteral("%1 %2件 %3").arg(direction, grouped(blocks), amount);
}
} // namespace

namespace StatusTexts {

QString Listening(quint16 port, bool listening, const QString &address)
{
    const QString state = listening ? QStringLiteral("待受中") : QStringLiteral("停止中");
    if (!address.isEmpty())
        return state + QLatin1Char(' ') + FormatPeer(address, port);
    return port == 0 ? state : state + QLatin1Char(' ') + QString::number(port);
}

QString Connection(const QString &address, quint16 port)
{
    return address.isEmpty() ? QStringLiteral("未接続")
                             : QStringLiteral("接続中 ") + FormatPeer(address, port);
}

QString Received(qint64 blocks, qint64 bytes)
{
    return counts(QStringLiteral("受信"), blocks, bytes, false);
}

QString Sent(qint64 blocks, qint64 bytes)
{
    return counts(QStringLiteral("送信"), blocks, bytes, false);
}

QString ReceivedShort(qint64 blocks, qint64 bytes)
{
    return counts(QStringLiteral("受信"), blocks, bytes, true);
}

QString SentShort(qint64 blocks, qint64 bytes)
{
    return counts(QStringLiteral("送信"), blocks, bytes, true);
}

QString Disconnected(const QString &address, quint16 port)
{
    return QStringLiteral("切断 ") + FormatPeer(address, port);
}

QString Replaced(const QString &address, quint16 port)
{
    return Disconnected(address, port) + QStringLiteral(" (新しい接続が優先)");
}

QString Ended(qint64 blocksReceived, qint64 bytesReceived, qint64 blocksSent, qint64 bytesSent)
{
    return QStringLiteral("終了 %1 %2")
        .arg(Received(blocksReceived, bytesReceived), Sent(blocksSent, bytesSent));
}

QString ShownPart(qint64 blockBytes)
{
    if (blockBytes <= HexGridModel::maxBytes)
        return {};
    return QStringLiteral("%1 バイト中 先頭 %2 バイトを表示")
        .arg(grouped(blockBytes), grouped(HexGridModel::maxBytes));
}

QString AnsweredByRule(int rule)
{
    return rule >= 0 ? QStringLiteral("ルール %1 で応答").arg(rule + 1) : QString();
}

} // namespace StatusTexts
