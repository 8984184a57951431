// Reading one worksheet part of a package into a sheet, streaming, with the
// cell formats and shared strings read before it.
#pragma once

#include "automation/NumberFormat.h"
#include "automation/Workbook.h"
#include "automation/ZipArchive.h"

#include <string>
#include <vector>

namespace tabellix {

struct TXlsxContext {
    const std::vector<TNumberClass>* CellFormats = nullptr;
    uint32_t SharedBase = 0;  // pool index of shared string 0
    uint32_t SharedCount = 0; // how many shared strings there are
    bool Date1904 = false;
    uint64_t* CellBudget = nullptr; // cells the workbook may still store
};

void ReadXlsxSheet(const TZipArchive& zip, const std::string& part, const TXlsxContext& context,
                   TSheet& sheet);

} // namespace tabellix
