// What dump and transfer share: the workbook and sheet, the proposed grid
// with the field edits, the table name with its checks, and the settled
// conversion settings.
#pragma once

#include "cli/commands.h"
#include "cli/progress.h"
#include "engine/conversion_settings.h"
#include "engine/funcs.h"

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace tabellix::cli {

struct TSheetOptions {
    std::string File;
    int Sheet = 1;
    bool FirstRowNames = false;
    std::string Table = "New_table";
    std::string Prefix;
    bool ProposeTypes = false;        // types from the whole sheet, before the edits
    std::vector<std::string> Columns; // I:NAME:TYPE[:LENGTH]
    TTableOptions TableOptions;       // --engine, --charset, --primary-key
};

// Takes args[i] (and its value) when it is one of the shared options or the
// workbook; false when it is none of them.
bool ParseSheetOption(const TArgs& args, size_t& i, TSheetOptions& options);

// Takes args[i] when it is --batch, with its optional row count after it;
// false for any other argument.
bool ParseBatchOption(const TArgs& args, size_t& i, TLoaderOptions& options);

// The sheet of a command line, ready to convert: listed, its grid proposed
// and edited, the table name checked.
struct TPreparedSheet {
    myfuns Funs;
    TListModel Sheets;
    TStringGrid Grid = MakeColumnGrid();
    std::string Table;
};

// False when the grid could not be loaded (its messages written to err);
// a refused edit or table name raises EUsageError.
bool PrepareSheet(const TSheetOptions& options, std::ostream& err, TPreparedSheet& sheet);

// Settles settings, with the table options of options, for the sheet's
// passes (see settle_conversion) and sets them on its myfuns; the
// connection's option lines are returned. --rejects without --keep-going
// raises EUsageError.
std::vector<std::string> SettleConversion(TPreparedSheet& sheet, const TSheetOptions& options,
                                          TConversionSettings settings, TConversionTarget target);

// The form the conversion passes read.
TConversionInput MakeForm(TPreparedSheet& sheet, const TSheetOptions& options,
                          TProgressSink* gauge);

// A progress bar when err is a terminal's standard error, else nothing.
std::unique_ptr<TTerminalProgress> ProgressFor(std::ostream& err);

} // namespace tabellix::cli
