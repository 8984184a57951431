// Reading a workbook file, whatever its name says: the content decides
// between the Office Open XML reader and the binary compound-file reader.
#pragma once

#include "automation/Workbook.h"

#include <memory>
#include <string>
#include <string_view>

namespace tabellix {

// Lists the worksheets of the file and reads what they share (names, date
// system, cell formats); the shared strings and each sheet's cells wait for
// its first Load(), which raises when they are damaged. A file that is no
// regular file or cannot be opened raises EWorkbookError (an
// EAutomationError) with a message naming the file and the cause.
std::unique_ptr<TWorkbook> OpenWorkbookFile(const std::string& fileName);

// Opens the file and reads every worksheet's cells.
std::unique_ptr<TWorkbook> LoadWorkbook(const std::string& fileName);

// The same for a file's bytes held in memory, read completely before it
// returns, so the workbook never refers to the bytes; name stands for the
// file in messages.
std::unique_ptr<TWorkbook> LoadWorkbookFromMemory(std::string_view bytes,
                                                  const std::string& name = "(memory)");

} // namespace tabellix
