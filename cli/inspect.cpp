// sheets and inspect: what the engine will read from a workbook, through
// the same automation calls.
#include "cli/commands.h"
#include "cli/json_text.h"

#include "automation/Automation.h"
#include "base/Format.h"
#include "engine/cell_walk.h"
#include "engine/funcs.h"

#include <charconv>
#include <cmath>
#include <ostream>

namespace tabellix::cli {

namespace {

struct TInspectArgs {
    std::string File;
    int Sheet = 1;
};

TInspectArgs ParseArgs(const TArgs& args, bool sheetOption) {
    TInspectArgs out;
    for (size_t i = 0; i < args.size(); ++i) {
        if (sheetOption && args[i] == "--sheet")
            out.Sheet = SheetNumber(OptionValue(args, i));
        else if (!args[i].empty() && args[i][0] == '-' && args[i] != "-")
            RefuseOption(args[i]);
        else if (out.File.empty())
            out.File = args[i];
        else
            throw EUsageError(Format("unexpected argument \"%s\"", {args[i]}));
    }
    if (out.File.empty())
        throw EUsageError("no workbook FILE given");
    return out;
}

// The shortest text that reads back as the same double.
void WriteJsonNumber(std::ostream& out, double value) {
    if (!std::isfinite(value)) {
        out << "null";
        return;
    }
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.write(buffer, end - buffer);
}

const char* KindName(VarType type) {
    switch (type) {
    case VarType::String:
        return "text";
    case VarType::Currency:
        return "currency";
    case VarType::Date:
        return "date";
    case VarType::Boolean:
        return "boolean";
    case VarType::Error:
        return "error";
    default:
        return "number";
    }
}

void WriteRawValue(std::ostream& out, const Variant& value) {
    switch (value.Type()) {
    case VarType::String:
        return WriteJsonString(out, value.Get<std::string>());
    case VarType::Error:
        return WriteJsonString(out, value.Get<VarError>().text);
    case VarType::Boolean:
        out << (value.Get<bool>() ? "true" : "false");
        return;
    default:
        return WriteJsonNumber(out, value.AsDouble());
    }
}

void WriteCell(std::ostream& out, const myfuns& funs, int row, int column, const Variant& value) {
    out << "{\"row\": " << row << ", \"column\": " << column << ", \"kind\": \""
        << KindName(value.Type()) << '"';
    if (value.Type() != VarType::Error) {
        out << ", \"text\": ";
        WriteJsonString(out, funs.cell_text(value));
    }
    out << ", \"value\": ";
    WriteRawValue(out, value);
    out << "}\n";
}

} // namespace

int RunSheets(const TArgs& args, std::ostream& out, std::ostream&) {
    const TInspectArgs parsed = ParseArgs(args, false);
    myfuns funs;
    TListModel sheets;
    funs.loadsheets(parsed.File, sheets);
    for (int i = 0; i < sheets.Items.Count(); ++i)
        out << sheets.Items.Strings(i) << '\n';
    return 0;
}

int RunInspect(const TArgs& args, std::ostream& out, std::ostream&) {
    const TInspectArgs parsed = ParseArgs(args, true);
    const myfuns funs;
    TSheetWalk walk(parsed.File, parsed.Sheet);
    const int columns = walk.Columns();
    const int rows = walk.Rows();
    out << "{\"columns\": " << columns << ", \"rows\": " << rows << "}\n";
    walk.Walk({}, {.Cell = [&](int row, int column, const Variant& value) {
                  if (!value.IsEmpty())
                      WriteCell(out, funs, row, column, value);
                  return true;
              }});
    walk.ShutDown();
    return 0;
}

} // namespace tabellix::cli
