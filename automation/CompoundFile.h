// The container of the binary workbook: a compound file whose workbook
// stream holds the records. Read with a bounded size.
#pragma once

#include <string>
#include <string_view>

namespace tabellix {

// The workbook stream ("Workbook", or "Book" of the older versions) of the
// compound file. A file without one, an encrypted package (an XML workbook
// sealed in a compound file) and a stream beyond MaxPartBytes raise
// EWorkbookError.
std::string ReadCompoundWorkbookStream(const std::string& fileName);
// The same for a compound file held in memory.
std::string ReadCompoundWorkbookStreamFromMemory(std::string_view bytes);

} // namespace tabellix
