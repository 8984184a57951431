// The conversion engine: identifier rules, the statement texts and the
// rule by which a cell value becomes text.
#pragma once

#include "base/FormatSettings.h"
#include "base/Variant.h"
#include "engine/grid.h"

#include <string>
#include <vector>

namespace tabellix {

class myfuns {
public:
    // settings: the locale used by the cell text rule.
    explicit myfuns(TFormatSettings settings = TFormatSettings::Default());

    // Lower-case ASCII letters, digits and "_" only; may be empty.
    std::string spchar_filter(const std::string& text) const;
    // Whether text may serve as a table or column name at all.
    bool valid_start(const std::string& text) const;
    // A name made from the proposal that no data row of the grid holds.
    std::string get_col_name(const std::string& name, const TStringGrid& grid) const;
    // True when every character is a decimal digit (also for "").
    bool isnumeric(const std::string& text) const;

    // The CREATE TABLE statement for the grid.
    std::string get_table(const std::string& tableName, const std::string& prefix,
                          const TStringGrid& grid) const;
    // The insert statement for one sheet row's cell texts.
    std::string get_insert(const std::string& tableName,
                           const std::vector<std::string>& cells) const;
    std::string mysql_escap(const std::string& text) const;
    // A cell value as text; an error value raises EConvertError.
    std::string cell_text(const Variant& value) const;

    const TFormatSettings& FormatSettings() const { return FFormatSettings; }

private:
    bool IsFree(const std::string& name, const TStringGrid& grid) const;

    TFormatSettings FFormatSettings;
};

} // namespace tabellix
