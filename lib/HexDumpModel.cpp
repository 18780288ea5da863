#include "lib/HexDumpModel.h"

#include "lib/ByteText.h"
#include "lib/ExchangeHistory.h"

QString ControlCharacterName(quint8 value)
{
    static const char *const names[32]
        = {"NUL（ヌル）",         "SOH（ヘッダ開始）",   "STX（テキスト開始）",
           "ETX（テキスト終了）", "EOT（伝送終了）",     "ENQ（問い合わせ）",
           "ACK（肯定応答）",     "BEL（ベル）",         "BS（後退）",
           "HT（水平タブ）",      "LF（改行）",          "VT（垂直タブ）",
           "FF（改ページ）",      "CR（復帰）",          "SO（シフトアウト）",
           "SI（シフトイン）",    "DLE（伝送制御拡張）", "DC1（装置制御1）",
           "DC2（装置制御2）",    "DC3（装置制御3）",    "DC4（装置制御4）",
           "NAK（否定応答）",     "SYN（同期）",         "ETB（伝送ブロック終了）",
           "CAN（取消）",         "EM（媒体終端）",      "SUB（置換）",
           "ESC（エスケープ）",   "FS（ファイル分離）",  "GS（グループ分離）",
           "RS（レコード分離）",  "US（ユニット分離）"};
    if (value < 0x20)
        return QString::fromUtf8(names[value]);
    if (value == 0x7F)
        return QStringLiteral("DEL（削除）");
    if (value >= 0x80)
        return QStringLiteral("ASCII外");
    return {};
}

HexDumpModel::HexDumpModel(QObject *parent) : QAbstractTableModel(parent) { }

void HexDumpModel::setBytes(const QByteArray &bytes)
{
    beginResetModel();
    m_bytes = bytes.left(maxBytes);
    endResetModel();
}

int HexDumpModel::offsetAt(int row, int column) const
{
    if (row < 0 || column < 0 || column >= columns)
        return -1;
    const int offset = row * bytesPerLine + column % bytesPerLine;
    return offset < m_bytes.size() ? offset : -1;
}

QString HexDumpModel::cellText(int row, int column) const
{
    const int offset = offsetAt(row, column);
    if (offset < 0)
        return {};
    const auto value = quint8(m_bytes.at(offset));
    return column < bytesPerLine ? HexByteText(value)
                                 : QString(QLatin1Char(ExchangeTexts::TextCharacter(value)));
}

QString HexDumpModel::cellToolTip(int row, int column) const
{
    const int offset = offsetAt(row, column);
    if (offset < 0)
        return {};
    const auto value = quint8(m_bytes.at(offset));
    const QString name = ControlCharacterName(value);
    return QStringLiteral("オフセット：0x%1 (%2)\n値：0x%3 (%4)\n")
               .arg(QString::number(offset, 16).toUpper().rightJustified(8, QLatin1Char('0')))
               .arg(offset)
               .arg(HexByteText(value))
               .arg(value)
        + (name.isEmpty() ? QStringLiteral("文字：「%1」").arg(QChar(value))
                          : QStringLiteral("制御文字：%1").arg(name));
}

int HexDumpModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int((m_bytes.size() + bytesPerLine - 1) / bytesPerLine);
}

int HexDumpModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columns;
}

QVariant HexDumpModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cellText(index.row(), index.column());
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole: {
        const QString tip = cellToolTip(index.row(), index.column());
        return tip.isEmpty() ? QVariant() : QVariant(tip);
    }
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    default:
        return {};
    }
}

QVariant HexDumpModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Vertical)
        return QString::number(section * bytesPerLine, 16)
            .toUpper()
            .rightJustified(8, QLatin1Char('0'));
    if (section < 0 || section >= columns)
        return {};
    // The text columns are headed by the digit of the byte's place in the line.
    return section < bytesPerLine ? HexByteText(quint8(section))
                                  : QString(QLatin1Char(HexDigit(section % bytesPerLine)));
}

Qt::ItemFlags HexDumpModel::flags(const QModelIndex &index) const
{
    if (offsetAt(index.row(), index.column()) < 0)
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}
