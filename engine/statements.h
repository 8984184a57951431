// The statement texts both passes send or write: CREATE TABLE, the insert
// statement and its parts, value escaping, identifier quoting, the strict
// session the batches need, and the batches of multi-row statements.
#pragma once

#include "engine/grid.h"
#include "engine/table_options.h"
#include "engine/typed_values.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tabellix {

// name as a quoted identifier: in backticks, each backtick doubled.
std::string quote_name(std::string_view name);

// The CREATE TABLE statement for the grid; the default options give
// MyISAM, utf8 (utf8mb4 for a sheet with wide characters) and no key.
std::string get_table(const std::string& tableName, const std::string& prefix,
                      const TStringGrid& grid, const TTableOptions& options = {});
// The insert statement for one sheet row's values.
std::string get_insert(const std::string& tableName, const std::vector<TInsertValue>& cells);
// What every insert statement starts with: "insert into NAME values".
std::string insert_head(const std::string& tableName);
// Appends one row's values as the insert statement has them, between its
// parentheses.
void append_values(std::string& out, const std::vector<TInsertValue>& cells);
// text with the characters a quoted value cannot hold as themselves escaped.
std::string mysql_escap(const std::string& text);

// A bound on one batch's text however large the server's packet limit:
// below the smallest limit servers are set up with, its memory small, and
// the server takes such statements faster than larger ones.
constexpr size_t kBatchBytes = size_t{256} << 10;

// The dump's first statement with batches, on a line of its own: the
// loading session refuses a bad value in any row of a multi-row insert,
// whatever the table's engine.
extern const std::string kStrictSession;

// The first line of a dump whose table is utf8mb4, right after the
// byte-order mark.
extern const char* const kUtf8mb4Session;

// Rows joined into one text between a head and a tail, as long as the text
// stays within a byte limit and a row limit.
class TRowBatch {
public:
    // maxRows 0: no row limit.
    TRowBatch(std::string head, std::string separator, std::string tail, size_t maxBytes,
              int maxRows);

    // Whether a row of rowBytes still fits; a first row always does.
    bool Fits(size_t rowBytes) const;
    void Add(std::string_view row);
    int Rows() const { return FRows; }
    // The text with its head and tail; the batch is empty afterwards.
    std::string Take();

private:
    std::string FHead, FSeparator, FTail;
    std::string FText;
    size_t FMaxBytes;
    int FMaxRows;
    int FRows = 0;
};

} // namespace tabellix
