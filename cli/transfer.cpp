#include "cli/commands.h"
#include "cli/option_strings.h"
#include "cli/password.h"
#include "cli/sheet_options.h"

#include "base/Format.h"
#include "base/Text.h"
#include "dataaccess/Uni.h"
#include "engine/passes.h"
#include "engine/reject_file.h"
#include "engine/server_target.h"

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace tabellix::cli {

namespace {

struct TServerOptions {
    std::string Host;
    int Port = 3306;
    std::string User;
    std::string Database;
    bool PasswordStdin = false;
    // Its connection part: --tls, --tls-ca, --get-server-public-key.
    TConversionSettings Settings;
    std::vector<std::string> Options; // option strings, as -O gives them
};

bool ParseServerOption(const TArgs& args, size_t& i, TServerOptions& o) {
    const std::string& a = args[i];
    if (a == "--host")
        o.Host = OptionValue(args, i);
    else if (a == "--port")
        o.Port = PortNumber(OptionValue(args, i));
    else if (a == "--user")
        o.User = OptionValue(args, i);
    else if (a == "--database")
        o.Database = OptionValue(args, i);
    else if (a == "--password-stdin")
        o.PasswordStdin = true;
    else if (a == "-O")
        o.Options.push_back(CheckedOptionString(OptionValue(args, i)));
    else if (a == "--tls")
        o.Settings.Tls.Enabled = true;
    else if (a == "--tls-ca")
        o.Settings.Tls.CaFile = OptionValue(args, i);
    else if (a == "--get-server-public-key")
        o.Settings.GetServerPublicKey = true;
    else {
        CheckReservedOption(a);
        return false;
    }
    return true;
}

// The loader's options of transfer as given, before they are settled.
struct TLoadFlags {
    TLoaderOptions Loader; // --batch, --keep-going, --rejects, --force
    bool LoadData = false;
};

bool ParseLoadOption(const TArgs& args, size_t& i, TLoadFlags& o) {
    if (ParseBatchOption(args, i, o.Loader))
        return true;
    if (args[i] == "--load-data")
        o.LoadData = true;
    else if (args[i] == "--keep-going")
        o.Loader.KeepGoing = true;
    else if (args[i] == "--rejects")
        o.Loader.RejectFile = OptionValue(args, i);
    else if (args[i] == "--force")
        o.Loader.ReplaceRejects = true;
    else
        return false;
    return true;
}

// --load-data with --batch is the fastest available: LOAD DATA where the
// server and the table allow it, multi-row inserts elsewhere.
TLoaderOptions LoaderOptions(const TLoadFlags& o) {
    TLoaderOptions loader = o.Loader;
    if (o.LoadData)
        loader.Method = loader.Active() ? TLoadMethod::Fastest : TLoadMethod::LoadData;
    return loader;
}

// Says which sheet row a refusal stopped the pass at, or what a lost
// connection leaves, before the error is printed.
TServerOutcome TransferRows(TPreparedSheet& sheet, TUniConnection& con1,
                            const std::string& database, TConversionInput& form,
                            std::ostream& err) {
    try {
        return transfer_to_server(sheet.Funs, con1, database, form);
    } catch (const Exception&) {
        const TLoadReport& load = sheet.Funs.LastLoad();
        if (load.FailedRow)
            err << Format("tabellix-convert: sheet row %d was refused\n", {load.FailedRow});
        else if (load.InFlightRow)
            err << "tabellix-convert: " << lost_connection_text(load) << "\n";
        throw;
    }
}

// Before anything is sent: the reject file may never be the workbook, and
// an existing one is replaced only with --force.
void CheckRejectFile(const TLoaderOptions& loader, const std::string& workbook) {
    if (!loader.KeepGoing)
        return;
    if (const auto problem = rejects_overwrite_workbook(loader.RejectFile, workbook))
        throw EUsageError(*problem);
    std::error_code ec;
    if (!loader.ReplaceRejects && std::filesystem::exists(loader.RejectFile, ec))
        throw EUsageError(Format("%s exists; --force replaces it", {loader.RejectFile}));
}

void RequireServer(const TServerOptions& o) {
    if (o.Host.empty())
        throw EUsageError("--host is needed");
    if (o.User.empty())
        throw EUsageError("--user is needed");
}

// Never from the command line, where other users could read it.
std::string Password(const TServerOptions& o) {
    if (o.PasswordStdin)
        return ReadPassword(std::cin, STDIN_FILENO, STDERR_FILENO);
    const char* env = std::getenv("TABELLIX_PASSWORD");
    return env ? env : "";
}

// The window's connection with the lines of the connection's choices, then
// the option strings of -O, which thus have the last word.
void Connect(TUniConnection& con, const TServerOptions& o, std::vector<std::string> lines) {
    lines.insert(lines.end(), o.Options.begin(), o.Options.end());
    set_up_connection(con, lines);
    connect_server(con, {o.Host, std::to_string(o.Port), o.User, Password(o)});
}

// A pass that went on past refused rows never ends as plain success.
bool RefusedRows(const myfuns& funs, std::ostream& err) {
    const TLoadReport& load = funs.LastLoad();
    if (!funs.Loader.Active() || load.Refused == 0)
        return false;
    err << Format("tabellix-convert: %d %s stored, %d refused (listed in %s)\n",
                  {load.Stored, load.Stored == 1 ? "row" : "rows", load.Refused, load.RejectFile});
    return true;
}

} // namespace

int RunTransfer(const TArgs& args, std::ostream& out, std::ostream& err) {
    TSheetOptions sheetOptions;
    TServerOptions server;
    TLoadFlags load;
    for (size_t i = 0; i < args.size(); ++i)
        if (!ParseServerOption(args, i, server) && !ParseLoadOption(args, i, load) &&
            !ParseSheetOption(args, i, sheetOptions))
            throw EUsageError(Format("unknown option %s", {args[i]}));
    RequireServer(server);
    if (server.Database.empty())
        throw EUsageError("--database is needed");
    TPreparedSheet sheet;
    if (!PrepareSheet(sheetOptions, err, sheet))
        return 1;
    server.Settings.Loader = LoaderOptions(load);
    const std::vector<std::string> lines =
        SettleConversion(sheet, sheetOptions, server.Settings, TConversionTarget::Server);
    CheckRejectFile(sheet.Funs.Loader, sheetOptions.File);
    const TProviderRegistration units;
    TUniConnection con1;
    Connect(con1, server, lines);
    auto progress = ProgressFor(err);
    TConversionInput form = MakeForm(sheet, sheetOptions, progress.get());
    const TServerOutcome outcome = TransferRows(sheet, con1, server.Database, form, err);
    if (outcome.TableTaken)
        throw EUsageError(*outcome.TableTaken);
    if (!outcome.Transferred)
        return 1;
    progress.reset();
    out << server.Database << "." << sheet.Table << "\n";
    return RefusedRows(sheet.Funs, err) ? 2 : 0;
}

int RunDatabases(const TArgs& args, std::ostream& out, std::ostream&) {
    TServerOptions server;
    for (size_t i = 0; i < args.size(); ++i)
        if (!ParseServerOption(args, i, server))
            throw EUsageError(Format("unknown option %s", {args[i]}));
    RequireServer(server);
    const TProviderRegistration units;
    TUniConnection con1;
    Connect(con1, server, connection_lines(server.Settings));
    for (const std::string& name : list_databases(con1))
        out << name << "\n";
    return 0;
}

} // namespace tabellix::cli
