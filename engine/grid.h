// The column grid: a plain table of text cells, addressed as (column, row)
// with the header in row 0. The wizard mirrors it in its string grid.
#pragma once

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace tabellix {

class TStringGrid {
public:
    TStringGrid(int colCount, int rowCount);

    int ColCount() const { return FColCount; }
    int RowCount() const { return static_cast<int>(FRows.size()); }
    // Rows beyond the new count disappear; new rows are empty.
    void SetRowCount(int rowCount);

    // Cells outside the grid read as empty; writing one is a no-op.
    const std::string& Cell(int col, int row) const;
    void SetCell(int col, int row, std::string text);

    // Whether the sheet the grid was loaded from holds a character outside
    // the Basic Multilingual Plane, which the 3-byte utf8 cannot store; the
    // load decides it.
    bool HasWideChars() const { return FWideChars; }
    void SetHasWideChars(bool wide) { FWideChars = wide; }

    // Called after every change, so a view can follow the model.
    std::function<void()> OnChange;

private:
    void Changed();

    int FColCount;
    std::vector<std::vector<std::string>> FRows;
    bool FWideChars = false;
};

// The rows of the grid's name column, by name, so that naming each column of
// a wide sheet costs lookups instead of passes over every row above it.
class TColumnNameIndex {
public:
    TColumnNameIndex() = default;
    explicit TColumnNameIndex(const TStringGrid& grid);

    // Rows come in increasing order, each below every row indexed before.
    void Add(int row, const std::string& name);
    bool Holds(const std::string& name) const { return FRows.contains(name); }
    // How many of base, base_1, base_2, ... the rows hold in that order, top
    // down. Rows only ever come below the indexed ones, so a chain once
    // walked stays valid and the next call goes on from its end.
    int Chain(const std::string& base);

private:
    struct TChain {
        int Length = 0;
        int Row = 0;
    };
    // The first row after `after` that holds name, or 0.
    int NextRow(const std::string& name, int after) const;

    std::unordered_map<std::string, std::vector<int>> FRows;
    std::unordered_map<std::string, TChain> FChains;
};

// The most columns a MySQL or MariaDB table may have; a wider grid gives a
// CREATE TABLE statement no server accepts.
inline constexpr int MaxTableColumns = 4096;

// The grid of the wizard before the first load: the header row
// "Field Name", "Field Type", "Length" and two empty rows.
TStringGrid MakeColumnGrid();

} // namespace tabellix
