// The Office Open XML workbook reader (.xlsx, .xlsm).
#pragma once

#include "automation/Workbook.h"
#include "automation/ZipArchive.h"

#include <memory>
#include <string>

namespace tabellix {

// Lists the worksheets of the package in workbook order (chart, dialog and
// macro sheets left out) and reads the date system and the cell formats.
// The shared strings are read with the first sheet's cells, each sheet's
// cells on its first Load(), from the archive the sheets keep open until
// then; name stands for the file in the messages of those reads. Raises
// EWorkbookError.
std::unique_ptr<TWorkbook> ReadXlsxWorkbook(std::shared_ptr<const TZipArchive> zip,
                                            const std::string& name);

} // namespace tabellix
