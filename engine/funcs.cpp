#include "engine/funcs.h"

#include "automation/Automation.h"
#include "base/Text.h"
#include "dataaccess/Uni.h"
#include "engine/dump_name.h"
#include "engine/dump_writer.h"
#include "engine/loader.h"
#include "engine/reserved_words.h"
#include "engine/table_options.h"
#include "engine/workbook.h"

#include <string_view>
#include <utility>

namespace tabellix {
namespace {

// Server error codes the cluster probe tells apart.
constexpr int kSubqueryRows = 1242;
constexpr int kUnknownVariable = 1193;

constexpr std::string_view kLetters = "qwertyuiopasdfghjklzxcvbnm";
constexpr std::string_view kIdentifierChars = "qwertyuiopasdfghjklzxcvbnm0123456789_ ";

bool IsLetter(char c) {
    return kLetters.find(c) != std::string_view::npos;
}

// The first character of text, lower-cased with full case mapping, is a
// letter of the set. Every byte of a multi-byte character is 128 or above,
// so the first byte of the mapping decides.
bool StartsWithLetter(const std::string& text) {
    if (text.empty())
        return false;
    size_t len = 1;
    while (len < text.size() && (static_cast<unsigned char>(text[len]) & 0xC0) == 0x80)
        ++len;
    std::string first = UnicodeLower(std::string_view(text).substr(0, len));
    return !first.empty() && IsLetter(first[0]);
}

const char* const kLengthTypes[] = {"VARCHAR", "CHAR", "INT"};

bool TakesLength(const std::string& type) {
    for (const char* t : kLengthTypes)
        if (type == t)
            return true;
    return false;
}

// What the loader needs of the table start_transfer creates.
TLoadTarget LoadTarget(const std::string& table, const TTableOptions& options,
                       const TStringGrid& grid) {
    TLoadTarget target;
    target.Table = table;
    target.Transactional = SameText(table_engine(options), "InnoDB");
    for (int r = 1; r < grid.RowCount(); ++r)
        target.BareValues = target.BareValues || value_form(grid.Cell(1, r)) == TValueForm::Bit;
    return target;
}

} // namespace

myfuns::myfuns(TFormatSettings settings) : FFormatSettings(std::move(settings)) {}

std::string myfuns::spchar_filter(const std::string& text) const {
    // Trimming happens before filtering, so a dropped character can leave a
    // space at either end that then becomes "_".
    std::string lower = UnicodeLower(Trim(text));
    std::string out;
    for (char c : lower) {
        if (kIdentifierChars.find(c) == std::string_view::npos)
            continue;
        out += c == ' ' ? '_' : c;
    }
    return out;
}

bool myfuns::valid_start(const std::string& text) const {
    return StartsWithLetter(text) && StartsWithLetter(spchar_filter(text));
}

std::string myfuns::get_col_name(const std::string& name, const TStringGrid& grid) const {
    TColumnNameIndex names(grid);
    return get_col_name(name, names);
}

// The first free name after the chain base, base_1, base_2, ... that the
// grid, read top down, holds in that order.
std::string myfuns::get_col_name(const std::string& name, TColumnNameIndex& names) const {
    std::string base = spchar_filter(name);
    if (base.empty())
        base = get_col_name("column", names);
    int counter = names.Chain(base);
    if (counter == 0)
        return base;
    // The chain can end on a suffixed form held above the base ("a_1", "a"):
    // go on counting until the name is really free.
    std::string result = base + "_" + std::to_string(counter);
    while (names.Holds(result))
        result = base + "_" + std::to_string(++counter);
    return result;
}

bool myfuns::isnumeric(const std::string& text) const {
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

std::string myfuns::get_table(const std::string& tableName, const std::string& prefix,
                              const TStringGrid& grid, const TTableOptions& options) const {
    std::string sql = " CREATE TABLE `" + tableName + "` (  ";
    std::string key;
    int last = grid.RowCount() - 1;
    for (int r = 1; r <= last; ++r) {
        std::string name = grid.Cell(0, r);
        if (!prefix.empty() && valid_start(name))
            name = spchar_filter(prefix) + name;
        if (r == options.PrimaryKey)
            key = name;
        sql += " `" + name + "`  ";
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
        sql += " ,  PRIMARY KEY (`" + key + "`) ";
    sql += " ) ENGINE=" + table_engine(options) +
           " DEFAULT CHARSET=" + table_charset(options, grid) + ";";
    return sql;
}

namespace {

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

std::string myfuns::insert_head(const std::string& tableName) const {
    // A reserved word cannot stand unquoted as a table name.
    if (IsReservedWord(tableName))
        return "insert into `" + tableName + "` values";
    return "insert into " + tableName + " values";
}

void myfuns::append_values(std::string& out, const std::vector<TInsertValue>& cells) const {
    for (size_t j = 0; j < cells.size(); ++j) {
        AppendValue(out, cells[j]);
        if (j + 1 < cells.size())
            out.push_back(',');
    }
}

std::string myfuns::get_insert(const std::string& tableName,
                               const std::vector<TInsertValue>& cells) const {
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

std::string myfuns::mysql_escap(const std::string& text) const {
    std::string out;
    out.reserve(text.size() + 8);
    AppendEscaped(out, text);
    return out;
}

std::string myfuns::cell_text(Variant value) const {
    if (value.IsNull())
        return {};
    return std::move(value).AsString(FFormatSettings);
}

TInsertValue myfuns::insert_value(TValueForm form, Variant value) const {
    if (auto typed = typed_value(form, value, FFormatSettings))
        return std::move(*typed);
    return cell_text(std::move(value));
}

void myfuns::ShowMessage(const std::string& text) const {
    if (OnShowMessage)
        OnShowMessage(text);
}

void myfuns::Notice(const std::string& text) const {
    if (OnNotice)
        OnNotice(text);
}

void myfuns::loadsheets(const std::string& fileName, TListModel& sheets) {
    auto app = OpenWorkbook(fileName);
    sheets.Items.Clear();
    const int count = app->Worksheets().count();
    for (int i = 1; i <= count; ++i)
        sheets.Items.Add(cell_text(app->Worksheets()(i).name()));
    ShutDown(*app);
    sheets.ItemIndex = 0;
}

myfuns::TOpenSheet myfuns::OpenSheet(const std::string& fileName, const TListModel& sheets) const {
    TOpenSheet open;
    open.App = OpenWorkbook(fileName);
    open.Sheet.emplace(open.App->Worksheets()(sheets.ItemIndex + 1));
    open.Sheet->activate();
    return open;
}

bool myfuns::load_grid(TStringGrid& grid, const std::string& fileName, const TListModel& sheets,
                       bool firstRowNames) {
    TOpenSheet open;
    try {
        open = OpenSheet(fileName, sheets);
    } catch (const Exception& e) {
        ShowMessage(e.Message());
        ShowMessage("Could not open this File!");
        return false;
    }
    const int columns = open.Sheet->UsedRange().Columns().Count();
    grid.SetRowCount(columns + 1);
    grid.SetHasWideChars(false);
    for (int r = 1; r <= columns; ++r)
        grid.SetCell(0, r, "");
    // The emptied rows hold no name a column could clash with.
    TColumnNameIndex names;
    for (int r = 1; r <= columns; ++r) {
        std::string name = "column";
        if (firstRowNames) {
            std::string heading = cell_text(open.App->Cells(1, r).value());
            if (!heading.empty() && valid_start(heading))
                name = heading;
        }
        std::string unique = get_col_name(name, names);
        names.Add(r, unique);
        grid.SetCell(0, r, std::move(unique));
        grid.SetCell(1, r, "VARCHAR");
        grid.SetCell(2, r, "255");
    }
    grid.SetHasWideChars(HoldsWideChars(open, columns));
    ShutDown(*open.App);
    return true;
}

bool myfuns::HoldsWideChars(TOpenSheet& open, int columns) const {
    const int rows = open.Sheet->UsedRange().Rows().Count();
    std::vector<int> stored;
    TStoredCells store = open.App->StoredCells();
    for (int k = store.NextRow(1); k != 0 && k <= rows; k = store.NextRow(k + 1)) {
        store.Columns(k, stored);
        for (int c : stored) {
            if (c > columns)
                break;
            // Only texts can hold them; error cells are left to the passes.
            const Variant value = open.App->Cells(k, c).value();
            if (value.Type() == VarType::String && has_wide_chars(value.Get<std::string>()))
                return true;
        }
    }
    return false;
}

std::optional<myfuns::TOpenSheet> myfuns::OpenForConversion(const TConversionForm& form,
                                                            int& columns) const {
    try {
        TOpenSheet open = OpenSheet(form.filename, *form.sheets);
        columns = open.Sheet->UsedRange().Columns().Count();
        return open;
    } catch (const Exception& e) {
        ShowMessage(e.Message());
        return std::nullopt;
    }
}

void myfuns::ConvertRows(TOpenSheet& open, int columns, const TConversionForm& form,
                         const TRowSink& execute) const {
    const int rows = open.Sheet->UsedRange().Rows().Count();
    if (form.gauge) {
        form.gauge->SetRange(0, rows);
        form.gauge->SetPosition(0);
    }
    // Each column's form follows its grid row's type; a sheet column beyond
    // the grid keeps the cell text.
    std::vector<TValueForm> forms(static_cast<size_t>(columns));
    for (size_t c = 0; c < forms.size(); ++c)
        forms[c] = value_form(form.grid->Cell(1, static_cast<int>(c) + 1));
    // A cell the sheet does not store is empty: NULL in a typed column, ''
    // elsewhere.
    std::vector<TInsertValue> blanks(forms.size());
    for (size_t c = 0; c < forms.size(); ++c)
        blanks[c] = insert_value(forms[c], Variant());
    // Only the cells the sheet stores are fetched, each once, for the
    // emptiness test and the statement alike: the others are empty, and a
    // row that stores none is skipped anyway, so a sparse sheet costs its
    // stored cells rather than its used range.
    std::vector<TInsertValue> cells = blanks;
    std::vector<int> stored;
    TStoredCells store = open.App->StoredCells();
    for (int k = store.NextRow(form.chk_names ? 2 : 1); k != 0 && k <= rows;
         k = store.NextRow(k + 1)) {
        store.Columns(k, stored);
        std::erase_if(stored, [columns](int c) { return c > columns; });
        if (form.gauge)
            form.gauge->RowStarted(k);
        bool empty = true;
        for (int c : stored) {
            const auto i = static_cast<size_t>(c - 1);
            cells[i] = insert_value(forms[i], open.App->Cells(k, c).value());
            empty = empty && cells[i].IsEmpty();
        }
        if (!empty) {
            execute(k, cells);
            if (form.gauge) {
                form.gauge->RowWritten(k);
                form.gauge->SetPosition(k);
                form.gauge->ProcessMessages();
            }
        }
        for (int c : stored)
            cells[static_cast<size_t>(c - 1)] = blanks[static_cast<size_t>(c - 1)];
    }
}

bool myfuns::dump_file(const std::string& dfile, TConversionForm& form) {
    *form.sql_table_name = spchar_filter(*form.sql_table_name);
    if (const auto problem = dump_overwrites_workbook(dfile, form.filename))
        throw EFCreateError(*problem);
    TDumpWriter writer(dfile);
    return write_dump(writer, form);
}

bool myfuns::dump_stream(std::ostream& out, const std::string& name, TConversionForm& form) {
    *form.sql_table_name = spchar_filter(*form.sql_table_name);
    TDumpWriter writer(out, name);
    return write_dump(writer, form);
}

bool myfuns::write_dump(TDumpWriter& writer, TConversionForm& form) const {
    if (Loader.Active())
        writer.Write(kStrictSession);
    writer.Write(get_table(*form.sql_table_name, form.edit_prefix, *form.grid, TableOptions));
    if (form.gauge)
        form.gauge->Created();
    int columns = 0;
    std::optional<TOpenSheet> open = OpenForConversion(form, columns);
    if (!open)
        return false;
    if (Loader.Active())
        WriteBatches(writer, *open, columns, form);
    else
        ConvertRows(*open, columns, form, [&](int, const std::vector<TInsertValue>& cells) {
            writer.Write(get_insert(*form.sql_table_name, cells));
        });
    ShutDown(*open->App);
    return true;
}

void myfuns::WriteBatches(TDumpWriter& writer, TOpenSheet& open, int columns,
                          const TConversionForm& form) const {
    // A line per statement: the stock client reads its input by lines.
    TRowBatch batch("\n" + insert_head(*form.sql_table_name), ",", ";", kBatchBytes,
                    Loader.BatchRows);
    const auto flush = [&] {
        if (batch.Rows() > 0)
            writer.Write(batch.Take());
    };
    std::string row;
    try {
        ConvertRows(open, columns, form, [&](int, const std::vector<TInsertValue>& cells) {
            row.assign("(");
            append_values(row, cells);
            row.push_back(')');
            if (!batch.Fits(row.size()))
                flush();
            batch.Add(row);
        });
    } catch (const Exception&) {
        // The rows before an error cell are in the dump, as one statement
        // per row would have them.
        flush();
        throw;
    }
    flush();
}

bool myfuns::IsClusterNode(TUniConnection& con1) const {
    // The statements carry no result, so the probe is one that fails exactly
    // when wsrep_on is ON: its subquery then gives two rows. Servers without
    // the variable refuse to know it. (DO would swallow the error.)
    try {
        con1.ExecSQL("SET @tabellix_wsrep = (SELECT 1 FROM DUAL WHERE @@wsrep_on UNION ALL "
                     "SELECT 1)",
                     {Variant::Null()});
        return false;
    } catch (const EUniError& e) {
        if (e.ErrorCode() == kSubqueryRows)
            return true;
        if (e.ErrorCode() == kUnknownVariable)
            return false;
        throw;
    }
}

bool myfuns::start_transfer(TConversionForm& form, TUniConnection& con1) {
    con1.SpecificOptions().SetValues("UseUnicode", "True");
    const std::vector<Variant> noParams{Variant::Null()};
    TTableOptions options = TableOptions;
    // A cluster replicates InnoDB tables only: a MyISAM table would stay
    // empty on the other nodes.
    if (options.Engine.empty() && IsClusterNode(con1)) {
        options.Engine = "InnoDB";
        Notice("The server is a Galera cluster node: the table is created with ENGINE=InnoDB");
    }
    const std::string charset = table_charset(options, *form.grid);
    // The session's utf8 would refuse four-byte characters before the table
    // sees them. The login announces utf8mb4 as well: the changed option
    // makes the next statement log in again.
    if (charset == "utf8mb4") {
        con1.SpecificOptions().SetValues("Charset", "utf8mb4");
        con1.ExecSQL("SET NAMES utf8mb4", noParams);
    }
    int columns = 0;
    std::optional<TOpenSheet> open;
    std::unique_ptr<TLoader> loader;
    if (Loader.Active())
        loader = std::make_unique<TLoader>(
            *this, con1, LoadTarget(*form.sql_table_name, options, *form.grid), Loader,
            [&](int row) { return RowTexts(*open, columns, row); }, form.gauge,
            [this](const std::string& text) { Notice(text); }, FLastLoad);
    con1.ExecSQL(get_table(*form.sql_table_name, form.edit_prefix, *form.grid, options), noParams);
    // Rows of a transactional table are committed as they go, as MyISAM
    // keeps them, whatever the server's default.
    if (!SameText(table_engine(options), "MyISAM"))
        con1.ExecSQL("SET autocommit=1", noParams);
    if (form.gauge)
        form.gauge->Created();
    open = OpenForConversion(form, columns);
    if (!open)
        return false;
    if (loader)
        LoadRows(*open, columns, form, *loader);
    else
        ConvertRows(*open, columns, form, [&](int, const std::vector<TInsertValue>& cells) {
            con1.ExecSQL(get_insert(*form.sql_table_name, cells), noParams);
        });
    open->App->Quit();
    return true;
}

void myfuns::LoadRows(TOpenSheet& open, int columns, const TConversionForm& form,
                      TLoader& loader) const {
    try {
        ConvertRows(
            open, columns, form,
            [&loader](int row, const std::vector<TInsertValue>& cells) { loader.Add(row, cells); });
    } catch (const EDAError&) {
        throw;
    } catch (const Exception&) {
        // An error cell: the rows before it are stored, as on the default road.
        loader.Flush();
        throw;
    }
    loader.Finish();
}

std::vector<std::string> myfuns::RowTexts(TOpenSheet& open, int columns, int row) const {
    std::vector<std::string> texts;
    for (int c = 1; c <= columns; ++c)
        texts.push_back(cell_text(open.App->Cells(row, c).value()));
    return texts;
}

} // namespace tabellix
