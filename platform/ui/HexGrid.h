#pragma once

#include <QTableView>

class HexGridModel;

// The view of one hexadecimal dump grid: fixed line and column headers, 16 columns that share
// the width, compact rows in a monospaced font, read-only.
class HexGrid : public QTableView
{
    Q_OBJECT

public:
    explicit HexGrid(QWidget *parent = nullptr);

    // The grid's own model, the one model() returns.
    HexGridModel &hexModel() const { return *m_model; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void fitSectionsToFont();

    HexGridModel *m_model = nullptr;
};
