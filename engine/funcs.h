// The engine's front for both user interfaces: myfuns, whose members keep
// the design's names and forward to the units that hold each concern (the
// identifier rules, the statement texts, the cell text rule, the grid load
// and the passes), with the options and messages the passes take.
#pragma once

#include "base/FormatSettings.h"
#include "base/Variant.h"
#include "engine/grid.h"
#include "engine/load_options.h"
#include "engine/models.h"
#include "engine/statements.h"
#include "engine/table_options.h"
#include "engine/typed_values.h"

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace tabellix {

class TUniConnection;
struct TPassContext;

class myfuns {
public:
    // settings: the locale used by the cell text rule.
    explicit myfuns(TFormatSettings settings = TFormatSettings::Default());

    // The identifier rules (engine/identifier_rules.h).
    std::string spchar_filter(const std::string& text) const;
    bool valid_start(const std::string& text) const;
    bool isnumeric(const std::string& text) const;
    // A name made from the proposal that no data row of the grid holds.
    std::string get_col_name(const std::string& name, const TStringGrid& grid) const;

    // The statement texts (engine/statements.h).
    std::string get_table(const std::string& tableName, const std::string& prefix,
                          const TStringGrid& grid, const TTableOptions& options = {}) const;
    std::string get_insert(const std::string& tableName,
                           const std::vector<TInsertValue>& cells) const;
    std::string insert_head(const std::string& tableName) const;
    void append_values(std::string& out, const std::vector<TInsertValue>& cells) const;
    std::string mysql_escap(const std::string& text) const;

    // The cell text rule in this object's locale (engine/typed_values.h).
    std::string cell_text(Variant value) const;
    TInsertValue insert_value(TValueForm form, Variant value) const;

    const TFormatSettings& FormatSettings() const { return FFormatSettings; }

    // The grid load (engine/grid_load.h), messages shown through
    // OnShowMessage.
    void loadsheets(const std::string& fileName, TListModel& sheets);
    bool load_grid(TStringGrid& grid, const std::string& fileName, const TListModel& sheets,
                   bool firstRowNames);

    // The passes (engine/passes.h) with this object's options and messages.
    bool dump_file(const std::string& dfile, TConversionInput& form);
    bool dump_stream(std::ostream& out, const std::string& name, TConversionInput& form);
    bool start_transfer(TConversionInput& form, TUniConnection& con1);

    // Shows a plain message box.
    std::function<void(const std::string&)> OnShowMessage;
    // The created table's engine, character set and key, for both passes;
    // the defaults give the plain statement texts.
    TTableOptions TableOptions;
    // Tells of a choice made for the user beyond the messages above.
    std::function<void(const std::string&)> OnNotice;
    // How the rows go: the default is one statement per row; otherwise the
    // transfer goes through the loader and the dump writes multi-row
    // inserts after a statement that makes the loading session strict.
    TLoaderOptions Loader;
    // How the last transfer through the loader went, also when it failed.
    const TLoadReport& LastLoad() const { return FLastLoad; }

private:
    void ShowMessage(const std::string& text) const;
    void Notice(const std::string& text) const;
    TPassContext Context() const;

    TFormatSettings FFormatSettings;
    TLoadReport FLastLoad;
};

} // namespace tabellix
