#include "engine/cell_walk.h"

#include "engine/workbook.h"

#include <algorithm>

namespace tabellix {

TSheetWalk::TSheetWalk(const std::string& fileName, int sheet)
    : FApp(OpenWorkbook(fileName)), FSheet(FApp->Worksheets()(sheet)) {
    FSheet.activate();
}

int TSheetWalk::Columns() {
    if (!FColumns)
        FColumns = FSheet.UsedRange().Columns().Count();
    return *FColumns;
}

int TSheetWalk::Rows() {
    if (!FRows)
        FRows = FSheet.UsedRange().Rows().Count();
    return *FRows;
}

Variant TSheetWalk::Value(int row, int column) {
    return FApp->Cells(row, column).value();
}

void TSheetWalk::Walk(const TCellBlock& block, const TCellVisitor& visitor) {
    const int rows = Rows();
    const int columns = block.LastColumn ? std::min(*block.LastColumn, Columns()) : Columns();
    std::vector<int> stored;
    TStoredCells store = FApp->StoredCells();
    for (int k = store.NextRow(block.FirstRow); k != 0 && k <= rows; k = store.NextRow(k + 1)) {
        store.Columns(k, stored);
        std::erase_if(stored, [columns](int c) { return c > columns; });
        if (visitor.RowStarted)
            visitor.RowStarted(k);
        for (int c : stored)
            if (visitor.Cell && !visitor.Cell(k, c, Value(k, c)))
                return;
        if (visitor.RowEnded)
            visitor.RowEnded(k, stored);
    }
}

void TSheetWalk::ShutDown() {
    tabellix::ShutDown(*FApp);
}

void TSheetWalk::Quit() {
    FApp->Quit();
}

} // namespace tabellix
