#include "automation/Automation.h"

#include "base/Format.h"

#include <atomic>
#include <mutex>
#include <utility>

namespace tabellix {

namespace {

struct TAutomationHooks {
    std::mutex Lock;
    TAutomationObserver Observer;
    TAutomationFactory Factory;
    // Lets the cell reads skip building their call text when nobody listens.
    std::atomic<bool> Observed{false};
};

TAutomationHooks& Hooks() {
    static TAutomationHooks hooks;
    return hooks;
}

template <class MakeText> void Report(MakeText makeText) {
    if (Hooks().Observed.load(std::memory_order_relaxed))
        NotifyAutomationCall(makeText());
}

std::string BoolText(bool value) {
    return value ? "True" : "False";
}

std::string SheetCall(int index, const char* member) {
    return Format("Worksheets(%d).%s", {index, member});
}

} // namespace

void NotifyAutomationCall(const std::string& call) {
    TAutomationObserver observer;
    {
        std::lock_guard<std::mutex> guard(Hooks().Lock);
        observer = Hooks().Observer;
    }
    if (observer)
        observer(call);
}

void SetAutomationObserver(TAutomationObserver observer) {
    std::lock_guard<std::mutex> guard(Hooks().Lock);
    Hooks().Observer = std::move(observer);
    Hooks().Observed = static_cast<bool>(Hooks().Observer);
}

void SetAutomationFactory(TAutomationFactory factory) {
    std::lock_guard<std::mutex> guard(Hooks().Lock);
    Hooks().Factory = std::move(factory);
}

std::unique_ptr<TAutomationApplication> CreateOleObject(const std::string& progId) {
    TAutomationFactory factory;
    {
        std::lock_guard<std::mutex> guard(Hooks().Lock);
        factory = Hooks().Factory;
    }
    try {
        if (progId != SpreadsheetProgID)
            throw EAutomationError("Invalid class string");
        auto app = factory ? factory() : CreateWorkbookApplication();
        NotifyAutomationCall("Create");
        return app;
    } catch (const Exception& e) {
        throw EAutomationError(Format("%s, ProgID: \"%s\"", {e.Message(), progId}));
    }
}

TAutomationApplication::~TAutomationApplication() {
    Report([] { return std::string("Release"); });
}

void TAutomationApplication::SetVisible(bool visible) {
    Report([&] { return "Visible:=" + BoolText(visible); });
    DoSetVisible(visible);
}

void TAutomationApplication::SetDisplayAlerts(bool displayAlerts) {
    Report([&] { return "DisplayAlerts:=" + BoolText(displayAlerts); });
    DoSetDisplayAlerts(displayAlerts);
}

void TAutomationApplication::Quit() {
    Report([] { return std::string("Quit"); });
    DoQuit();
}

void TWorkbooks::Open(const std::string& fileName) {
    Report([&] { return "WorkBooks.Open(" + fileName + ")"; });
    FApp->DoOpen(fileName);
}

void TWorkbooks::Close() {
    Report([] { return std::string("WorkBooks.Close"); });
    FApp->DoCloseAll();
}

int TWorksheets::count() {
    Report([] { return std::string("Worksheets.count"); });
    return FApp->DoSheetCount();
}

TWorksheet TWorksheets::operator()(int index) {
    Report([&] { return Format("Worksheets(%d)", {index}); });
    FApp->DoCheckSheet(index);
    return TWorksheet(*FApp, index);
}

Variant TWorksheet::name() {
    Report([&] { return SheetCall(FIndex, "name"); });
    return FApp->DoSheetName(FIndex);
}

void TWorksheet::activate() {
    Report([&] { return SheetCall(FIndex, "activate"); });
    FApp->DoActivate(FIndex);
}

TUsedRange TWorksheet::UsedRange() {
    return TUsedRange(*FApp, FIndex);
}

int TRangeAxis::Count() {
    Report([&] {
        return std::string(
            SheetCall(FSheet, FColumns ? "UsedRange.Columns.Count" : "UsedRange.Rows.Count"));
    });
    return FColumns ? FApp->DoUsedColumns(FSheet) : FApp->DoUsedRows(FSheet);
}

Variant TCell::value() {
    Report([&] { return Format("Cells(%d,%d).value", {FRow, FColumn}); });
    return FApp->DoCellValue(FRow, FColumn);
}

int TStoredCells::NextRow(int row) {
    Report([&] { return Format("StoredCells.NextRow(%d)", {row}); });
    return FApp->DoNextStoredRow(row);
}

void TStoredCells::Columns(int row, std::vector<int>& columns) {
    Report([&] { return Format("StoredCells.Columns(%d)", {row}); });
    FApp->DoStoredColumns(row, columns);
}

} // namespace tabellix
