#include "automation/WorkbookError.h"

namespace tabellix {

void FailRead(TWorkbookErrorCode code, std::string message) {
    throw EWorkbookError(code, std::move(message));
}

} // namespace tabellix
