// Every pass over a workbook starts its own invisible automation object with
// the workbook open, and ends by shutting that object down.
#pragma once

#include "automation/Automation.h"

#include <memory>
#include <string>

namespace tabellix {

// A new automation object, made invisible, with fileName open. Errors are
// left to the caller.
std::unique_ptr<TAutomationApplication> OpenWorkbook(const std::string& fileName);

// Alerts off, the workbooks closed, then Quit.
void ShutDown(TAutomationApplication& app);

} // namespace tabellix
