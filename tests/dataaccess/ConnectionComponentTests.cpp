// The connection component and its command against the private MariaDB.
#include "mysql/client/MyClassesUni.h"
#include "tests/dataaccess/TestConnection.h"
#include "tests/support/ExpectError.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tabellix {
namespace {

const std::vector<Variant> kNoParams{Variant::Null()};

class UniConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto server = test::TestMySqlServer();
        if (!server)
            TABELLIX_MISSING("The MariaDB test server (TABELLIX_MYSQL_PORT)");
        Server = *server;
        test::RegisterTestProvider();
        Con = std::make_unique<TUniConnection>();
        test::SetUpTestConnection(*Con, Server);
        Con->ExecSQL("CREATE DATABASE IF NOT EXISTS uni_a", kNoParams);
        Con->ExecSQL("CREATE DATABASE IF NOT EXISTS uni_b", kNoParams);
        Con->ExecSQL("CREATE DATABASE IF NOT EXISTS uni_empty", kNoParams);
    }

    // First column of the first row, read through a provider record set.
    std::string Scalar(const std::string& sql) {
        TMySQLRecordset rs;
        rs.SetConnection(static_cast<TMySQLConnection*>(Con->IConnection()));
        rs.SetProp(22, true);
        rs.SetSQL(sql);
        rs.Open();
        const Variant v = rs.GetFieldAsVariant(0, 0);
        return v.IsNull() ? "NULL" : v.AsString();
    }

    test::MySqlTestServer Server;
    std::unique_ptr<TUniConnection> Con;
};

TEST_F(UniConnectionTest, SettingsKeepOrDropTheConnectionAsTheyShould) {
    Con->Open();
    const std::string thread = Scalar("SELECT CONNECTION_ID()");
    Con->SetServer(Server.host);
    Con->SetUsername(Server.user);
    Con->SetPassword(Server.password);
    Con->SetPort(Server.port);
    Con->Open();
    EXPECT_TRUE(Con->Connected());
    EXPECT_EQ(Scalar("SELECT CONNECTION_ID()"), thread);

    Con->SetDatabase("  uni_a ");
    EXPECT_EQ(Con->Database(), "uni_a");
    EXPECT_TRUE(Con->Connected());
    EXPECT_EQ(Scalar("SELECT DATABASE()"), "uni_a");
    EXPECT_EQ(Scalar("SELECT CONNECTION_ID()"), thread);

    Con->SpecificOptions().SetValues("UseUnicode", "True");
    EXPECT_FALSE(Con->Connected());
    Con->ExecSQL("CREATE TABLE IF NOT EXISTS uni_a.t (v VARCHAR(10))", kNoParams);
    EXPECT_TRUE(Con->Connected());
    EXPECT_NE(Scalar("SELECT CONNECTION_ID()"), thread);
    EXPECT_EQ(Scalar("SELECT DATABASE()"), "uni_a");
    EXPECT_EQ(Scalar("SELECT @@character_set_client"), "utf8mb3");
}

TEST_F(UniConnectionTest, AWrongPasswordLeavesItClosedWithTheServersMessage) {
    Con->SetPassword("wrong");
    auto e = test::ExpectError<EUniError>([&] { Con->Open(); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 1045);
    EXPECT_NE(e->Message().find("Access denied for user"), std::string::npos) << e->Message();
    EXPECT_FALSE(Con->Connected());
    Con->SetPassword(Server.password);
    Con->Open();
    EXPECT_TRUE(Con->Connected());
}

TEST_F(UniConnectionTest, ValuesAsTheTransferEscapesThemReachTheServerUnchanged) {
    Con->SetDatabase("uni_a");
    Con->ExecSQL("DROP TABLE IF EXISTS esc", kNoParams);
    Con->ExecSQL("CREATE TABLE esc (v TEXT) ENGINE=MyISAM DEFAULT CHARSET=utf8", kNoParams);
    const char* values[] = {
        "it\\'s \"x\" {fn CONCAT(1,2)} --&y :p",
        "a \\\\ b ? :1 {if x} \"q\" -- c",
        "caf\xC3\xA9 &tbl",
    };
    for (const char* value : values) {
        SCOPED_TRACE(value);
        Con->ExecSQL("DELETE FROM esc", kNoParams);
        EXPECT_TRUE(
            Con->ExecSQL("insert into esc values('" + std::string(value) + "' );   \r\n", kNoParams)
                .IsNull());
        std::string expected;
        for (const char* p = value; *p; ++p)
            if (*p != '\\' || (expected += *++p, false))
                expected += *p;
        EXPECT_EQ(Scalar("SELECT v FROM esc"), expected);
    }
}

TEST_F(UniConnectionTest, ServerErrorsArriveWrappedWithCodeAndMessage) {
    Con->SetDatabase("uni_a");
    // Whether the table is left from an earlier run or not, the second one clashes.
    auto e = test::ExpectError<EUniError>([&] {
        Con->ExecSQL("CREATE TABLE uni_a.t (v INT)", kNoParams);
        Con->ExecSQL("CREATE TABLE uni_a.t (v INT)", kNoParams);
    });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 1050);
    EXPECT_EQ(e->Message(), "\r\n#42S01Table 't' already exists");
    EXPECT_TRUE(Con->Connected());
}

TEST_F(UniConnectionTest, ListsDatabasesAndTables) {
    TStringList databases;
    Con->GetDatabaseNames(databases);
    for (const char* name : {"uni_a", "uni_b", "uni_empty", "information_schema"})
        EXPECT_GE(databases.IndexOf(name), 0) << name;
    TMySQLRecordset shown;
    shown.SetConnection(static_cast<TMySQLConnection*>(Con->IConnection()));
    shown.SetProp(22, true);
    shown.SetSQL("SHOW DATABASES");
    shown.Open();
    // Other tests may create databases meanwhile: compare the order of the
    // names both lists hold.
    std::vector<std::string> listed, inServerOrder;
    for (int i = 0; i < shown.RecordCount(); ++i)
        if (databases.IndexOf(shown.GetFieldAsVariant(i, 0).AsString()) >= 0)
            inServerOrder.push_back(shown.GetFieldAsVariant(i, 0).AsString());
    for (const std::string& name : databases.Items())
        if (std::find(inServerOrder.begin(), inServerOrder.end(), name) != inServerOrder.end())
            listed.push_back(name);
    EXPECT_EQ(listed, inServerOrder);
    EXPECT_GE(inServerOrder.size(), 4u);

    TStringList tables{"stale"};
    Con->GetTableNames(tables, false);
    EXPECT_EQ(tables.Count(), 0) << "no current database";

    Con->SetDatabase("uni_empty");
    tables.Add("stale");
    Con->GetTableNames(tables, false);
    EXPECT_EQ(tables.Count(), 0);

    Con->SetDatabase("uni_b");
    Con->ExecSQL("CREATE TABLE IF NOT EXISTS zeta (v INT)", kNoParams);
    Con->ExecSQL("CREATE TABLE IF NOT EXISTS alpha (v INT)", kNoParams);
    Con->ExecSQL("CREATE OR REPLACE VIEW beta AS SELECT v FROM alpha", kNoParams);
    Con->GetTableNames(tables, false);
    EXPECT_EQ(tables.Items(), (std::vector<std::string>{"alpha", "beta", "zeta"}));

    Con->GetTableNames(tables, true);
    EXPECT_GE(tables.IndexOf("uni_b.alpha"), 0);
    EXPECT_GE(tables.IndexOf("mysql.user"), 0);
}

TEST_F(UniConnectionTest, AFailingListCallLeavesTheListAlone) {
    Con->SetPort(1);
    TStringList databases{"kept"};
    EXPECT_THROW(Con->GetDatabaseNames(databases), EUniError);
    EXPECT_EQ(databases.Items(), std::vector<std::string>{"kept"});
}

TEST(UniConnectionProvider, NamesAreCheckedWhenTheConnectionIsFirstNeeded) {
    TUniProviders::Instance().RegisterProvider(TMySQLUniProvider::Class());
    struct Case {
        const char* name;
        const char* message;
    } cases[] = {
        {"", "Provider is not defined"},
        {"Oracle", "Oracle provider is not registered. You should add the OracleUniProvider unit "
                   "to the uses clause of any unit in your project or place the "
                   "TOracleUniProvider component on the form."},
        {"SQL Server", "SQL Server provider is not registered. You should add the "
                       "SQLServerUniProvider unit to the uses clause of any unit in your project "
                       "or place the TSQLServerUniProvider component on the form."},
        {"Foo", "Foo is not a valid provider name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TUniConnection con;
        con.SetProviderName(c.name);
        try {
            con.Open();
            ADD_FAILURE() << "opened";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
    TUniConnection con;
    con.SetProviderName("  mYsQl ");
    EXPECT_EQ(con.ProviderName(), "mYsQl");
    EXPECT_EQ(con.CheckProvider().ProviderName(), "MySQL");
}

TEST(UniConnectionProvider, InvalidOptionStringsAreRefusedAtConnect) {
    TUniProviders::Instance().RegisterProvider(TMySQLUniProvider::Class());
    TUniConnection con;
    con.SetProviderName("MySQL");
    con.SpecificOptions().Add("UseUnicode=Yes");
    auto e = test::ExpectError<Exception>([&] { con.Open(); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Message(), "Invalid value: Yes for option UseUnicode");
}

} // namespace
} // namespace tabellix
