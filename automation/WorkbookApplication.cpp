#include "automation/WorkbookApplication.h"

#include "automation/WorkbookCache.h"
#include "base/Format.h"

namespace tabellix {

TWorkbookApplication::TWorkbookApplication(TWorkbookLoader loader)
    : FLoader(loader ? std::move(loader) : TWorkbookLoader(OpenCachedWorkbook)) {}

std::unique_ptr<TAutomationApplication> CreateWorkbookApplication() {
    return std::make_unique<TWorkbookApplication>();
}

void TWorkbookApplication::DoOpen(const std::string& fileName) {
    // One workbook at a time is all the engine asks for; a second open
    // replaces the first.
    FActive = nullptr;
    FBook = FLoader(fileName);
}

void TWorkbookApplication::DoCloseAll() {
    FActive = nullptr;
    FBook.reset();
}

void TWorkbookApplication::DoQuit() {
    DoCloseAll();
}

TWorkbook& TWorkbookApplication::Book() {
    if (!FBook)
        throw EAutomationError("No workbook is open");
    return *FBook;
}

TSheet& TWorkbookApplication::SheetAt(int index) {
    TWorkbook& book = Book();
    if (index < 1 || index > book.SheetCount())
        throw EAutomationError(
            Format("The workbook has no worksheet %d (it has %d)", {index, book.SheetCount()}));
    return book.Sheet(index - 1);
}

TSheet& TWorkbookApplication::LoadedSheet(int index) {
    TSheet& sheet = SheetAt(index);
    sheet.Load();
    return sheet;
}

int TWorkbookApplication::DoSheetCount() {
    return Book().SheetCount();
}

void TWorkbookApplication::DoCheckSheet(int index) {
    SheetAt(index);
}

Variant TWorkbookApplication::DoSheetName(int index) {
    return Variant(SheetAt(index).Name());
}

void TWorkbookApplication::DoActivate(int index) {
    // A sheet that fails to read leaves none active rather than the last.
    FActive = nullptr;
    FActive = &LoadedSheet(index);
}

// The counts cover the sheet from A1 to the used range's far corner, since
// cells are addressed from A1: a range starting further in loses nothing.
int TWorkbookApplication::DoUsedColumns(int index) {
    return LoadedSheet(index).LastColumn();
}

int TWorkbookApplication::DoUsedRows(int index) {
    return LoadedSheet(index).LastRow();
}

const TSheet& TWorkbookApplication::Active() const {
    if (!FActive)
        throw EAutomationError("No worksheet is active");
    return *FActive;
}

Variant TWorkbookApplication::DoCellValue(int row, int column) {
    return Active().Value(row, column);
}

int TWorkbookApplication::DoNextStoredRow(int row) {
    return Active().NextStoredRow(row);
}

void TWorkbookApplication::DoStoredColumns(int row, std::vector<int>& columns) {
    Active().StoredColumns(row, columns);
}

} // namespace tabellix
