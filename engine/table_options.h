// Choices for the created table beyond the statement texts' defaults: its
// storage engine, its character set and a primary key.
#pragma once

#include "engine/grid.h"

#include <optional>
#include <string>
#include <string_view>

namespace tabellix {

enum class TCharsetChoice { Auto, Utf8, Utf8mb4 };

struct TTableOptions {
    std::string Engine; // empty: MyISAM, or InnoDB on a cluster node
    TCharsetChoice Charset = TCharsetChoice::Auto;
    int PrimaryKey = 0; // the grid row of the key column; 0 for none
};

// Whether text (UTF-8) holds a character outside the Basic Multilingual
// Plane, that is one of four bytes.
bool has_wide_chars(std::string_view text);

// The chosen character set; automatic gives "utf8mb4" for a grid whose
// sheet holds wide characters, else "utf8".
std::string table_charset(const TTableOptions& options, const TStringGrid& grid);

// The chosen engine, "MyISAM" when none is chosen.
std::string table_engine(const TTableOptions& options);

// "auto", "utf8" or "utf8mb4", in any letter case; nothing for other texts.
std::optional<TCharsetChoice> parse_charset_choice(const std::string& text);

// Why name cannot serve as the engine: it goes into the statement as it
// is, so it may hold letters, digits and "_" only; nothing when it can.
std::optional<std::string> check_engine_name(const std::string& name);

// Why the options cannot make a table of grid: an engine name that is not
// a plain word, or a key row outside the grid; nothing when they can.
std::optional<std::string> check_table_options(const TTableOptions& options,
                                               const TStringGrid& grid);

} // namespace tabellix
