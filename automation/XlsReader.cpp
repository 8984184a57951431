#include "automation/XlsReader.h"

#include "automation/WorkbookError.h"

namespace tabellix {

std::unique_ptr<TWorkbook> ReadXlsWorkbook(std::string_view) {
    FailRead(TWorkbookErrorCode::NotWorkbook, "binary workbooks cannot be read yet");
}

} // namespace tabellix
