// The binary workbook reader (.xls, BIFF8 and BIFF5 records).
#pragma once

#include "automation/Workbook.h"

#include <memory>
#include <string>

namespace tabellix {

// Lists the worksheets of a workbook stream in workbook order (chart, dialog
// and macro sheets left out) and reads its globals: formats, date system and
// code page. The shared strings are decoded with the first sheet's cells,
// each sheet's cells on its first Load(), from the stream the sheets keep
// until then; name stands for the file in the messages of those reads.
// Raises EWorkbookError.
std::unique_ptr<TWorkbook> ReadXlsWorkbook(std::string stream, const std::string& name);

} // namespace tabellix
