#include "automation/XlsxReader.h"

#include "automation/Automation.h"

namespace tabellix {

// Replaced by the streaming reader.
std::unique_ptr<TWorkbook> ReadXlsxWorkbook(const std::string& fileName) {
    throw EAutomationError("Cannot read \"" + fileName + "\" yet");
}

} // namespace tabellix
