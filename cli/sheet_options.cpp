#include "cli/sheet_options.h"

#include "base/Format.h"
#include "base/Text.h"
#include "engine/field_edit.h"
#include "engine/table_name.h"
#include "engine/type_proposal.h"

#include <iostream>
#include <unistd.h>

namespace tabellix::cli {

namespace {

std::vector<std::string> SplitColons(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t colon; (colon = text.find(':', start)) != std::string::npos; start = colon + 1)
        parts.push_back(text.substr(start, colon - start));
    parts.push_back(text.substr(start));
    return parts;
}

// Edits one grid row the way the field editor would: the type text is
// picked or typed as given (which sets its default length or empties and
// disables the length box), then the length is typed, then OK.
void ApplyColumn(const myfuns& funs, TStringGrid& grid, const std::string& column) {
    const std::vector<std::string> parts = SplitColons(column);
    if (parts.size() < 3 || parts.size() > 4)
        throw EUsageError(Format("--column wants I:NAME:TYPE[:LENGTH], not \"%s\"", {column}));
    const auto row = TryStrToInt(parts[0]);
    if (!row || *row < 1 || *row >= grid.RowCount())
        throw EUsageError(
            Format("--column %s: the grid has rows 1 to %d", {column, grid.RowCount() - 1}));
    // The statement would have a column without a type.
    if (Trim(parts[2]).empty())
        throw EUsageError(Format("--column %s: the type is empty", {column}));
    TFieldEdit edit{parts[1], parts[2], "", *row};
    const std::optional<std::string> length = default_field_length(edit.ftype);
    edit.flength = length.value_or("");
    if (parts.size() == 4) {
        if (!length && !parts[3].empty())
            throw EUsageError(Format("--column %s: type %s takes no length", {column, edit.ftype}));
        edit.flength = parts[3];
    }
    const TFieldCheck check = apply_field_edit(funs, edit, grid, *row);
    if (!check.accepted)
        throw EUsageError(Format("--column %s: %s", {column, check.message}));
}

TCharsetChoice CharsetChoice(const std::string& text) {
    if (const auto choice = parse_charset_choice(text))
        return *choice;
    throw EUsageError(Format("--charset wants auto, utf8 or utf8mb4, not \"%s\"", {text}));
}

int KeyRow(const std::string& text) {
    const auto row = TryStrToInt(text);
    if (!row || *row < 1)
        throw EUsageError(Format("--primary-key wants a grid row from 1, not \"%s\"", {text}));
    return *row;
}

// The optional value of --batch: the next argument when it is a number.
bool TakesRowCount(const TArgs& args, size_t i) {
    return i + 1 < args.size() && !args[i + 1].empty() &&
           args[i + 1].find_first_not_of("0123456789") == std::string::npos;
}

} // namespace

bool ParseBatchOption(const TArgs& args, size_t& i, TLoaderOptions& o) {
    if (args[i] != "--batch")
        return false;
    if (o.Method == TLoadMethod::PerRow)
        o.Method = TLoadMethod::Batch;
    if (!TakesRowCount(args, i))
        return true;
    const auto rows = TryStrToInt(args[++i]);
    if (!rows || *rows < 1)
        throw EUsageError(Format("--batch wants a row count from 1, not \"%s\"", {args[i]}));
    o.BatchRows = *rows;
    return true;
}

bool ParseSheetOption(const TArgs& args, size_t& i, TSheetOptions& o) {
    const std::string& a = args[i];
    if (a == "--sheet")
        o.Sheet = SheetNumber(OptionValue(args, i));
    else if (a == "--first-row-names")
        o.FirstRowNames = true;
    else if (a == "--table")
        o.Table = OptionValue(args, i);
    else if (a == "--prefix")
        o.Prefix = OptionValue(args, i);
    else if (a == "--propose-types")
        o.ProposeTypes = true;
    else if (a == "--column")
        o.Columns.push_back(OptionValue(args, i));
    else if (a == "--engine")
        o.TableOptions.Engine = OptionValue(args, i);
    else if (a == "--charset")
        o.TableOptions.Charset = CharsetChoice(OptionValue(args, i));
    else if (a == "--primary-key")
        o.TableOptions.PrimaryKey = KeyRow(OptionValue(args, i));
    else if (a.size() > 1 && a[0] == '-')
        return false;
    else if (o.File.empty())
        o.File = a;
    else
        throw EUsageError(Format("unexpected argument \"%s\"", {a}));
    return true;
}

bool PrepareSheet(const TSheetOptions& o, std::ostream& err, TPreparedSheet& sheet) {
    if (o.File.empty())
        throw EUsageError("a workbook is needed");
    sheet.Funs.OnShowMessage = [&err](const std::string& text) { err << text << "\n"; };
    sheet.Funs.OnNotice = sheet.Funs.OnShowMessage;
    sheet.Funs.loadsheets(o.File, sheet.Sheets);
    if (o.Sheet > sheet.Sheets.Items.Count())
        throw EUsageError(Format("the workbook has %d worksheet(s), not %d",
                                 {sheet.Sheets.Items.Count(), o.Sheet}));
    sheet.Sheets.ItemIndex = o.Sheet - 1;
    if (!sheet.Funs.load_grid(sheet.Grid, o.File, sheet.Sheets, o.FirstRowNames))
        return false;
    if (sheet.Grid.RowCount() - 1 > MaxTableColumns)
        err << Format(
            "warning: the sheet has %d columns; a MySQL or MariaDB table takes at most %d\n",
            {sheet.Grid.RowCount() - 1, MaxTableColumns});
    // The proposal measures texts for the table's character set.
    sheet.Funs.TableOptions = o.TableOptions;
    if (o.ProposeTypes)
        for (const std::string& note :
             propose_types(sheet.Funs, sheet.Grid, o.File, sheet.Sheets, o.FirstRowNames))
            err << "warning: " << note << "\n";
    for (const std::string& column : o.Columns)
        ApplyColumn(sheet.Funs, sheet.Grid, column);
    if (const auto problem = check_table_options(o.TableOptions, sheet.Grid))
        throw EUsageError(*problem);
    if (const auto problem = check_table_name(sheet.Funs, o.Table))
        throw EUsageError(*problem);
    sheet.Table = o.Table;
    return true;
}

std::vector<std::string> SettleConversion(TPreparedSheet& sheet, const TSheetOptions& o,
                                          TConversionSettings settings, TConversionTarget target) {
    settings.Table = o.TableOptions;
    TSettledConversion settled;
    try {
        settled = settle_conversion(sheet.Funs, settings, target, sheet.Grid, o.File, sheet.Table);
    } catch (const ERejectsWithoutKeepGoing&) {
        throw EUsageError("--rejects needs --keep-going");
    }
    sheet.Funs.TableOptions = settled.Table;
    sheet.Funs.Loader = settled.Loader;
    return settled.ConnectionLines;
}

TConversionInput MakeForm(TPreparedSheet& sheet, const TSheetOptions& o, TProgressSink* gauge) {
    return TConversionInput{&sheet.Grid, &sheet.Sheets,   &sheet.Table, o.Prefix,
                            o.File,      o.FirstRowNames, gauge};
}

std::unique_ptr<TTerminalProgress> ProgressFor(std::ostream& err) {
    if (&err != &std::cerr || !isatty(STDERR_FILENO))
        return nullptr;
    return std::make_unique<TTerminalProgress>(err);
}

} // namespace tabellix::cli
