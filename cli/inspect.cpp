#include "cli/commands.h"

#include "base/Exception.h"

namespace tabellix::cli {

// Replaced by the workbook listing and cell dump.
int RunSheets(const TArgs&, std::ostream&, std::ostream&) {
    throw EUsageError("sheets is not available yet");
}

int RunInspect(const TArgs&, std::ostream&, std::ostream&) {
    throw EUsageError("inspect is not available yet");
}

} // namespace tabellix::cli
