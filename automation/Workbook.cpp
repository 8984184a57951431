#include "automation/Workbook.h"

#include "automation/Automation.h"
#include "base/Format.h"

#include <algorithm>
#include <cmath>

namespace tabellix {

namespace {

[[noreturn]] void FailPosition(int row, int column) {
    throw EAutomationError(
        Format("Cell position (%d, %d) is outside the worksheet", {row, column}));
}

void CheckPosition(int row, int column) {
    if (row < 1 || row > MaxSheetRows || column < 1 || column > MaxSheetColumns)
        FailPosition(row, column);
}

} // namespace

TSheet::Cell& TSheet::Slot(int row, int column) {
    CheckPosition(row, column);
    Widen(row, column);
    if (FRows.size() < static_cast<size_t>(row))
        FRows.resize(static_cast<size_t>(row));
    auto& cells = FRows[static_cast<size_t>(row - 1)];
    const auto col = static_cast<uint16_t>(column);
    // A row is mostly as long as the one above; reserving that much saves
    // the growth steps and never reserves more than the sheet already holds.
    if (cells.capacity() == 0 && row > 1)
        cells.reserve(FRows[static_cast<size_t>(row - 2)].size());
    if (cells.empty() || cells.back().Column < col) {
        cells.push_back(Cell{});
        cells.back().Column = col;
        return cells.back();
    }
    auto it = std::lower_bound(cells.begin(), cells.end(), col,
                               [](const Cell& c, uint16_t v) { return c.Column < v; });
    if (it == cells.end() || it->Column != col) {
        it = cells.insert(it, Cell{});
        it->Column = col;
    }
    return *it;
}

const TSheet::Cell* TSheet::Find(int row, int column) const {
    if (row < 1 || column < 1 || static_cast<size_t>(row) > FRows.size() ||
        column > MaxSheetColumns)
        return nullptr;
    const auto& cells = FRows[static_cast<size_t>(row - 1)];
    const auto col = static_cast<uint16_t>(column);
    // Dense rows hold column c at c - 1.
    if (static_cast<size_t>(column) <= cells.size() &&
        cells[static_cast<size_t>(column - 1)].Column == col)
        return &cells[static_cast<size_t>(column - 1)];
    auto it = std::lower_bound(cells.begin(), cells.end(), col,
                               [](const Cell& c, uint16_t v) { return c.Column < v; });
    return it != cells.end() && it->Column == col ? &*it : nullptr;
}

void TSheet::Touch(int row, int column) {
    CheckPosition(row, column);
    Widen(row, column);
}

void TSheet::Widen(int row, int column) {
    if (!FHasRange) {
        FHasRange = true;
        FFirstRow = FLastRow = row;
        FFirstColumn = FLastColumn = column;
        return;
    }
    FFirstRow = std::min(FFirstRow, row);
    FLastRow = std::max(FLastRow, row);
    FFirstColumn = std::min(FFirstColumn, column);
    FLastColumn = std::max(FLastColumn, column);
}

void TSheet::Load() {
    if (!FLoader)
        return;
    const size_t poolSize = FBook->PoolSize();
    try {
        FLoader(*this);
    } catch (...) {
        FRows = {};
        FHasRange = false;
        FBook->DropTexts(poolSize);
        throw;
    }
    FLoader = nullptr;
}

TCellKind TSheet::Kind(int row, int column) const {
    const Cell* cell = Find(row, column);
    return cell ? cell->Kind : TCellKind::Empty;
}

int TSheet::NextStoredRow(int row) const {
    for (size_t r = static_cast<size_t>(std::max(row, 1)); r <= FRows.size(); ++r)
        if (!FRows[r - 1].empty())
            return static_cast<int>(r);
    return 0;
}

void TSheet::StoredColumns(int row, std::vector<int>& columns) const {
    columns.clear();
    if (row < 1 || static_cast<size_t>(row) > FRows.size())
        return;
    for (const Cell& cell : FRows[static_cast<size_t>(row - 1)])
        columns.push_back(cell.Column);
}

Variant TSheet::Value(int row, int column) const {
    const Cell* cell = Find(row, column);
    if (!cell)
        return Variant();
    switch (cell->Kind) {
    case TCellKind::Empty:
        return Variant();
    case TCellKind::Number:
        return Variant(cell->Number());
    case TCellKind::Text:
        return Variant(std::string(FBook->Text(cell->Pool())));
    case TCellKind::Currency:
        return Variant(VarCurrency{std::llround(cell->Number() * 10000.0)});
    case TCellKind::Date:
        return Variant(VarDate{cell->Number()});
    case TCellKind::Boolean:
        return Variant(cell->Number() != 0);
    case TCellKind::Error:
        return Variant(VarError{std::string(FBook->Text(cell->Pool()))});
    }
    return Variant();
}

void TSheet::SetNumber(int row, int column, double value) {
    Cell& cell = Slot(row, column);
    cell.Kind = TCellKind::Number;
    cell.SetNumber(value);
}

void TSheet::SetDate(int row, int column, double serial) {
    Cell& cell = Slot(row, column);
    cell.Kind = TCellKind::Date;
    cell.SetNumber(serial);
}

void TSheet::SetCurrency(int row, int column, double amount) {
    Cell& cell = Slot(row, column);
    cell.Kind = TCellKind::Currency;
    cell.SetNumber(amount);
}

void TSheet::SetBoolean(int row, int column, bool value) {
    Cell& cell = Slot(row, column);
    cell.Kind = TCellKind::Boolean;
    cell.SetNumber(value ? 1 : 0);
}

void TSheet::SetText(int row, int column, const std::string& text) {
    SetPooledText(row, column, FBook->AddText(text));
}

void TSheet::SetPooledText(int row, int column, uint32_t poolIndex) {
    FBook->Text(poolIndex);
    Cell& cell = Slot(row, column);
    cell.Kind = TCellKind::Text;
    cell.SetPool(poolIndex);
}

void TSheet::SetError(int row, int column, const std::string& code) {
    const uint32_t index = FBook->AddText(code);
    Cell& cell = Slot(row, column);
    cell.Kind = TCellKind::Error;
    cell.SetPool(index);
}

void TSheet::SetValue(int row, int column, const Variant& value) {
    switch (value.Type()) {
    case VarType::Empty:
    case VarType::Null:
        Touch(row, column);
        return;
    case VarType::Boolean:
        return SetBoolean(row, column, value.Get<bool>());
    case VarType::String:
        return SetText(row, column, value.Get<std::string>());
    case VarType::Currency:
        return SetCurrency(row, column,
                           static_cast<double>(value.Get<VarCurrency>().scaled) / 10000.0);
    case VarType::Date:
        return SetDate(row, column, value.Get<VarDate>().serial);
    case VarType::Error:
        return SetError(row, column, value.Get<VarError>().text);
    default:
        return SetNumber(row, column, value.AsDouble());
    }
}

TSheet& TWorkbook::AddSheet(std::string name) {
    FSheets.push_back(std::make_unique<TSheet>(*this, std::move(name)));
    return *FSheets.back();
}

uint32_t TWorkbook::AddText(std::string_view text) {
    FChars.append(text);
    FEnds.push_back(FChars.size());
    return static_cast<uint32_t>(FEnds.size() - 1);
}

std::string_view TWorkbook::Text(uint32_t poolIndex) const {
    const size_t end = FEnds.at(poolIndex);
    const size_t start = poolIndex == 0 ? 0 : FEnds[poolIndex - 1];
    return std::string_view(FChars).substr(start, end - start);
}

void TWorkbook::DropTexts(size_t poolSize) {
    if (poolSize >= FEnds.size())
        return;
    FEnds.resize(poolSize);
    FChars.resize(poolSize == 0 ? 0 : FEnds.back());
}

} // namespace tabellix
