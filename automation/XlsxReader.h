// The Office Open XML workbook reader (.xlsx, .xlsm).
#pragma once

#include "automation/Workbook.h"
#include "automation/ZipArchive.h"

#include <memory>
#include <string>

namespace tabellix {

// Lists the worksheets of the package in workbook order (chart, dialog and
// macro sheets left out) and reads the parts they share: the date system,
// the cell formats and the shared strings. Each sheet's cells are read on its
// first Load(), from the archive the sheets keep open until then; name stands
// for the file in the messages of those reads. Raises EWorkbookError.
std::unique_ptr<TWorkbook> ReadXlsxWorkbook(std::shared_ptr<const TZipArchive> zip,
                                            const std::string& name);

} // namespace tabellix
