// The binary workbook reader (.xls, BIFF8 and BIFF5 in a compound file).
#pragma once

#include "automation/Workbook.h"

#include <memory>
#include <string>

namespace tabellix {

std::unique_ptr<TWorkbook> ReadXlsWorkbook(const std::string& fileName);

} // namespace tabellix
