#include "engine/grid.h"

namespace tabellix {

TStringGrid::TStringGrid(int colCount, int rowCount)
    : FColCount(colCount),
      FRows(static_cast<size_t>(rowCount), std::vector<std::string>(colCount)) {}

void TStringGrid::SetRowCount(int rowCount) {
    FRows.resize(static_cast<size_t>(rowCount < 0 ? 0 : rowCount),
                 std::vector<std::string>(FColCount));
    Changed();
}

const std::string& TStringGrid::Cell(int col, int row) const {
    static const std::string kEmpty;
    if (col < 0 || col >= FColCount || row < 0 || row >= RowCount())
        return kEmpty;
    return FRows[row][col];
}

void TStringGrid::SetCell(int col, int row, std::string text) {
    if (col < 0 || col >= FColCount || row < 0 || row >= RowCount())
        return;
    FRows[row][col] = std::move(text);
    Changed();
}

void TStringGrid::Changed() {
    if (OnChange)
        OnChange();
}

TStringGrid MakeColumnGrid() {
    TStringGrid grid(3, 3);
    grid.SetCell(0, 0, "Field Name");
    grid.SetCell(1, 0, "Field Type");
    grid.SetCell(2, 0, "Length");
    return grid;
}

} // namespace tabellix
