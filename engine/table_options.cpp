#include "engine/table_options.h"

#include "base/Text.h"

#include <cctype>

namespace tabellix {

bool has_wide_chars(std::string_view text) {
    // Only the lead byte of a four-byte sequence is 0xF0 or above.
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0xF0)
            return true;
    return false;
}

std::string table_charset(const TTableOptions& options, const TStringGrid& grid) {
    switch (options.Charset) {
    case TCharsetChoice::Utf8:
        return "utf8";
    case TCharsetChoice::Utf8mb4:
        return "utf8mb4";
    case TCharsetChoice::Auto:
        break;
    }
    return grid.HasWideChars() ? "utf8mb4" : "utf8";
}

std::string table_engine(const TTableOptions& options) {
    return options.Engine.empty() ? "MyISAM" : options.Engine;
}

std::optional<TCharsetChoice> parse_charset_choice(const std::string& text) {
    if (SameText(text, "auto"))
        return TCharsetChoice::Auto;
    if (SameText(text, "utf8"))
        return TCharsetChoice::Utf8;
    if (SameText(text, "utf8mb4"))
        return TCharsetChoice::Utf8mb4;
    return std::nullopt;
}

std::optional<std::string> check_engine_name(const std::string& name) {
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
            return "The engine name \"" + name + "\" may hold letters, digits and _ only";
    return std::nullopt;
}

std::optional<std::string> check_table_options(const TTableOptions& options,
                                               const TStringGrid& grid) {
    if (auto problem = check_engine_name(options.Engine))
        return problem;
    if (options.PrimaryKey < 0 || options.PrimaryKey >= grid.RowCount())
        return "The primary key must be a row of the grid, 1 to " +
               std::to_string(grid.RowCount() - 1);
    return std::nullopt;
}

} // namespace tabellix
