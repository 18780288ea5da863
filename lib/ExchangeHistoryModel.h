#pragma once

#include "lib/ExchangeHistory.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>

// The history as a table: time, direction, peer, length, the first bytes as hexadecimal and as
// text. It shows the history as it was at the last catchUp(): rows come and go only there, so
// the receive path appends without a signal and the window catches up once a frame. When rows
// have gone, the first row says how many.
class ExchangeHistoryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { TimeColumn, DirectionColumn, PeerColumn, LengthColumn, HexColumn, TextColumn };
    static constexpr int columns = 6;
    // Bytes shown in the hexadecimal and text columns; the rest is in the detail view.
    static constexpr int headBytes = 16;
    // The serial of the row's exchange (quint64); none for the row of dropped rows.
    static constexpr int SerialRole = Qt::UserRole;

    explicit ExchangeHistoryModel(const ExchangeHistory &history, QObject *parent = nullptr);

    // Brings the rows up to the history: removes the rows that went, adds the new ones.
    void catchUp();

    // The exchange a row shows; null for the row of dropped rows or a row gone since.
    const Exchange *exchangeAt(int row) const;
    quint64 serialAt(int row) const;
    // What a screen reader hears for a row: time, direction, peer, length and data.
    QString rowSpeech(int row) const;
    const ExchangeHistory &history() const { return m_history; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    QString cellText(int row, int column) const;
    int droppedRows() const { return m_shownDropped > 0 ? 1 : 0; }

    const ExchangeHistory &m_history;
    quint64 m_generation = 0;
    quint64 m_firstSerial = 0; // serial of the first exchange row shown
    quint64 m_endSerial = 0;
    qint64 m_shownDropped = 0;
};

// Which rows the window shows: all, or the blocks of one direction (with the lone bytes held on
// receive and the answers dropped on send), and of those the ones whose bytes hold the pattern.
// The pattern matches as text (its UTF-8 bytes) or, when it reads as hexadecimal byte pairs
// ("0D 0A", "0d0a"), as those bytes. Events are shown only without a pattern.
class ExchangeFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    enum class Direction { All, Received, Sent };

    explicit ExchangeFilterModel(QObject *parent = nullptr);

    void setDirection(Direction direction);
    void setPattern(const QString &pattern);

    // The byte strings a pattern looks for: its text, and its bytes when it reads as hexadecimal.
    static QList<QByteArray> PatternBytes(const QString &pattern);
    static bool Matches(const Exchange *exchange, bool droppedRow, Direction direction,
                        const QList<QByteArray> &patterns);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    Direction m_direction = Direction::All;
    QList<QByteArray> m_patterns;
};
