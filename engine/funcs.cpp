#include "engine/funcs.h"

#include "engine/grid_load.h"
#include "engine/identifier_rules.h"
#include "engine/passes.h"

#include <utility>

namespace tabellix {

myfuns::myfuns(TFormatSettings settings) : FFormatSettings(std::move(settings)) {}

std::string myfuns::spchar_filter(const std::string& text) const {
    return tabellix::spchar_filter(text);
}

bool myfuns::valid_start(const std::string& text) const {
    return tabellix::valid_start(text);
}

bool myfuns::isnumeric(const std::string& text) const {
    return tabellix::isnumeric(text);
}

std::string myfuns::get_col_name(const std::string& name, const TStringGrid& grid) const {
    return tabellix::get_col_name(name, grid);
}

std::string myfuns::get_table(const std::string& tableName, const std::string& prefix,
                              const TStringGrid& grid, const TTableOptions& options) const {
    return tabellix::get_table(tableName, prefix, grid, options);
}

std::string myfuns::get_insert(const std::string& tableName,
                               const std::vector<TInsertValue>& cells) const {
    return tabellix::get_insert(tableName, cells);
}

std::string myfuns::insert_head(const std::string& tableName) const {
    return tabellix::insert_head(tableName);
}

void myfuns::append_values(std::string& out, const std::vector<TInsertValue>& cells) const {
    tabellix::append_values(out, cells);
}

std::string myfuns::mysql_escap(const std::string& text) const {
    return tabellix::mysql_escap(text);
}

std::string myfuns::cell_text(Variant value) const {
    return tabellix::cell_text(std::move(value), FFormatSettings);
}

TInsertValue myfuns::insert_value(TValueForm form, Variant value) const {
    return tabellix::insert_value(form, std::move(value), FFormatSettings);
}

void myfuns::loadsheets(const std::string& fileName, TListModel& sheets) {
    tabellix::loadsheets(FFormatSettings, fileName, sheets);
}

bool myfuns::load_grid(TStringGrid& grid, const std::string& fileName, const TListModel& sheets,
                       bool firstRowNames) {
    return tabellix::load_grid(FFormatSettings, Context().ShowMessage, grid, fileName, sheets,
                               firstRowNames);
}

bool myfuns::dump_file(const std::string& dfile, TConversionInput& form) {
    return tabellix::dump_file(Context(), dfile, form);
}

bool myfuns::dump_stream(std::ostream& out, const std::string& name, TConversionInput& form) {
    return tabellix::dump_stream(Context(), out, name, form);
}

bool myfuns::start_transfer(TConversionInput& form, TUniConnection& con1) {
    return tabellix::start_transfer(Context(), form, con1, FLastLoad);
}

void myfuns::ShowMessage(const std::string& text) const {
    if (OnShowMessage)
        OnShowMessage(text);
}

void myfuns::Notice(const std::string& text) const {
    if (OnNotice)
        OnNotice(text);
}

TPassContext myfuns::Context() const {
    return {FFormatSettings, TableOptions, Loader,
            [this](const std::string& text) { ShowMessage(text); },
            [this](const std::string& text) { Notice(text); }};
}

} // namespace tabellix
