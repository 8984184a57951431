#include "engine/table_options.h"

namespace tabellix {

bool has_wide_chars(std::string_view text) {
    // Only the lead byte of a four-byte sequence is 0xF0 or above.
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0xF0)
            return true;
    return false;
}

std::string table_charset(const TStringGrid& grid) {
    return grid.HasWideChars() ? "utf8mb4" : "utf8";
}

} // namespace tabellix
