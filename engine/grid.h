// The column grid: a plain table of text cells, addressed as (column, row)
// with the header in row 0. The wizard mirrors it in its string grid.
#pragma once

#include <functional>
#include <string>
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

// The most columns a MySQL or MariaDB table may have; a wider grid gives a
// CREATE TABLE statement no server accepts.
inline constexpr int MaxTableColumns = 4096;

// The grid of the wizard before the first load: the header row
// "Field Name", "Field Type", "Length" and two empty rows.
TStringGrid MakeColumnGrid();

} // namespace tabellix
