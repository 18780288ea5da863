#include "lib/ErrorTrap.h"
#include "lib/HexGridModel.h"
#include "lib/modSimGeneral.h"

// The model writes the whole block in one pass and the view repaints once afterwards, so no
// event runs in the middle of a fill and no nested fill can happen.
void SetGridFromByteArray(HexGridModel &grid, const QByteArray &data)
{
    TrapErrors("(SetGridFromByteArray)", [&] { grid.setBytes(data); });
}
