#include "engine/server_target.h"

#include "base/Format.h"
#include "base/Text.h"
#include "dataaccess/MySQLUniProvider.h"
#include "dataaccess/Uni.h"
#include "engine/statements.h"

namespace tabellix {
namespace {

bool HoldsTable(const TStringList& tables, const std::string& table) {
    for (const std::string& name : tables.Items())
        if (name == table)
            return true;
    return false;
}

} // namespace

TProviderRegistration::TProviderRegistration() {
    TUniProviders& registry = TUniProviders::Instance();
    if (registry.GetProvider(TMySQLUniProvider::GetProviderName()))
        return;
    registry.RegisterProvider(TMySQLUniProvider::Class());
    FRegistered = true;
}

TProviderRegistration::~TProviderRegistration() {
    if (FRegistered)
        TUniProviders::Instance().UnRegisterProvider(TMySQLUniProvider::Class());
}

void set_up_connection(TUniConnection& con1, const std::vector<std::string>& options) {
    con1.SetProviderName("MySQL");
    con1.SpecificOptions().Add("MySQL.UseUnicode=True");
    for (const std::string& option : options)
        con1.SpecificOptions().Add(option);
}

void connect_server(TUniConnection& con1, const TServerLogin& login) {
    con1.SetServer(login.Host);
    con1.SetUsername(login.User);
    con1.SetPassword(login.Password);
    con1.SetPort(StrToInt(login.Port));
    con1.Open();
}

std::vector<std::string> list_databases(TUniConnection& con1) {
    TStringList names;
    con1.GetDatabaseNames(names);
    return names.Items();
}

TServerOutcome transfer_to_server(myfuns& funs, TUniConnection& con1, const std::string& database,
                                  TConversionInput& form, const TServerSteps& steps) {
    std::string& table = *form.sql_table_name;
    table = funs.spchar_filter(table);
    con1.SetDatabase(database);
    TStringList tables;
    con1.GetTableNames(tables, false);
    if (steps.OnTables)
        steps.OnTables(tables);
    TServerOutcome outcome;
    if (HoldsTable(tables, table)) {
        outcome.TableTaken = Format("The table \"%s\" is already exists in the selected database, "
                                    "Please choose another table name! ",
                                    {table});
        return outcome;
    }
    if (steps.OnStart)
        steps.OnStart();
    outcome.Transferred = funs.start_transfer(form, con1);
    return outcome;
}

void drop_table(TUniConnection& con1, const std::string& database, const std::string& table) {
    con1.ExecSQL("DROP TABLE " + quote_name(database) + "." + quote_name(table), {Variant::Null()});
}

} // namespace tabellix
