#include "cli/commands.h"
#include "cli/sheet_options.h"

#include "base/Format.h"
#include "base/Text.h"
#include "dataaccess/MySQLUniProvider.h"
#include "dataaccess/Uni.h"

#include <cstdlib>
#include <iostream>

namespace tabellix::cli {

namespace {

struct TServerOptions {
    std::string Host;
    int Port = 3306;
    std::string User;
    std::string Database;
    bool PasswordStdin = false;
    std::vector<std::string> Options; // option strings, as -O gives them
};

bool ParseServerOption(const TArgs& args, size_t& i, TServerOptions& o) {
    const std::string& a = args[i];
    if (a == "--host")
        o.Host = OptionValue(args, i);
    else if (a == "--port")
        o.Port = StrToInt(Trim(OptionValue(args, i)));
    else if (a == "--user")
        o.User = OptionValue(args, i);
    else if (a == "--database")
        o.Database = OptionValue(args, i);
    else if (a == "--password-stdin")
        o.PasswordStdin = true;
    else if (a == "-O")
        o.Options.push_back(OptionValue(args, i));
    else if (a == "--tls")
        o.Options.push_back("MySQL.Protocol=mpSSL");
    else if (a == "--tls-ca")
        o.Options.insert(o.Options.end(),
                         {"MySQL.Protocol=mpSSL", "MySQL.SSLCACert=" + OptionValue(args, i)});
    else if (a == "--get-server-public-key")
        o.Options.push_back("MySQL.GetServerPublicKey=True");
    else
        return false;
    return true;
}

void RequireServer(const TServerOptions& o) {
    if (o.Host.empty())
        throw EUsageError("--host is needed");
    if (o.User.empty())
        throw EUsageError("--user is needed");
}

// Never from the command line, where other users could read it.
std::string Password(const TServerOptions& o) {
    if (o.PasswordStdin) {
        std::string line;
        std::getline(std::cin, line);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return line;
    }
    const char* env = std::getenv("TABELLIX_PASSWORD");
    return env ? env : "";
}

// The window's connection: provider MySQL, its option string, the settings
// in the order the Connect button sets them.
void Connect(TUniConnection& con, const TServerOptions& o) {
    if (!TUniProviders::Instance().GetProvider("MySQL"))
        TUniProviders::Instance().RegisterProvider(TMySQLUniProvider::Class());
    con.SetProviderName("MySQL");
    con.SpecificOptions().Add("MySQL.UseUnicode=True");
    for (const std::string& option : o.Options)
        con.SpecificOptions().Add(option);
    con.SetServer(o.Host);
    con.SetUsername(o.User);
    con.SetPassword(Password(o));
    con.SetPort(o.Port);
    con.Open();
}

void CheckNoClash(TUniConnection& con, const std::string& database, const std::string& table) {
    con.SetDatabase(database);
    TStringList tables;
    con.GetTableNames(tables, false);
    for (const std::string& existing : tables.Items())
        if (existing == table)
            throw EUsageError("The table \"" + table +
                              "\" is already exists in the selected database, Please choose "
                              "another table name! ");
}

} // namespace

int RunTransfer(const TArgs& args, std::ostream& out, std::ostream& err) {
    TSheetOptions sheetOptions;
    TServerOptions server;
    for (size_t i = 0; i < args.size(); ++i)
        if (!ParseServerOption(args, i, server) && !ParseSheetOption(args, i, sheetOptions))
            throw EUsageError(Format("unknown option %s", {args[i]}));
    RequireServer(server);
    if (server.Database.empty())
        throw EUsageError("--database is needed");
    TPreparedSheet sheet;
    if (!PrepareSheet(sheetOptions, err, sheet))
        return 1;
    TUniConnection con1;
    Connect(con1, server);
    sheet.Table = sheet.Funs.spchar_filter(sheet.Table);
    CheckNoClash(con1, server.Database, sheet.Table);
    auto progress = ProgressFor(err);
    TConversionForm form = MakeForm(sheet, sheetOptions, progress.get());
    if (!sheet.Funs.start_transfer(form, con1))
        return 1;
    progress.reset();
    out << server.Database << "." << sheet.Table << "\n";
    return 0;
}

int RunDatabases(const TArgs& args, std::ostream& out, std::ostream&) {
    TServerOptions server;
    for (size_t i = 0; i < args.size(); ++i)
        if (!ParseServerOption(args, i, server))
            throw EUsageError(Format("unknown option %s", {args[i]}));
    RequireServer(server);
    TUniConnection con1;
    Connect(con1, server);
    TStringList names;
    con1.GetDatabaseNames(names);
    for (const std::string& name : names.Items())
        out << name << "\n";
    return 0;
}

} // namespace tabellix::cli
