#include "engine/statements.h"

#include "dataaccess/ServerSession.h"
#include "engine/identifier_rules.h"
#include "engine/reserved_words.h"

#include <utility>

namespace tabellix {

// Strict for every table, and without NO_BACKSLASH_ESCAPES, under which the
// rows' escaped quotes would end their strings.
const std::string kStrictSession =
    SetModeStatement(
        ModeWith(ModeWithout("@@sql_mode", "NO_BACKSLASH_ESCAPES"), "STRICT_ALL_TABLES")) +
    ";\n";

const char* const kUtf8mb4Session = "SET NAMES utf8mb4;\n";

namespace {

const char* const kLengthTypes[] = {"VARCHAR", "CHAR", "INT"};

bool TakesLength(const std::string& type) {
    for (const char* t : kLengthTypes)
        if (type == t)
            return true;
    return false;
}

// The escape letter for a character that cannot stand as itself in a
// quoted value, or 0. CR, NUL and Ctrl-Z are written as letters so that a
// client reading the dump keeps them: one drops a CR inside a literal,
// refuses NUL outside binary mode, and Ctrl-Z ends its input on Windows.
char EscapeLetter(char c) {
    switch (c) {
    case '\\':
        return '\\';
    case '\'':
        return '\'';
    case '\r':
        return 'r';
    case '\0':
        return '0';
    case '\x1A':
        return 'Z';
    default:
        return 0;
    }
}

// Appends text with each character that needs it escaped by a backslash;
// the runs between them are copied whole.
void AppendEscaped(std::string& out, std::string_view text) {
    size_t copied = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char letter = EscapeLetter(text[i]);
        if (letter == 0)
            continue;
        out.append(text.substr(copied, i - copied)).push_back('\\');
        out.push_back(letter);
        copied = i + 1;
    }
    out.append(text.substr(copied));
}

void AppendValue(std::string& out, const TInsertValue& value) {
    switch (value.Kind) {
    case TInsertValue::TKind::Null:
        out.append("NULL");
        return;
    case TInsertValue::TKind::Bare:
        out.append(value.Text);
        return;
    case TInsertValue::TKind::Quoted:
        out.push_back('\'');
        AppendEscaped(out, value.Text);
        out.push_back('\'');
        return;
    }
}

} // namespace

std::string quote_name(std::string_view name) {
    std::string out = "`";
    for (const char c : name) {
        out.push_back(c);
        if (c == '`')
            out.push_back('`');
    }
    return out + "`";
}

std::string get_table(const std::string& tableName, const std::string& prefix,
                      const TStringGrid& grid, const TTableOptions& options) {
    std::string sql = " CREATE TABLE " + quote_name(tableName) + " (  ";
    std::string key;
    int last = grid.RowCount() - 1;
    for (int r = 1; r <= last; ++r) {
        std::string name = grid.Cell(0, r);
        if (!prefix.empty() && valid_start(name))
            name = spchar_filter(prefix) + name;
        if (r == options.PrimaryKey)
            key = name;
        sql += " " + quote_name(name) + "  ";
        const std::string& type = grid.Cell(1, r);
        const std::string& length = grid.Cell(2, r);
        sql += type;
        // An empty length would give the invalid "INT()": write the bare type.
        if (TakesLength(type) && !length.empty())
            sql += "(" + length + ") ";
        else
            sql += " ";
        if (r < last)
            sql += " , ";
    }
    if (!key.empty())
        sql += " ,  PRIMARY KEY (" + quote_name(key) + ") ";
    sql += " ) ENGINE=" + table_engine(options) +
           " DEFAULT CHARSET=" + table_charset(options, grid) + ";";
    return sql;
}

std::string insert_head(const std::string& tableName) {
    // A reserved word cannot stand unquoted as a table name.
    if (IsReservedWord(tableName))
        return "insert into " + quote_name(tableName) + " values";
    return "insert into " + tableName + " values";
}

void append_values(std::string& out, const std::vector<TInsertValue>& cells) {
    for (size_t j = 0; j < cells.size(); ++j) {
        AppendValue(out, cells[j]);
        if (j + 1 < cells.size())
            out.push_back(',');
    }
}

std::string get_insert(const std::string& tableName, const std::vector<TInsertValue>& cells) {
    // Room for the text without escapes: a quoted table name, the frame and
    // per cell its quotes and comma (or a NULL and its comma).
    size_t size = tableName.size() + 32;
    for (const TInsertValue& cell : cells)
        size += cell.Text.size() + 4;
    std::string sql;
    sql.reserve(size);
    sql.append(insert_head(tableName)).push_back('(');
    append_values(sql, cells);
    sql.append(" );");
    return sql;
}

std::string mysql_escap(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 8);
    AppendEscaped(out, text);
    return out;
}

TRowBatch::TRowBatch(std::string head, std::string separator, std::string tail, size_t maxBytes,
                     int maxRows)
    : FHead(std::move(head)), FSeparator(std::move(separator)), FTail(std::move(tail)),
      FText(FHead), FMaxBytes(maxBytes), FMaxRows(maxRows) {}

bool TRowBatch::Fits(size_t rowBytes) const {
    if (FRows == 0)
        return true;
    if (FMaxRows > 0 && FRows >= FMaxRows)
        return false;
    return FText.size() + FSeparator.size() + rowBytes + FTail.size() <= FMaxBytes;
}

void TRowBatch::Add(std::string_view row) {
    if (FRows++ > 0)
        FText.append(FSeparator);
    FText.append(row);
}

std::string TRowBatch::Take() {
    std::string text = std::move(FText);
    text.append(FTail);
    FText = FHead;
    FRows = 0;
    return text;
}

} // namespace tabellix
