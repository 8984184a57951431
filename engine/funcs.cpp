#include "engine/funcs.h"

#include "automation/Automation.h"
#include "base/Text.h"
#include "dataaccess/Uni.h"
#include "engine/dump_writer.h"
#include "engine/reserved_words.h"
#include "engine/workbook.h"

#include <string_view>
#include <utility>

namespace tabellix {
namespace {

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

bool myfuns::IsFree(const std::string& name, const TStringGrid& grid) const {
    for (int r = 1; r < grid.RowCount(); ++r)
        if (grid.Cell(0, r) == name)
            return false;
    return true;
}

std::string myfuns::get_col_name(const std::string& name, const TStringGrid& grid) const {
    std::string base = spchar_filter(name);
    if (base.empty())
        base = get_col_name("column", grid);
    int counter = 0;
    for (int r = 1; r < grid.RowCount(); ++r) {
        const std::string& cell = grid.Cell(0, r);
        if (counter == 0) {
            if (cell == base)
                counter = 1;
        } else if (cell == base + "_" + std::to_string(counter)) {
            ++counter;
        }
    }
    if (counter == 0)
        return base;
    // The forward scan can land on a suffixed form held above the base
    // ("a_1", "a"): go on counting until the name is really free.
    std::string result = base + "_" + std::to_string(counter);
    while (!IsFree(result, grid))
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
                              const TStringGrid& grid) const {
    std::string sql = " CREATE TABLE `" + tableName + "` (  ";
    int last = grid.RowCount() - 1;
    for (int r = 1; r <= last; ++r) {
        std::string name = grid.Cell(0, r);
        if (!prefix.empty() && valid_start(name))
            name = spchar_filter(prefix) + name;
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
    sql += " ) ENGINE=MyISAM DEFAULT CHARSET=utf8;";
    return sql;
}

namespace {

// Appends text with "\\" and "'" escaped by a backslash; the runs between
// them are copied whole.
void AppendEscaped(std::string& out, std::string_view text) {
    size_t copied = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' && text[i] != '\'')
            continue;
        out.append(text.substr(copied, i - copied)).push_back('\\');
        copied = i;
    }
    out.append(text.substr(copied));
}

} // namespace

std::string myfuns::get_insert(const std::string& tableName,
                               const std::vector<std::string>& cells) const {
    // Room for the text without escapes: a quoted table name, the frame and
    // per cell its quotes and comma.
    size_t size = tableName.size() + 32;
    for (const std::string& cell : cells)
        size += cell.size() + 3;
    std::string sql;
    sql.reserve(size);
    sql.append("insert into ");
    // A reserved word cannot stand unquoted as a table name.
    if (IsReservedWord(tableName))
        sql.append("`").append(tableName).append("`");
    else
        sql.append(tableName);
    sql.append(" values(");
    for (size_t j = 0; j < cells.size(); ++j) {
        sql.push_back('\'');
        AppendEscaped(sql, cells[j]);
        sql.push_back('\'');
        if (j + 1 < cells.size())
            sql.push_back(',');
    }
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

void myfuns::ShowMessage(const std::string& text) const {
    if (OnShowMessage)
        OnShowMessage(text);
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
    for (int r = 1; r <= columns; ++r)
        grid.SetCell(0, r, "");
    for (int r = 1; r <= columns; ++r) {
        std::string name = "column";
        if (firstRowNames) {
            std::string heading = cell_text(open.App->Cells(1, r).value());
            if (!heading.empty() && valid_start(heading))
                name = heading;
        }
        grid.SetCell(0, r, get_col_name(name, grid));
        grid.SetCell(1, r, "VARCHAR");
        grid.SetCell(2, r, "255");
    }
    ShutDown(*open.App);
    return true;
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
                         const std::function<void(const std::string&)>& execute) const {
    const int rows = open.Sheet->UsedRange().Rows().Count();
    if (form.gauge) {
        form.gauge->SetRange(0, rows);
        form.gauge->SetPosition(0);
    }
    // Each row's cells are fetched once, for the emptiness test and the
    // statement alike.
    std::vector<std::string> cells(static_cast<size_t>(columns));
    for (int k = form.chk_names ? 2 : 1; k <= rows; ++k) {
        if (form.gauge)
            form.gauge->RowStarted(k);
        bool empty = true;
        for (size_t c = 0; c < cells.size(); ++c) {
            cells[c] = cell_text(open.App->Cells(k, static_cast<int>(c) + 1).value());
            empty = empty && cells[c].empty();
        }
        if (empty)
            continue;
        execute(get_insert(*form.sql_table_name, cells));
        if (form.gauge) {
            form.gauge->RowWritten(k);
            form.gauge->SetPosition(k);
            form.gauge->ProcessMessages();
        }
    }
}

bool myfuns::dump_file(const std::string& dfile, TConversionForm& form) {
    *form.sql_table_name = spchar_filter(*form.sql_table_name);
    TDumpWriter writer(dfile);
    writer.Write(get_table(*form.sql_table_name, form.edit_prefix, *form.grid));
    if (form.gauge)
        form.gauge->Created();
    int columns = 0;
    std::optional<TOpenSheet> open = OpenForConversion(form, columns);
    if (!open)
        return false;
    ConvertRows(*open, columns, form, [&writer](const std::string& sql) { writer.Write(sql); });
    ShutDown(*open->App);
    return true;
}

bool myfuns::start_transfer(TConversionForm& form, TUniConnection& con1) {
    con1.SpecificOptions().SetValues("UseUnicode", "True");
    const std::vector<Variant> noParams{Variant::Null()};
    con1.ExecSQL(get_table(*form.sql_table_name, form.edit_prefix, *form.grid), noParams);
    if (form.gauge)
        form.gauge->Created();
    int columns = 0;
    std::optional<TOpenSheet> open = OpenForConversion(form, columns);
    if (!open)
        return false;
    ConvertRows(*open, columns, form, [&](const std::string& sql) { con1.ExecSQL(sql, noParams); });
    open->App->Quit();
    return true;
}

} // namespace tabellix
