// The server target, the one home both front ends use: the MySQL provider's
// registration, con1 set up and connected from plain values, the database
// list, and the server branch of a conversion (the table name filtered, the
// clash check, start_transfer).
#pragma once

#include "base/StringList.h"
#include "engine/funcs.h"
#include "engine/models.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tabellix {

class TUniConnection;

// The data-access start-up: the MySQL provider is registered while this
// lives. One registered already is left as it is, and stays registered
// afterwards, so a connection holding that provider never loses it.
class TProviderRegistration {
public:
    TProviderRegistration();
    ~TProviderRegistration();
    TProviderRegistration(const TProviderRegistration&) = delete;
    TProviderRegistration& operator=(const TProviderRegistration&) = delete;

private:
    bool FRegistered = false;
};

// What Connect reads: the texts of the connection boxes.
struct TServerLogin {
    std::string Host;
    std::string Port; // a decimal number
    std::string User;
    std::string Password;
};

// con1 as the window holds it: provider "MySQL", the option string
// "MySQL.UseUnicode=True", then options in their order.
void set_up_connection(TUniConnection& con1, const std::vector<std::string>& options = {});

// Sets Server, Username, Password, then Port from the decimal value of its
// text, and opens con1. A port that is no whole number raises EConvertError
// once the three before it are set; nothing is connected then.
void connect_server(TUniConnection& con1, const TServerLogin& login);

// The database names of con1's server.
std::vector<std::string> list_databases(TUniConnection& con1);

// What a front end may do between the steps of the server branch.
struct TServerSteps {
    // Receives the chosen database's table names once they are listed.
    std::function<void(const TStringList& tables)> OnTables;
    // Runs once the table name was found free, before anything is sent.
    std::function<void()> OnStart;
};

// How the server branch ended.
struct TServerOutcome {
    // The message refusing a name the database already holds; nothing was
    // sent to the server then.
    std::optional<std::string> TableTaken;
    // start_transfer's answer: false when the workbook did not open. Also
    // false when the name was taken.
    bool Transferred = false;
};

// The server branch of a conversion over con1, opened by Connect: the table
// name of form filtered in place, con1's Database set to database and its
// tables listed, a name equal (exactly, letter case included) to one of them
// refused; otherwise start_transfer. Errors of the server are not caught.
TServerOutcome transfer_to_server(myfuns& funs, TUniConnection& con1, const std::string& database,
                                  TConversionInput& form, const TServerSteps& steps = {});

// Removes the table database.table over con1: one DROP TABLE of that name,
// both names quoted. Errors of the server are not caught.
void drop_table(TUniConnection& con1, const std::string& database, const std::string& table);

} // namespace tabellix
