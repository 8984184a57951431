// The rules for table and column names: the filter that makes a name of
// any text, whether a text may start a name, and the digits-only test of a
// length.
#pragma once

#include <string>

namespace tabellix {

// Lower-case ASCII letters, digits and "_" only; may be empty.
std::string spchar_filter(const std::string& text);
// Whether text may serve as a table or column name at all.
bool valid_start(const std::string& text);
// True when every character is a decimal digit (also for "").
bool isnumeric(const std::string& text);

} // namespace tabellix
