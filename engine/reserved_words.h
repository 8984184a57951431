// The words MySQL and MariaDB reserve: a table name that is one of them
// must be quoted to be usable in a statement.
#pragma once

#include <string_view>

namespace tabellix {

// name is compared ignoring ASCII letter case.
bool IsReservedWord(std::string_view name);

} // namespace tabellix
