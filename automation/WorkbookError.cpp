#include "automation/WorkbookError.h"

#include "base/Format.h"

namespace tabellix {

void FailRead(TWorkbookErrorCode code, std::string message) {
    throw EWorkbookError(code, std::move(message));
}

void NameWorkbook(EWorkbookError& error, const std::string& name) {
    error.SetMessage(Format("Cannot read the workbook \"%s\": %s", {name, error.Message()}));
}

} // namespace tabellix
