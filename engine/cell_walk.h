// One walk over a worksheet's stored cells: the workbook opened and the
// sheet activated, the used range's size, and each stored cell of a block
// of the sheet read once, in row order.
#pragma once

#include "automation/Automation.h"
#include "base/Variant.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tabellix {

// The part of the sheet a walk visits; the used range bounds it.
struct TCellBlock {
    int FirstRow = 1;
    // The last column, when fewer than the used range's are wanted.
    std::optional<int> LastColumn{};
};

// What a walk does at each stored row and cell; a hook left empty does
// nothing.
struct TCellVisitor {
    // Sheet row row stores a cell of the block; its cells are read next.
    std::function<void(int row)> RowStarted{};
    // A stored cell of the block, read once; false ends the walk there,
    // without the row's end.
    std::function<bool(int row, int column, Variant value)> Cell{};
    // After the row's cells: columns are those visited, in order.
    std::function<void(int row, const std::vector<int>& columns)> RowEnded{};
};

class TSheetWalk {
public:
    // Opens fileName and activates its worksheet sheet, counted from 1.
    // Errors are left to the caller; the workbook is released without a
    // shutdown then.
    TSheetWalk(const std::string& fileName, int sheet);

    // The used range's columns and rows, counted from A1; each is read
    // from the sheet when first asked.
    int Columns();
    int Rows();

    // Any one cell's value, stored or not.
    Variant Value(int row, int column);

    // Visits the stored cells of block. Only the cells the sheet stores are
    // read, so a sparse sheet costs its stored cells rather than its used
    // range; the others are empty.
    void Walk(const TCellBlock& block, const TCellVisitor& visitor);

    // Alerts off, the workbooks closed, then Quit.
    void ShutDown();
    // Quit alone, as the transfer ends.
    void Quit();

private:
    std::unique_ptr<TAutomationApplication> FApp;
    TWorksheet FSheet;
    std::optional<int> FColumns, FRows;
};

} // namespace tabellix
