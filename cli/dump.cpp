#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/sheet_options.h"

#include "base/Format.h"
#include "engine/dump_name.h"

#include <ostream>

namespace tabellix::cli {

namespace {

// -o - : the dump goes to standard output, as it would to the file.
constexpr const char* kStandardOutput = "-";

struct TDumpOptions {
    TSheetOptions Sheet;
    std::string Out;
    bool Force = false;
    TLoaderOptions Loader; // --batch
};

TDumpOptions ParseDumpOptions(const TArgs& args) {
    TDumpOptions o;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" || args[i] == "--output")
            o.Out = OptionValue(args, i);
        else if (args[i] == "--force")
            o.Force = true;
        else if (!ParseBatchOption(args, i, o.Loader) && !ParseSheetOption(args, i, o.Sheet))
            RefuseOption(args[i]);
    }
    if (o.Sheet.File.empty())
        throw EUsageError("dump needs a workbook: dump FILE -o OUT");
    if (o.Out.empty())
        throw EUsageError("dump needs the dump file: -o OUT");
    return o;
}

// The byte stream is the file's; nothing else is written to out.
int DumpToOutput(TPreparedSheet& sheet, const TDumpOptions& o, std::ostream& out,
                 std::ostream& err) {
    auto progress = ProgressFor(err);
    TConversionInput form = MakeForm(sheet, o.Sheet, progress.get());
    return sheet.Funs.dump_stream(out, "standard output", form) ? 0 : 1;
}

} // namespace

int RunDump(const TArgs& args, std::ostream& out, std::ostream& err) {
    const TDumpOptions o = ParseDumpOptions(args);
    TPreparedSheet sheet;
    if (!PrepareSheet(o.Sheet, err, sheet))
        return 1;
    TConversionSettings settings;
    settings.Loader = o.Loader;
    SettleConversion(sheet, o.Sheet, settings, TConversionTarget::DumpFile);
    if (o.Out == kStandardOutput)
        return DumpToOutput(sheet, o, out, err);
    if (const auto problem = dump_overwrites_workbook(settle_dump_file_name(o.Out), o.Sheet.File))
        throw EUsageError(*problem);
    const auto dfile = choose_dump_file(o.Out, [&o](const std::string&) { return o.Force; });
    if (!dfile)
        throw EUsageError(Format("%s exists; --force replaces it", {settle_dump_file_name(o.Out)}));
    bool opened = false;
    {
        const TInterruptScope interrupts;
        auto progress = ProgressFor(err);
        TInterruptibleProgress gauge(progress.get());
        TConversionInput form = MakeForm(sheet, o.Sheet, &gauge);
        try {
            opened = sheet.Funs.dump_file(*dfile, form);
        } catch (const EInterrupted& e) {
            progress.reset();
            err << Format("tabellix-convert: interrupted; %s is as it was\n", {*dfile});
            return 128 + e.Signal();
        }
    }
    if (!opened)
        return 1;
    out << *dfile << "\n";
    return 0;
}

} // namespace tabellix::cli
