#pragma once

#include <QTableView>

class HexGridModel;
class QAction;

// The view of one hexadecimal dump grid: fixed line and column headers, 16 columns that share
// the width, compact rows in a monospaced font, read-only. Ctrl+C and the context menu copy the
// selected cells, or the whole block when none is selected, as hexadecimal text.
class HexGrid : public QTableView
{
    Q_OBJECT

public:
    explicit HexGrid(QWidget *parent = nullptr);

    // The grid's own model, the one model() returns.
    HexGridModel &hexModel() const { return *m_model; }

    // Puts the selected cells (the whole block when none is selected) on the clipboard.
    void copy();

protected:
    void changeEvent(QEvent *event) override;

private:
    void fitSectionsToFont();

    HexGridModel *m_model = nullptr;
    QAction *m_copyAction = nullptr;
};
