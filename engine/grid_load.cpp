#include "engine/grid_load.h"

#include "base/Exception.h"
#include "engine/cell_walk.h"
#include "engine/identifier_rules.h"
#include "engine/table_options.h"
#include "engine/typed_values.h"
#include "engine/workbook.h"

#include <optional>
#include <utility>

namespace tabellix {
namespace {

// The first free name after the chain base, base_1, base_2, ... that the
// grid, read top down, holds in that order.
std::string ColumnName(const std::string& name, TColumnNameIndex& names) {
    std::string base = spchar_filter(name);
    if (base.empty())
        base = ColumnName("column", names);
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

// Whether a text cell of the used range holds a character that only
// utf8mb4 stores; stops at the first.
bool HoldsWideChars(TSheetWalk& walk) {
    bool wide = false;
    walk.Walk({}, {.Cell = [&wide](int, int, const Variant& value) {
                  // Only texts can hold them; error cells are left to the passes.
                  wide =
                      value.Type() == VarType::String && has_wide_chars(value.Get<std::string>());
                  return !wide;
              }});
    return wide;
}

} // namespace

std::string get_col_name(const std::string& name, const TStringGrid& grid) {
    TColumnNameIndex names(grid);
    return ColumnName(name, names);
}

void loadsheets(const TFormatSettings& settings, const std::string& fileName, TListModel& sheets) {
    auto app = OpenWorkbook(fileName);
    sheets.Items.Clear();
    const int count = app->Worksheets().count();
    for (int i = 1; i <= count; ++i)
        sheets.Items.Add(cell_text(app->Worksheets()(i).name(), settings));
    ShutDown(*app);
    sheets.ItemIndex = 0;
}

bool load_grid(const TFormatSettings& settings,
               const std::function<void(const std::string&)>& showMessage, TStringGrid& grid,
               const std::string& fileName, const TListModel& sheets, bool firstRowNames) {
    std::optional<TSheetWalk> walk;
    try {
        walk.emplace(fileName, sheets.ItemIndex + 1);
    } catch (const Exception& e) {
        showMessage(e.Message());
        showMessage("Could not open this File!");
        return false;
    }
    const int columns = walk->Columns();
    grid.SetRowCount(columns + 1);
    grid.SetHasWideChars(false);
    for (int r = 1; r <= columns; ++r)
        grid.SetCell(0, r, "");
    // The emptied rows hold no name a column could clash with.
    TColumnNameIndex names;
    for (int r = 1; r <= columns; ++r) {
        std::string name = "column";
        if (firstRowNames) {
            std::string heading = cell_text(walk->Value(1, r), settings);
            if (!heading.empty() && valid_start(heading))
                name = heading;
        }
        std::string unique = ColumnName(name, names);
        names.Add(r, unique);
        grid.SetCell(0, r, std::move(unique));
        grid.SetCell(1, r, "VARCHAR");
        grid.SetCell(2, r, "255");
    }
    grid.SetHasWideChars(HoldsWideChars(*walk));
    walk->ShutDown();
    return true;
}

} // namespace tabellix
