#include "cli/commands.h"
#include "cli/progress.h"

#include "base/Format.h"
#include "base/Text.h"
#include "engine/dump_name.h"
#include "engine/field_edit.h"
#include "engine/funcs.h"
#include "engine/table_name.h"

#include <algorithm>
#include <iostream>
#include <memory>
#include <unistd.h>

namespace tabellix::cli {

namespace {

struct TDumpOptions {
    std::string File;
    std::string Out;
    int Sheet = 1;
    bool FirstRowNames = false;
    std::string Table = "New_table";
    std::string Prefix;
    std::vector<std::string> Columns;
    bool Force = false;
};

TDumpOptions ParseDumpOptions(const TArgs& args) {
    TDumpOptions o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-o" || a == "--output")
            o.Out = OptionValue(args, i);
        else if (a == "--sheet")
            o.Sheet = SheetNumber(OptionValue(args, i));
        else if (a == "--first-row-names")
            o.FirstRowNames = true;
        else if (a == "--table")
            o.Table = OptionValue(args, i);
        else if (a == "--prefix")
            o.Prefix = OptionValue(args, i);
        else if (a == "--column")
            o.Columns.push_back(OptionValue(args, i));
        else if (a == "--force")
            o.Force = true;
        else if (a.size() > 1 && a[0] == '-')
            throw EUsageError(Format("unknown option %s", {a}));
        else if (o.File.empty())
            o.File = a;
        else
            throw EUsageError(Format("unexpected argument \"%s\"", {a}));
    }
    if (o.File.empty())
        throw EUsageError("dump needs a workbook: dump FILE -o OUT");
    if (o.Out.empty())
        throw EUsageError("dump needs the dump file: -o OUT");
    return o;
}

std::vector<std::string> SplitColons(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t colon; (colon = text.find(':', start)) != std::string::npos; start = colon + 1)
        parts.push_back(text.substr(start, colon - start));
    parts.push_back(text.substr(start));
    return parts;
}

// Edits one grid row the way the field editor would: the type is chosen
// first (which sets its default length), then the length is typed, then OK.
void ApplyColumn(const myfuns& funs, TStringGrid& grid, const std::string& spec) {
    const std::vector<std::string> parts = SplitColons(spec);
    if (parts.size() < 3 || parts.size() > 4)
        throw EUsageError(Format("--column wants I:NAME:TYPE[:LENGTH], not \"%s\"", {spec}));
    const auto row = TryStrToInt(parts[0]);
    if (!row || *row < 1 || *row >= grid.RowCount())
        throw EUsageError(
            Format("--column %s: the grid has rows 1 to %d", {spec, grid.RowCount() - 1}));
    TFieldEdit edit{parts[1], AsciiUpper(parts[2]), "", *row};
    const auto& types = field_types();
    if (std::find(types.begin(), types.end(), edit.ftype) == types.end())
        throw EUsageError(Format("--column %s: unknown type %s", {spec, parts[2]}));
    const std::optional<std::string> length = default_field_length(edit.ftype);
    edit.flength = length.value_or("");
    if (parts.size() == 4) {
        if (!length && !parts[3].empty())
            throw EUsageError(Format("--column %s: type %s takes no length", {spec, edit.ftype}));
        edit.flength = parts[3];
    }
    const TFieldCheck check = apply_field_edit(funs, edit, grid, *row);
    if (!check.accepted)
        throw EUsageError(Format("--column %s: %s", {spec, check.message}));
}

void SelectSheet(myfuns& funs, const TDumpOptions& o, TListModel& sheets) {
    funs.loadsheets(o.File, sheets);
    if (o.Sheet > sheets.Items.Count())
        throw EUsageError(
            Format("the workbook has %d worksheet(s), not %d", {sheets.Items.Count(), o.Sheet}));
    sheets.ItemIndex = o.Sheet - 1;
}

std::unique_ptr<TTerminalProgress> ProgressFor(std::ostream& err) {
    if (&err != &std::cerr || !isatty(STDERR_FILENO))
        return nullptr;
    return std::make_unique<TTerminalProgress>(err);
}

} // namespace

int RunDump(const TArgs& args, std::ostream& out, std::ostream& err) {
    const TDumpOptions o = ParseDumpOptions(args);
    myfuns funs;
    funs.OnShowMessage = [&err](const std::string& text) { err << text << "\n"; };

    TListModel sheets;
    SelectSheet(funs, o, sheets);
    TStringGrid grid = MakeColumnGrid();
    if (!funs.load_grid(grid, o.File, sheets, o.FirstRowNames))
        return 1;
    for (const std::string& spec : o.Columns)
        ApplyColumn(funs, grid, spec);
    if (const auto problem = check_table_name(funs, o.Table))
        throw EUsageError(*problem);

    const auto dfile = choose_dump_file(o.Out, [&o](const std::string&) { return o.Force; });
    if (!dfile)
        throw EUsageError(Format("%s exists; --force replaces it", {settle_dump_file_name(o.Out)}));

    std::string table = o.Table;
    auto progress = ProgressFor(err);
    TConversionForm form{&grid, &sheets, &table, o.Prefix, o.File, o.FirstRowNames, progress.get()};
    if (!funs.dump_file(*dfile, form))
        return 1;
    progress.reset();
    out << *dfile << "\n";
    return 0;
}

} // namespace tabellix::cli
