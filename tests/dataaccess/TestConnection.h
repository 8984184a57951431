// The connection component of the data-access tests, set up for the
// private MariaDB and not yet open.
#pragma once

#include "dataaccess/MySQLUniProvider.h"
#include "dataaccess/Uni.h"
#include "tests/support/TestEnv.h"

namespace tabellix::test {

// Registers the provider first when no component holds it yet: registering
// it again replaces it under the components that do.
inline void RegisterTestProvider() {
    TUniProviders::Instance().RegisterProvider(TMySQLUniProvider::Class());
}

inline void SetUpTestConnection(TUniConnection& con, const MySqlTestServer& server) {
    con.SetProviderName("MySQL");
    con.SpecificOptions().Add("MySQL.UseUnicode=True");
    con.SetServer(server.host);
    con.SetPort(server.port);
    con.SetUsername(server.user);
    con.SetPassword(server.password);
}

} // namespace tabellix::test
