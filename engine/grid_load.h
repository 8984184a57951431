// The column grid loaded from a workbook: its worksheets listed, and one
// sheet's used range turned into named VARCHAR(255) columns, the sheet read
// for characters beyond utf8.
#pragma once

#include "base/FormatSettings.h"
#include "engine/grid.h"
#include "engine/models.h"

#include <functional>
#include <string>

namespace tabellix {

// A name made from the proposal that no data row of the grid holds.
std::string get_col_name(const std::string& name, const TStringGrid& grid);

// Lists the workbook's worksheets into sheets and selects the first; the
// names follow the cell text rule of settings. Errors are not caught here.
void loadsheets(const TFormatSettings& settings, const std::string& fileName, TListModel& sheets);

// Rebuilds the grid from the selected sheet's used range, reading the sheet
// for characters beyond utf8; false (after showing the messages through
// showMessage) when the workbook or the sheet did not open.
bool load_grid(const TFormatSettings& settings,
               const std::function<void(const std::string&)>& showMessage, TStringGrid& grid,
               const std::string& fileName, const TListModel& sheets, bool firstRowNames);

} // namespace tabellix
