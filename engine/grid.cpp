#include "engine/grid.h"

#include <algorithm>

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

TColumnNameIndex::TColumnNameIndex(const TStringGrid& grid) {
    for (int r = 1; r < grid.RowCount(); ++r)
        Add(r, grid.Cell(0, r));
}

void TColumnNameIndex::Add(int row, const std::string& name) {
    FRows[name].push_back(row);
}

int TColumnNameIndex::Chain(const std::string& base) {
    TChain& chain = FChains[base];
    for (;;) {
        const std::string awaited =
            chain.Length == 0 ? base : base + "_" + std::to_string(chain.Length);
        const int next = NextRow(awaited, chain.Row);
        if (next == 0)
            return chain.Length;
        chain.Row = next;
        ++chain.Length;
    }
}

int TColumnNameIndex::NextRow(const std::string& name, int after) const {
    const auto found = FRows.find(name);
    if (found == FRows.end())
        return 0;
    const auto next = std::upper_bound(found->second.begin(), found->second.end(), after);
    return next == found->second.end() ? 0 : *next;
}

} // namespace tabellix
