#include "lib/ExchangeHistory.h"

#include "lib/ByteText.h"
#include "lib/CaptureFormat.h"
#include "lib/modUtility.h"

#include <QDateTime>
#include <QLocale>

ExchangeHistory::ExchangeHistory(qsizetype maxRows, qint64 maxBlockBytes)
    : m_maxRows(qMax<qsizetype>(1, maxRows)), m_maxBlockBytes(maxBlockBytes)
{ }

void ExchangeHistory::append(Exchange exchange)
{
    m_blockBytes += exchange.bytes.size();
    m_rows.push_back(std::move(exchange));
    // The newest row always stays, whatever its size.
    while (m_rows.size() > 1
           && (qsizetype(m_rows.size()) > m_maxRows || m_blockBytes > m_maxBlockBytes))
        dropOldest();
}

void ExchangeHistory::appendBlock(ExchangeKind kind, qint64 atMs, const QString &peer,
                                  const QByteArray &bytes)
{
    append({atMs, kind, peer, bytes, bytes.size()});
}

void ExchangeHistory::appendEvent(ExchangeKind kind, qint64 atMs, const QString &peer, qint64 count)
{
    append({atMs, kind, peer, {}, count});
}

void ExchangeHistory::dropOldest()
{
    m_blockBytes -= m_rows.front().bytes.size();
    m_rows.pop_front();
    ++m_firstSerial;
    ++m_dropped;
}

void ExchangeHistory::clear()
{
    m_firstSerial = endSerial();
    m_rows.clear();
    m_blockBytes = 0;
    m_dropped = 0;
    ++m_generation;
}

const Exchange *ExchangeHistory::find(quint64 serial) const
{
    if (serial < m_firstSerial || serial >= endSerial())
        return nullptr;
    return &m_rows[size_t(serial - m_firstSerial)];
}

namespace ExchangeTexts {

QString Direction(ExchangeKind kind)
{
    switch (kind) {
    case ExchangeKind::Received:
        return QStringLiteral("受信");
    case ExchangeKind::Sent:
        return QStringLiteral("送信");
    case ExchangeKind::Connected:
        return QStringLiteral("接続");
    case ExchangeKind::Replaced:
        return QStringLiteral("切替");
    case ExchangeKind::Disconnected:
        return QStringLiteral("切断");
    case ExchangeKind::ByteHeld:
        return QStringLiteral("保留");
    case ExchangeKind::EchoDropped:
        return QStringLiteral("破棄");
    }
    return {};
}

QString Event(const Exchange &exchange)
{
    switch (exchange.kind) {
    case ExchangeKind::Received:
    case ExchangeKind::Sent:
        return {};
    case ExchangeKind::Connected:
        return QStringLiteral("接続しました");
    case ExchangeKind::Replaced:
        return QStringLiteral("新しい接続に切り替えました");
    case ExchangeKind::Disconnected:
        return QStringLiteral("切断しました");
    case ExchangeKind::ByteHeld:
        return QStringLiteral("%1バイト保留中").arg(exchange.count);
    case ExchangeKind::EchoDropped:
        return QStringLiteral("送信できなかった応答データ%1バイトを破棄しました")
            .arg(exchange.count);
    }
    return {};
}

QString Dropped(qint64 rows)
{
    return QStringLiteral("古い記録 %1件を削除しました").arg(QLocale::c().toString(rows));
}

QString Time(qint64 atMs)
{
    return QDateTime::fromMSecsSinceEpoch(atMs).toString(QStringLiteral("yy/MM/dd HH:mm:ss.zzz"));
}

char TextCharacter(quint8 value)
{
    return IsPrintableByte(value) ? char(value) : '.';
}

QString HeadHex(const QByteArray &bytes, int count)
{
    QString text = HexBytesText(bytes.first(qMin<qsizetype>(count, bytes.size())));
    if (bytes.size() > count)
        text += QStringLiteral(" …");
    return text;
}

QString HeadText(const QByteArray &bytes, int count)
{
    const qsizetype shown = qMin<qsizetype>(count, bytes.size());
    QString text(shown, Qt::Uninitialized);
    for (qsizetype index = 0; index < shown; ++index)
        text[index] = QLatin1Char(TextCharacter(quint8(bytes.at(index))));
    if (bytes.size() > shown)
        text += QChar(0x2026);
    return text;
}

} // namespace ExchangeTexts

QByteArray ExchangeCaptureText(const ExchangeHistory &history, const QList<quint64> &serials,
                               bool withEvents)
{
    QByteArray text;
    for (const quint64 serial : serials) {
        const Exchange *exchange = history.find(serial);
        if (!exchange || (!exchange->isBlock() && !withEvents))
            continue;
        // The capture file's own time stamp, so the saved text matches it byte for byte.
        QByteArray stamp;
        AppendLogTimestamp(stamp, exchange->atMs);
        if (exchange->isBlock()) {
            text += FormatCaptureBlock(QString::fromLatin1(stamp),
                                       exchange->kind == ExchangeKind::Received
                                           ? CaptureDirection::Received
                                           : CaptureDirection::Sent,
                                       exchange->bytes, exchange->peer);
        } else {
            text += stamp;
            text += (QLatin1Char(' ') + ExchangeTexts::Direction(exchange->kind) + QLatin1Char(' ')
                     + exchange->peer + QLatin1Char(' ') + ExchangeTexts::Event(*exchange)
                     + QLatin1String("\r\n"))
                        .toUtf8();
        }
    }
    return text;
}
