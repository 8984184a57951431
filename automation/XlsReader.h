// The binary workbook reader (.xls, BIFF8 and BIFF5 records).
#pragma once

#include "automation/Workbook.h"

#include <memory>
#include <string_view>

namespace tabellix {

// Reads every worksheet of a workbook stream, in workbook order; chart,
// dialog and macro sheets are left out. Raises EWorkbookError.
std::unique_ptr<TWorkbook> ReadXlsWorkbook(std::string_view stream);

} // namespace tabellix
