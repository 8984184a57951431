// A workbook as read from a file: its worksheets in workbook order, each
// with its used range and its cells. Cells are kept compactly (a kind, a
// number and an index into the workbook's text pool) so that large sheets
// stay small in memory. A reader may defer a sheet's cells until they are
// first needed, so that listing the sheets costs no more than the workbook
// part.
#pragma once

#include "base/Variant.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tabellix {

enum class TCellKind : uint8_t { Empty, Number, Text, Currency, Date, Boolean, Error };

class TWorkbook;

class TSheet {
public:
    TSheet(TWorkbook& book, std::string name) : FBook(&book), FName(std::move(name)) {}

    const std::string& Name() const { return FName; }

    // Reads the sheet's cells into it; a reader that defers them sets one.
    using TCellLoader = std::function<void(TSheet& sheet)>;
    void SetCellLoader(TCellLoader loader) { FLoader = std::move(loader); }
    // Runs the deferred read, if one waits. A failing read leaves the sheet
    // empty and raises again on the next call, so a damaged sheet never
    // passes for an empty one. The used range and the cells below are those
    // read so far.
    void Load();
    bool Loaded() const { return !FLoader; }

    // The used range: the bounding box of every cell the sheet stores,
    // values or formatting; one cell at A1 when the sheet stores none.
    int FirstRow() const { return !FHasRange ? 1 : FFirstRow; }
    int FirstColumn() const { return !FHasRange ? 1 : FFirstColumn; }
    int LastRow() const { return !FHasRange ? 1 : FLastRow; }
    int LastColumn() const { return !FHasRange ? 1 : FLastColumn; }

    // The value at a 1-based position; empty outside what the sheet stores.
    Variant Value(int row, int column) const;
    TCellKind Kind(int row, int column) const;
    // The first row from row on that stores a cell with a value; 0 when
    // none does.
    int NextStoredRow(int row) const;
    // The columns of the row's cells with a value, in order, into columns.
    void StoredColumns(int row, std::vector<int>& columns) const;

    // Widens the used range for a cell that is stored without a value
    // (formatting only).
    void Touch(int row, int column);
    void SetNumber(int row, int column, double value);
    void SetDate(int row, int column, double serial);
    void SetCurrency(int row, int column, double amount);
    void SetBoolean(int row, int column, bool value);
    // Text and error codes go to the workbook's pool; a pooled index may be
    // shared by many cells.
    void SetText(int row, int column, const std::string& text);
    void SetPooledText(int row, int column, uint32_t poolIndex);
    void SetError(int row, int column, const std::string& code);
    void SetValue(int row, int column, const Variant& value);

private:
    // 12 bytes: a cell holds a number or a pool index, never both, so they
    // share the payload, kept in two halves to need no 8-byte alignment.
    struct Cell {
        uint32_t Payload[2] = {0, 0};
        uint16_t Column = 0;
        TCellKind Kind = TCellKind::Empty;

        double Number() const {
            double value;
            std::memcpy(&value, Payload, sizeof value);
            return value;
        }
        void SetNumber(double value) { std::memcpy(Payload, &value, sizeof value); }
        uint32_t Pool() const { return Payload[0]; }
        void SetPool(uint32_t index) { Payload[0] = index; }
    };
    static_assert(sizeof(Cell) == 12, "cells stay compact");
    Cell& Slot(int row, int column);
    // Touch for a position already checked.
    void Widen(int row, int column);
    const Cell* Find(int row, int column) const;

    TWorkbook* FBook;
    std::string FName;
    TCellLoader FLoader;
    // Rows by number from 1; each row holds only its stored cells, sorted by
    // column, so a far column costs no more than a near one.
    std::vector<std::vector<Cell>> FRows;
    bool FHasRange = false;
    int FFirstRow = 1, FFirstColumn = 1, FLastRow = 1, FLastColumn = 1;
};

class TWorkbook {
public:
    TWorkbook() = default;
    TWorkbook(const TWorkbook&) = delete;
    TWorkbook& operator=(const TWorkbook&) = delete;

    // Appends a worksheet; the reference stays valid while the workbook lives.
    TSheet& AddSheet(std::string name);
    int SheetCount() const { return static_cast<int>(FSheets.size()); }
    // 0-based.
    TSheet& Sheet(int index) { return *FSheets.at(static_cast<size_t>(index)); }
    const TSheet& Sheet(int index) const { return *FSheets.at(static_cast<size_t>(index)); }

    uint32_t AddText(std::string_view text);
    std::string_view Text(uint32_t poolIndex) const;
    size_t PoolSize() const { return FEnds.size(); }
    // Drops the texts from poolSize on, those of a sheet read that failed.
    void DropTexts(size_t poolSize);

private:
    std::vector<std::unique_ptr<TSheet>> FSheets;
    // The texts end to end, and where each one ends: one allocation for
    // many short texts instead of a string each.
    std::string FChars;
    std::vector<size_t> FEnds;
};

// Largest row and column a sheet may address; positions beyond are refused
// so that a hostile file cannot make the reader allocate without bound.
inline constexpr int MaxSheetRows = 1048576;
inline constexpr int MaxSheetColumns = 16384;

} // namespace tabellix
