#include "engine/field_edit.h"

#include "base/Text.h"

namespace tabellix {

const std::vector<std::string>& field_types() {
    static const std::vector<std::string> types = {
        "VARCHAR", "TINYINT", "TEXT",     "DATE",       "SMALLINT", "MEDIUMINT", "INT",
        "BIGINT",  "FLOAT",   "DOUBLE",   "DECIMAL",    "DATETIME", "TIMESTAMP", "TIME",
        "YEAR",    "CHAR",    "TINYTEXT", "MEDIUMTEXT", "LONGTEXT"};
    return types;
}

std::optional<std::string> default_field_length(const std::string& type) {
    static const std::pair<const char*, const char*> defaults[] = {
        {"VARCHAR", "255"}, {"INT", "11"},      {"CHAR", "50"},   {"TINYINT", "4"},
        {"SMALLINT", "6"},  {"MEDIUMINT", "9"}, {"BIGINT", "20"}, {"YEAR", "4"}};
    for (const auto& [name, length] : defaults)
        if (type == name)
            return std::string(length);
    return std::nullopt;
}

namespace {

TFieldCheck Refused(const char* message, TFieldFocus focus) {
    return {false, message, focus};
}

} // namespace

TFieldCheck apply_field_edit(const myfuns& funs, TFieldEdit& edit, TStringGrid& grid,
                             int selectedRow) {
    if (edit.fname.empty())
        return Refused("Please input the Field Name!", TFieldFocus::Name);
    if (!funs.valid_start(edit.fname))
        return Refused("Please input a valid Field Name!", TFieldFocus::Name);
    if ((edit.ftype == "VARCHAR" || edit.ftype == "CHAR") && edit.flength.empty())
        return Refused("Please input field Length!", TFieldFocus::Type);
    edit.flength = Trim(edit.flength);
    if (!edit.flength.empty())
        edit.flength = std::to_string(StrToInt(edit.flength));
    if (!edit.flength.empty() && !funs.isnumeric(edit.flength))
        return Refused("Please input a valid field Length!", TFieldFocus::Type);
    if (edit.flength == "0")
        return Refused("Please input a valid field Length!", TFieldFocus::Type);
    for (int i = 1; i < grid.RowCount(); ++i)
        if (grid.Cell(0, i) == edit.fname && i != edit.lindex)
            return Refused("Field name already exists!", TFieldFocus::None);
    grid.SetCell(0, selectedRow, "");
    grid.SetCell(0, selectedRow, funs.get_col_name(edit.fname, grid));
    grid.SetCell(1, selectedRow, edit.ftype);
    grid.SetCell(2, selectedRow, edit.flength);
    return {true, "", TFieldFocus::None};
}

} // namespace tabellix
