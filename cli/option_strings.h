// The -O option strings, checked before anything is read or connected, with
// the provider's own option lists.
#pragma once

#include <string>

namespace tabellix::cli {

// The line itself; raises EUsageError, naming it, when it would not set a
// MySQL option: no "=", a prefix other than MySQL, a name no option list
// holds (compared as the lists compare: ignoring case, untrimmed), or a value
// the option refuses.
std::string CheckedOptionString(std::string line);

} // namespace tabellix::cli
