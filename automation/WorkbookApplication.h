// The application object backed by the workbook readers: it opens a file
// into a TWorkbook and answers the object model's calls from it. A sheet's
// cells are read when it is first activated or its used range asked for, so
// listing the sheets reads none. By default a file is opened through the
// workbook cache (automation/WorkbookCache.h).
#pragma once

#include "automation/Automation.h"
#include "automation/Workbook.h"

#include <functional>
#include <memory>
#include <string>

namespace tabellix {

using TWorkbookLoader = std::function<std::shared_ptr<TWorkbook>(const std::string& fileName)>;

class TWorkbookApplication : public TAutomationApplication {
public:
    // loader reads a file into a workbook; the default picks a reader by the
    // file's content, defers the sheets' cells and reuses a kept workbook
    // under the cache's rule.
    explicit TWorkbookApplication(TWorkbookLoader loader = {});

protected:
    void DoSetVisible(bool) override {}
    void DoOpen(const std::string& fileName) override;
    void DoCloseAll() override;
    int DoSheetCount() override;
    void DoCheckSheet(int index) override;
    Variant DoSheetName(int index) override;
    void DoActivate(int index) override;
    int DoUsedColumns(int index) override;
    int DoUsedRows(int index) override;
    Variant DoCellValue(int row, int column) override;
    int DoNextStoredRow(int row) override;
    void DoStoredColumns(int row, std::vector<int>& columns) override;
    void DoSetDisplayAlerts(bool) override {}
    void DoQuit() override;

private:
    TWorkbook& Book();
    TSheet& SheetAt(int index);
    TSheet& LoadedSheet(int index);
    const TSheet& Active() const;

    TWorkbookLoader FLoader;
    std::shared_ptr<TWorkbook> FBook;
    const TSheet* FActive = nullptr;
};

} // namespace tabellix
