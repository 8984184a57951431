// The Office Open XML workbook reader (.xlsx, .xlsm).
#pragma once

#include "automation/Workbook.h"
#include "automation/ZipArchive.h"

#include <memory>
#include <string>

namespace tabellix {

// Reads every worksheet of the package, in workbook order; chart, dialog and
// macro sheets are left out. Raises EWorkbookError.
std::unique_ptr<TWorkbook> ReadXlsxWorkbook(const TZipArchive& zip);

} // namespace tabellix
