// Reading a workbook file, whatever its name says: the content decides
// between the Office Open XML reader and the binary compound-file reader.
#pragma once

#include "automation/Workbook.h"

#include <memory>
#include <string>
#include <string_view>

namespace tabellix {

// Reads every worksheet of the file. A file that cannot be read raises
// EWorkbookError (an EAutomationError) with a message naming the file and
// the cause.
std::unique_ptr<TWorkbook> LoadWorkbook(const std::string& fileName);

// The same for a file's bytes held in memory; name stands for the file in
// messages.
std::unique_ptr<TWorkbook> LoadWorkbookFromMemory(std::string_view bytes,
                                                  const std::string& name = "(memory)");

} // namespace tabellix
