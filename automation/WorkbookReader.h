// Reading a workbook file, whatever its name says: the content decides
// between the Office Open XML reader and the binary compound-file reader.
#pragma once

#include "automation/Workbook.h"

#include <memory>
#include <string>

namespace tabellix {

// Reads every worksheet of the file. A file that cannot be read raises
// EAutomationError with a message naming the file and the cause.
std::unique_ptr<TWorkbook> LoadWorkbook(const std::string& fileName);

} // namespace tabellix
