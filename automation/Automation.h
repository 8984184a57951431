// The spreadsheet automation object model the engine drives: an application
// object with its workbook collection, worksheet collection, worksheets,
// their used ranges, and cells of the active sheet. The calls are named as
// the engine makes them; every call is reported to the call observer so that
// tests can see what a pass did, in order.
#pragma once

#include "base/Exception.h"
#include "base/Variant.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tabellix {

// The program identifier the engine asks for; it appears in the creation
// error message.
inline constexpr const char* SpreadsheetProgID = "Excel.Application";

// Raised by any failing call of the object model; the engine shows the
// message unchanged.
TABELLIX_EXCEPTION(EAutomationError, Exception);

class TAutomationApplication;

class TWorkbooks {
public:
    explicit TWorkbooks(TAutomationApplication& app) : FApp(&app) {}
    void Open(const std::string& fileName);
    void Close();

private:
    TAutomationApplication* FApp;
};

// Columns or Rows of a used range.
class TRangeAxis {
public:
    TRangeAxis(TAutomationApplication& app, int sheet, bool columns)
        : FApp(&app), FSheet(sheet), FColumns(columns) {}
    int Count();

private:
    TAutomationApplication* FApp;
    int FSheet;
    bool FColumns;
};

class TUsedRange {
public:
    TUsedRange(TAutomationApplication& app, int sheet) : FApp(&app), FSheet(sheet) {}
    TRangeAxis Columns() { return TRangeAxis(*FApp, FSheet, true); }
    TRangeAxis Rows() { return TRangeAxis(*FApp, FSheet, false); }

private:
    TAutomationApplication* FApp;
    int FSheet;
};

class TWorksheet {
public:
    TWorksheet(TAutomationApplication& app, int index) : FApp(&app), FIndex(index) {}
    Variant name();
    void activate();
    TUsedRange UsedRange();

private:
    TAutomationApplication* FApp;
    int FIndex;
};

class TWorksheets {
public:
    explicit TWorksheets(TAutomationApplication& app) : FApp(&app) {}
    int count();
    // Worksheets(i), 1-based; an index with no worksheet behind it raises.
    TWorksheet operator()(int index);

private:
    TAutomationApplication* FApp;
};

class TCell {
public:
    TCell(TAutomationApplication& app, int row, int column)
        : FApp(&app), FRow(row), FColumn(column) {}
    Variant value();

private:
    TAutomationApplication* FApp;
    int FRow;
    int FColumn;
};

// The cells the active sheet stores, row by row: a pass over a sparse sheet
// asks for these instead of every empty position of its used range.
class TStoredCells {
public:
    explicit TStoredCells(TAutomationApplication& app) : FApp(&app) {}
    // The first row from row on that stores a cell; 0 when none does.
    int NextRow(int row);
    // The columns of the row's stored cells, in order, into columns.
    void Columns(int row, std::vector<int>& columns);

private:
    TAutomationApplication* FApp;
};

// The application object. The public members are the calls the engine
// makes; implementations supply the Do* operations. Each public call is
// reported to the observer before it is carried out.
class TAutomationApplication {
public:
    virtual ~TAutomationApplication();

    void SetVisible(bool visible);
    TWorkbooks WorkBooks() { return TWorkbooks(*this); }
    TWorksheets Worksheets() { return TWorksheets(*this); }
    // A cell of the active sheet, addressed from its first row and column.
    TCell Cells(int row, int column) { return TCell(*this, row, column); }
    TStoredCells StoredCells() { return TStoredCells(*this); }
    void SetDisplayAlerts(bool displayAlerts);
    void Quit();

protected:
    friend class TWorkbooks;
    friend class TRangeAxis;
    friend class TWorksheet;
    friend class TWorksheets;
    friend class TCell;
    friend class TStoredCells;

    virtual void DoSetVisible(bool visible) = 0;
    virtual void DoOpen(const std::string& fileName) = 0;
    virtual void DoCloseAll() = 0;
    virtual int DoSheetCount() = 0;
    // 1-based; raises EAutomationError for an index with no worksheet.
    virtual void DoCheckSheet(int index) = 0;
    virtual Variant DoSheetName(int index) = 0;
    virtual void DoActivate(int index) = 0;
    virtual int DoUsedColumns(int index) = 0;
    virtual int DoUsedRows(int index) = 0;
    virtual Variant DoCellValue(int row, int column) = 0;
    virtual int DoNextStoredRow(int row) = 0;
    virtual void DoStoredColumns(int row, std::vector<int>& columns) = 0;
    virtual void DoSetDisplayAlerts(bool displayAlerts) = 0;
    virtual void DoQuit() = 0;
};

// Receives each call of the object model as text, for example "Create",
// "Visible:=False", "WorkBooks.Open(/tmp/a.xlsx)", "Worksheets.count",
// "Worksheets(2).name", "Worksheets(2).activate",
// "Worksheets(2).UsedRange.Columns.Count", "Cells(3,1).value",
// "StoredCells.NextRow(3)", "StoredCells.Columns(3)",
// "DisplayAlerts:=False", "WorkBooks.Close", "Quit" and "Release" when the
// object is destroyed.
using TAutomationObserver = std::function<void(const std::string& call)>;

// Installs the observer for the whole process (tests only); an empty
// function removes it.
void SetAutomationObserver(TAutomationObserver observer);

using TAutomationFactory = std::function<std::unique_ptr<TAutomationApplication>()>;

// Replaces the way application objects are made (tests only); an empty
// function restores the workbook reader.
void SetAutomationFactory(TAutomationFactory factory);

// Creates an application object for progId. A failure raises
// EAutomationError "%s, ProgID: "%s"" with the cause's message.
std::unique_ptr<TAutomationApplication> CreateOleObject(const std::string& progId);

// The default application object, backed by the workbook readers.
std::unique_ptr<TAutomationApplication> CreateWorkbookApplication();

// Reports a call to the observer, if one is installed.
void NotifyAutomationCall(const std::string& call);

} // namespace tabellix
