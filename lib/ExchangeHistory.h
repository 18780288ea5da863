#pragma once

#include <QByteArray>
#include <QString>
#include <deque>

// What happened on the connection, in the order it happened.
enum class ExchangeKind : quint8 {
    Received, // a block read from the peer
    Sent, // the answer handed to the kernel
    Connected, // a peer was accepted
    Replaced, // the peer was dropped for a newer one
    Disconnected, // the peer went
    ByteHeld, // one byte alone, held back until more arrive
    EchoDropped, // answer bytes that could never be sent
};

// One row of the history. The bytes are the block itself, shared with the receive path (a
// QByteArray copy costs a reference count), so keeping a block never copies it.
struct Exchange
{
    qint64 atMs = 0; // milliseconds since the epoch
    ExchangeKind kind = ExchangeKind::Received;
    QString peer; // "address:port", made once per connection and shared
    QByteArray bytes; // Received and Sent only
    qint64 count = 0; // bytes held or dropped, for the events that carry a count

    bool isBlock() const { return kind == ExchangeKind::Received || kind == ExchangeKind::Sent; }
};

// The exchanges since listening started, newest last, bounded in rows and in block bytes: the
// oldest rows go first, and dropped() says how many went. Appending neither formats nor copies
// bytes, so the receive path can note every block; views catch up later through the serials.
class ExchangeHistory
{
public:
    static constexpr qsizetype defaultMaxRows = 10000;
    static constexpr qint64 defaultMaxBlockBytes = qint64(64) * 1024 * 1024;

    explicit ExchangeHistory(qsizetype maxRows = defaultMaxRows,
                             qint64 maxBlockBytes = defaultMaxBlockBytes);

    void append(Exchange exchange);
    void appendBlock(ExchangeKind kind, qint64 atMs, const QString &peer, const QByteArray &bytes);
    void appendEvent(ExchangeKind kind, qint64 atMs, const QString &peer, qint64 count = 0);
    // Starts afresh (a new 受信待ち); views see a new generation and reset.
    void clear();

    qsizetype size() const { return qsizetype(m_rows.size()); }
    const Exchange &at(qsizetype index) const { return m_rows[size_t(index)]; }
    qint64 dropped() const { return m_dropped; }
    qint64 blockBytes() const { return m_blockBytes; }

    // Every row ever appended has a serial; the rows held are firstSerial() to endSerial() - 1.
    quint64 firstSerial() const { return m_firstSerial; }
    quint64 endSerial() const { return m_firstSerial + quint64(m_rows.size()); }
    // The row with the given serial, or null when it went or was never appended.
    const Exchange *find(quint64 serial) const;
    quint64 generation() const { return m_generation; }

private:
    void dropOldest();

    std::deque<Exchange> m_rows;
    qsizetype m_maxRows;
    qint64 m_maxBlockBytes;
    qint64 m_blockBytes = 0;
    qint64 m_dropped = 0;
    quint64 m_firstSerial = 0;
    quint64 m_generation = 0;
};

// Texts of a row as the history window shows and saves them.
namespace ExchangeTexts {
// "受信", "送信", or the event's word ("接続", "切替", "切断", "保留", "破棄").
QString Direction(ExchangeKind kind);
// An event's sentence for the data column; empty for blocks.
QString Event(const Exchange &exchange);
// The row that stands for the rows that went: "古い記録 12,345件を削除しました".
QString Dropped(qint64 rows);
// "yy/MM/dd HH:mm:ss.zzz", the window's time stamp to the millisecond.
QString Time(qint64 atMs);
// The first bytes as hexadecimal ("41 42 0D") and as text with non-printables as "." ("AB."),
// with "…" when the block is longer.
QString HeadHex(const QByteArray &bytes, int count);
QString HeadText(const QByteArray &bytes, int count);
// The capture file's character for a byte: printable ASCII as itself, anything else ".".
char TextCharacter(quint8 value);
} // namespace ExchangeTexts

// Rows as the capture file keeps blocks: each block as the capture file would have recorded it,
// byte for byte. With withEvents, an event row becomes one line "<time> <direction> <peer>
// <event>"; without, events are left out, so saving a whole history gives exactly the capture
// file of the same blocks.
QByteArray ExchangeCaptureText(const ExchangeHistory &history, const QList<quint64> &serials,
                               bool withEvents);
