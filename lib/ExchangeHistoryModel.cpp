#include "lib/ExchangeHistoryModel.h"

ExchangeHistoryModel::ExchangeHistoryModel(const ExchangeHistory &history, QObject *parent)
    : QAbstractTableModel(parent), m_history(history)
{
    m_generation = history.generation();
    m_firstSerial = m_endSerial = history.firstSerial();
    catchUp();
}

void ExchangeHistoryModel::catchUp()
{
    if (m_generation != m_history.generation()) {
        beginResetModel();
        m_generation = m_history.generation();
        m_firstSerial = m_history.firstSerial();
        m_endSerial = m_history.endSerial();
        m_shownDropped = m_history.dropped();
        endResetModel();
        return;
    }
    const qint64 dropped = m_history.dropped();
    if (dropped > 0 && m_shownDropped == 0) {
        beginInsertRows({}, 0, 0);
        m_shownDropped = dropped;
        endInsertRows();
    } else if (dropped != m_shownDropped) {
        m_shownDropped = dropped;
        emit dataChanged(index(0, 0), index(0, columns - 1));
    }
    // The rows that went since; all shown ones when even newer rows went too.
    const quint64 kept = qMin(m_history.firstSerial(), m_endSerial);
    if (kept > m_firstSerial) {
        beginRemoveRows({}, droppedRows(), droppedRows() + int(kept - m_firstSerial) - 1);
        m_firstSerial = kept;
        endRemoveRows();
    }
    if (m_firstSerial < m_history.firstSerial())
        m_firstSerial = m_endSerial = m_history.firstSerial();
    if (m_history.endSerial() > m_endSerial) {
        const int first = rowCount();
        beginInsertRows({}, first, first + int(m_history.endSerial() - m_endSerial) - 1);
        m_endSerial = m_history.endSerial();
        endInsertRows();
    }
}

quint64 ExchangeHistoryModel::serialAt(int row) const
{
    return m_firstSerial + quint64(row - droppedRows());
}

const Exchange *ExchangeHistoryModel::exchangeAt(int row) const
{
    if (row < droppedRows() || row >= rowCount())
        return nullptr;
    return m_history.generation() == m_generation ? m_history.find(serialAt(row)) : nullptr;
}

QString ExchangeHistoryModel::cellText(int row, int column) const
{
    if (row < droppedRows())
        return column == HexColumn ? ExchangeTexts::Dropped(m_shownDropped) : QString();
    const Exchange *exchange = exchangeAt(row);
    if (!exchange)
        return {};
    switch (column) {
    case TimeColumn:
        return ExchangeTexts::Time(exchange->atMs);
    case DirectionColumn:
        return ExchangeTexts::Direction(exchange->kind);
    case PeerColumn:
        return exchange->peer;
    case LengthColumn:
        return exchange->count > 0 ? QString::number(exchange->count) : QString();
    case HexColumn:
        return exchange->isBlock() ? ExchangeTexts::HeadHex(exchange->bytes, headBytes)
                                   : ExchangeTexts::Event(*exchange);
    case TextColumn:
        return exchange->isBlock() ? ExchangeTexts::HeadText(exchange->bytes, headBytes)
                                   : QString();
    default:
        return {};
    }
}

QString ExchangeHistoryModel::rowSpeech(int row) const
{
    QStringList parts;
    for (int column = 0; column < columns; ++column) {
        QString text = cellText(row, column);
        if (column == LengthColumn && !text.isEmpty())
            text += QStringLiteral("バイト");
        if (!text.isEmpty())
            parts += text;
    }
    return parts.join(QLatin1Char(' '));
}

int ExchangeHistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : droppedRows() + int(m_endSerial - m_firstSerial);
}

int ExchangeHistoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columns;
}

QVariant ExchangeHistoryModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cellText(index.row(), index.column());
    case Qt::AccessibleDescriptionRole:
        return rowSpeech(index.row());
    case Qt::TextAlignmentRole:
        return int(index.column() == LengthColumn ? Qt::AlignRight | Qt::AlignVCenter
                                                  : Qt::AlignLeft | Qt::AlignVCenter);
    case SerialRole:
        return index.row() < droppedRows() ? QVariant() : QVariant(serialAt(index.row()));
    default:
        return {};
    }
}

QVariant ExchangeHistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columns
        || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const titles[]
        = {"時刻", "方向", "相手", "長さ", "データ（16進）", "データ（テキスト）"};
    return QString::fromUtf8(titles[section]);
}

Qt::ItemFlags ExchangeHistoryModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

ExchangeFilterModel::ExchangeFilterModel(QObject *parent) : QSortFilterProxyModel(parent) { }

void ExchangeFilterModel::setDirection(Direction direction)
{
    if (direction == m_direction)
        return;
    m_direction = direction;
    invalidateFilter();
}

void ExchangeFilterModel::setPattern(const QString &pattern)
{
    const QList<QByteArray> patterns = PatternBytes(pattern);
    if (patterns == m_patterns)
        return;
    m_patterns = patterns;
    invalidateFilter();
}

QList<QByteArray> ExchangeFilterModel::PatternBytes(const QString &pattern)
{
    if (pattern.trimmed().isEmpty())
        return {};
    QList<QByteArray> patterns {pattern.toUtf8()};
    QString digits = pattern;
    digits.remove(QLatin1Char(' '));
    bool hex = digits.size() % 2 == 0;
    for (const QChar c : digits)
        hex = hex
            && (c.isDigit()
                || (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')));
    if (hex) {
        const QByteArray bytes = QByteArray::fromHex(digits.toLatin1());
        if (!patterns.contains(bytes))
            patterns += bytes;
    }
    return patterns;
}

bool ExchangeFilterModel::Matches(const Exchange *exchange, bool droppedRow, Direction direction,
                                  const QList<QByteArray> &patterns)
{
    if (droppedRow || !exchange)
        return direction == Direction::All && patterns.isEmpty();
    switch (exchange->kind) {
    case ExchangeKind::Received:
    case ExchangeKind::ByteHeld:
        if (direction == Direction::Sent)
            return false;
        break;
    case ExchangeKind::Sent:
    case ExchangeKind::EchoDropped:
        if (direction == Direction::Received)
            return false;
        break;
    default:
        if (direction != Direction::All)
            return false;
    }
    if (patterns.isEmpty())
        return true;
    if (!exchange->isBlock())
        return false;
    for (const QByteArray &bytes : patterns) {
        if (exchange->bytes.contains(bytes))
            return true;
    }
    return false;
}

bool ExchangeFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    const auto *history = qobject_cast<const ExchangeHistoryModel *>(sourceModel());
    if (!history)
        return true;
    const Exchange *exchange = history->exchangeAt(sourceRow);
    const bool droppedRow
        = !history->index(sourceRow, 0).data(ExchangeHistoryModel::SerialRole).isValid();
    return Matches(exchange, droppedRow, m_direction, m_patterns);
}
