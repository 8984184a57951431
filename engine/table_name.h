// The two checks a table name passes before the dump file is chosen.
#pragma once

#include "engine/funcs.h"

#include <optional>
#include <string>

namespace tabellix {

// The message refusing the name, or nothing when it may be used.
std::optional<std::string> check_table_name(const myfuns& funs, const std::string& name);

} // namespace tabellix
