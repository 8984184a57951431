// JSON texts of the commands that print JSON lines.
#pragma once

#include <iosfwd>
#include <string>

namespace tabellix::cli {

// text (UTF-8) as a quoted JSON string.
void WriteJsonString(std::ostream& out, const std::string& text);

} // namespace tabellix::cli
