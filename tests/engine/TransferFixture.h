// The transfer fixture against the private MariaDB: a connection to the
// test database, a fresh table per test, its stored rows and the statements
// the server logged for it.
#pragma once

#include "base/Text.h"
#include "dataaccess/Uni.h"
#include "engine/server_target.h"
#include "mysql/client/MyClassesUni.h"
#include "tests/engine/PassFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace tabellix::test {

inline const std::vector<Variant> kNoParams{Variant::Null()};

inline bool Holds(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

class TransferFixture : public PassFixture {
protected:
    void SetUp() override {
        PassFixture::SetUp();
        auto server = TestMySqlServer();
        if (!server)
            TABELLIX_MISSING("The MariaDB test server (TABELLIX_MYSQL_PORT)");
        Server = *server;
        set_up_connection(Con);
        connect_server(Con, Login());
        Con.ExecSQL("CREATE DATABASE IF NOT EXISTS engine_transfer", kNoParams);
        Con.SetDatabase("engine_transfer");
        PrepareForm();
    }

    TServerLogin Login() const {
        return {Server.host, std::to_string(Server.port), Server.user, Server.password};
    }

    bool HasTable(const std::string& table) {
        TStringList tables;
        Con.GetTableNames(tables, false);
        return Holds(tables.Items(), table);
    }

    // A fresh table name for each test, so parallel runs do not meet.
    void UseTable(const std::string& name) {
        TableName = name;
        Con.ExecSQL("DROP TABLE IF EXISTS " + name, kNoParams);
        std::ifstream log(Server.generalLog, std::ios::ate);
        LogStart = log ? static_cast<std::streamoff>(log.tellg()) : 0;
    }

    bool Transfer(bool names) {
        Form.chk_names = names;
        EXPECT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, names));
        Calls.clear();
        return Funcs.start_transfer(Form, Con);
    }

    // Every row of the table, its columns joined by "|".
    std::vector<std::string> StoredRows(const std::string& table, TUniConnection* con = nullptr) {
        TMySQLRecordset rs;
        rs.SetConnection(static_cast<TMySQLConnection*>((con ? con : &Con)->IConnection()));
        rs.SetProp(22, true);
        rs.SetSQL("SELECT * FROM " + table);
        rs.Open();
        std::vector<std::string> rows;
        for (int r = 0; r < rs.RecordCount(); ++r) {
            std::string row;
            for (int c = 0; c < rs.FieldCount(); ++c)
                row += (c ? "|" : "") + rs.GetFieldAsVariant(r, c).AsString();
            rows.push_back(row);
        }
        return rows;
    }

    // The statements the server logged that name the table, as the log
    // shows them: without the blanks around them and the final ";".
    std::vector<std::string> Logged(const std::string& table) {
        std::ifstream log(Server.generalLog);
        log.seekg(LogStart);
        std::vector<std::string> statements;
        for (std::string line; std::getline(log, line);) {
            const size_t query = line.find(" Query\t");
            if (query != std::string::npos && line.find(table) != std::string::npos &&
                line.find("DROP TABLE") == std::string::npos &&
                line.find("SELECT * FROM") == std::string::npos)
                statements.push_back(line.substr(query + 7));
        }
        return statements;
    }

    static std::string AsLogged(const std::string& statement) {
        std::string text = Trim(statement);
        if (!text.empty() && text.back() == ';')
            text.pop_back();
        return text;
    }

    MySqlTestServer Server;
    std::streamoff LogStart = 0;
    const TProviderRegistration Units;
    TUniConnection Con;
};

} // namespace tabellix::test
