#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QString>

// What a byte is called when it is not printable: "CR（復帰）" for 0x0D, "DEL（削除）" for 0x7F,
// "ASCII外" from 0x80 up; empty for printable ASCII.
QString ControlCharacterName(quint8 value);

// One block as a hexdump: a line per 16 bytes, headed by its offset ("00000010"), the bytes as
// hexadecimal in columns 0 to 15 and the same bytes as text in columns 16 to 31, non-printables
// as ".". At most maxBytes of a block are shown, as the grids show.
class HexDumpModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int bytesPerLine = 16;
    static constexpr int maxBytes = 2048;
    static constexpr int columns = 2 * bytesPerLine;

    explicit HexDumpModel(QObject *parent = nullptr);

    void setBytes(const QByteArray &bytes);
    const QByteArray &bytes() const { return m_bytes; }

    // The byte a cell shows, or -1 past the end.
    int offsetAt(int row, int column) const;
    QString cellText(int row, int column) const;
    // Offset, value, and the character or the control character's name.
    QString cellToolTip(int row, int column) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    QByteArray m_bytes;
};
