// The table's character set: the 3-byte utf8 of the statement texts, or
// utf8mb4 when the sheet holds characters beyond it.
#pragma once

#include "engine/grid.h"

#include <string>
#include <string_view>

namespace tabellix {

// Whether text (UTF-8) holds a character outside the Basic Multilingual
// Plane, that is one of four bytes.
bool has_wide_chars(std::string_view text);

// "utf8mb4" for a grid whose sheet holds wide characters, else "utf8".
std::string table_charset(const TStringGrid& grid);

} // namespace tabellix
