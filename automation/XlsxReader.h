// The Office Open XML workbook reader (.xlsx, .xlsm).
#pragma once

#include "automation/Workbook.h"

#include <memory>
#include <string>

namespace tabellix {

std::unique_ptr<TWorkbook> ReadXlsxWorkbook(const std::string& fileName);

} // namespace tabellix
