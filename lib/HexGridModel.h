#pragma once

#include "lib/ByteText.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QModelIndexList>
#include <QString>

// One hexadecimal dump grid: 16 bytes a line, a line per row, column headers "00".."0F" and line
// headers "0000", "0001", … (the line's index, not its byte offset). Cells past the end of the
// block are empty; an empty block still shows one blank line. The model says what a cell is; the
// view decides how it looks.
class HexGridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int bytesPerLine = 16;
    static constexpr int maxBytes = 2048;

    // Whether a cell holds a byte of the block (bool), for the view to colour it.
    static constexpr int HoldsByteRole = Qt::UserRole;

    explicit HexGridModel(QObject *parent = nullptr);

    // Lines needed for a block of byteCount bytes, of which at most maxBytes are shown.
    static int lineCountFor(qsizetype byteCount);

    // Shows the first maxBytes bytes of bytes. Rows are inserted or removed only when the line
    // count changes and one dataChanged covers the cells whose text changed, so the view keeps
    // its scroll position and repaints once.
    void setBytes(const QByteArray &bytes);
    const QByteArray &bytes() const { return m_bytes; }

    // The header texts appear once the window has prepared them when it loads.
    void prepareHeaders();
    bool headersPrepared() const { return m_headersPrepared; }

    int lineCount() const { return m_lineCount; }
    // column counts data columns from 0; empty past the end of the block or outside the grid.
    QString cellText(int line, int column) const;
    bool holdsByte(int line, int column) const;
    static QString lineHeaderText(int line);
    // Where the byte of a data cell sits in the block and what it is: offset in hexadecimal and
    // decimal, value in decimal, and the character when it is printable ASCII. Empty past the
    // end of the block.
    QString cellToolTip(int line, int column) const;
    // The bytes of the given cells as hexadecimal text laid out as the grid shows them: the
    // bytes of one line on one text line, separated by blanks, lines ending with a line feed
    // except the last. No cells means the whole block. Cells past the end of the block are left
    // out.
    QString copyText(const QModelIndexList &cells = {}) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

private:
    QByteArray m_bytes;
    int m_lineCount = 1;
    bool m_headersPrepared = false;
};
