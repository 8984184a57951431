// propose: the column grid typed from the whole sheet, as JSON lines.
#include "cli/commands.h"
#include "cli/json_text.h"
#include "cli/sheet_options.h"

#include "base/Format.h"

#include <ostream>

namespace tabellix::cli {

namespace {

TSheetOptions ParseProposeOptions(const TArgs& args) {
    TSheetOptions o;
    o.ProposeTypes = true;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--sheet")
            o.Sheet = SheetNumber(OptionValue(args, i));
        else if (args[i] == "--first-row-names")
            o.FirstRowNames = true;
        else if (!args[i].empty() && args[i][0] == '-')
            RefuseOption(args[i]);
        else if (o.File.empty())
            o.File = args[i];
        else
            throw EUsageError(Format("unexpected argument \"%s\"", {args[i]}));
    }
    if (o.File.empty())
        throw EUsageError("propose needs a workbook: propose FILE");
    return o;
}

void WriteGridRow(std::ostream& out, const TStringGrid& grid, int row) {
    out << "{\"name\": ";
    WriteJsonString(out, grid.Cell(0, row));
    out << ", \"type\": ";
    WriteJsonString(out, grid.Cell(1, row));
    const std::string& length = grid.Cell(2, row);
    out << ", \"length\": " << (length.empty() ? "null" : length) << "}\n";
}

} // namespace

int RunPropose(const TArgs& args, std::ostream& out, std::ostream& err) {
    TPreparedSheet sheet;
    if (!PrepareSheet(ParseProposeOptions(args), err, sheet))
        return 1;
    for (int r = 1; r < sheet.Grid.RowCount(); ++r)
        WriteGridRow(out, sheet.Grid, r);
    return 0;
}

} // namespace tabellix::cli
