#include "lib/HexGridModel.h"

#include <algorithm>

namespace {
QString fourHexDigits(int value)
{
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')).toUpper();
}
} // namespace

HexGridModel::HexGridModel(QObject *parent) : QAbstractTableModel(parent) { }

int HexGridModel::lineCountFor(qsizetype byteCount)
{
    const qsizetype shown = qBound(qsizetype(0), byteCount, qsizetype(maxBytes));
    return qMax(1, int((shown + bytesPerLine - 1) / bytesPerLine));
}

void HexGridModel::setBytes(const QByteArray &bytes)
{
    const QByteArray shown = bytes.left(maxBytes);
    const int oldLines = m_lineCount;
    const int newLines = lineCountFor(shown.size());

    // Only cells of the lines both blocks share can change in place; the others come and go
    // with their rows.
    const int sharedCells = qMin(oldLines, newLines) * bytesPerLine;
    int firstChanged = -1;
    int lastChanged = -1;
    for (int cell = 0; cell < sharedCells; ++cell) {
        const bool hadByte = cell < m_bytes.size();
        const bool hasByte = cell < shown.size();
        if (hadByte != hasByte || (hasByte && m_bytes.at(cell) != shown.at(cell))) {
            if (firstChanged < 0)
                firstChanged = cell;
            lastChanged = cell;
        }
    }

    if (newLines < oldLines) {
        beginRemoveRows({}, newLines, oldLines - 1);
        m_lineCount = newLines;
        endRemoveRows();
    }
    m_bytes = shown;
    if (newLines > oldLines) {
        beginInsertRows({}, oldLines, newLines - 1);
        m_lineCount = newLines;
        endInsertRows();
    }
    if (firstChanged >= 0) {
        const int firstLine = firstChanged / bytesPerLine;
        const int lastLine = lastChanged / bytesPerLine;
        const bool oneLine = firstLine == lastLine;
        emit dataChanged(index(firstLine, oneLine ? firstChanged % bytesPerLine : 0),
                         index(lastLine, oneLine ? lastChanged % bytesPerLine : bytesPerLine - 1),
                         {Qt::DisplayRole, HoldsByteRole, Qt::ToolTipRole});
    }
}

void HexGridModel::prepareHeaders()
{
    m_headersPrepared = true;
    emit headerDataChanged(Qt::Horizontal, 0, bytesPerLine - 1);
    emit headerDataChanged(Qt::Vertical, 0, m_lineCount - 1);
}

bool HexGridModel::holdsByte(int line, int column) const
{
    return line >= 0 && line < m_lineCount && column >= 0 && column < bytesPerLine
        && line * bytesPerLine + column < m_bytes.size();
}

QString HexGridModel::cellText(int line, int column) const
{
    if (!holdsByte(line, column))
        return {};
    return HexByteText(quint8(m_bytes.at(line * bytesPerLine + column)));
}

QString HexGridModel::lineHeaderText(int line)
{
    return fourHexDigits(line);
}

QString HexGridModel::cellToolTip(int line, int column) const
{
    if (!holdsByte(line, column))
        return {};
    const int offset = line * bytesPerLine + column;
    const quint8 value = quint8(m_bytes.at(offset));
    // Offsets stay below maxBytes, so four digits always suffice.
    QString tip = QStringLiteral("オフセット：0x%1 (%2)\n値：%3")
                      .arg(fourHexDigits(offset))
                      .arg(offset)
                      .arg(value);
    if (IsPrintableByte(value))
        tip += QStringLiteral("\n文字：「%1」").arg(QChar(value));
    return tip;
}

QString HexGridModel::copyText(const QModelIndexList &cells) const
{
    QList<int> offsets;
    if (cells.isEmpty()) {
        offsets.reserve(m_bytes.size());
        for (int offset = 0; offset < m_bytes.size(); ++offset)
            offsets.append(offset);
    } else {
        for (const QModelIndex &cell : cells) {
            if (cell.model() == this && holdsByte(cell.row(), cell.column()))
                offsets.append(cell.row() * bytesPerLine + cell.column());
        }
        // Selections list their cells in the order they were picked.
        std::sort(offsets.begin(), offsets.end());
        offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
    }

    QString text;
    text.reserve(offsets.size() * 3);
    int previousLine = -1;
    for (const int offset : offsets) {
        const int line = offset / bytesPerLine;
        if (previousLine >= 0)
            text += line == previousLine ? QLatin1Char(' ') : QLatin1Char('\n');
        previousLine = line;
        text += HexByteText(quint8(m_bytes.at(offset)));
    }
    return text;
}

int HexGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_lineCount;
}

int HexGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : bytesPerLine;
}

QVariant HexGridModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cellText(index.row(), index.column());
    case HoldsByteRole:
        return holdsByte(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    case Qt::ToolTipRole: {
        const QString tip = cellToolTip(index.row(), index.column());
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    default:
        return {};
    }
}

QVariant HexGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    const int sections = orientation == Qt::Horizontal ? bytesPerLine : m_lineCount;
    if (section < 0 || section >= sections)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        if (!m_headersPrepared)
            return QString();
        return orientation == Qt::Horizontal ? HexByteText(quint8(section))
                                             : lineHeaderText(section);
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    default:
        return {};
    }
}

Qt::ItemFlags HexGridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
