// The server session seam against the private MariaDB: single values,
// warnings, rows streamed for LOAD DATA LOCAL, sql_mode edits, a refusal
// told from a lost session; and the split of an error's message.
#include "dataaccess/ServerSession.h"
#include "tests/dataaccess/TestConnection.h"
#include "tests/support/ExpectError.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tabellix {
namespace {

const std::vector<Variant> kNoParams{Variant::Null()};

class ServerSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto server = test::TestMySqlServer();
        if (!server)
            TABELLIX_MISSING("The MariaDB test server (TABELLIX_MYSQL_PORT)");
        Server = *server;
        test::RegisterTestProvider();
        Connect(Con);
        Con.ExecSQL("CREATE DATABASE IF NOT EXISTS server_session", kNoParams);
        Con.SetDatabase("server_session");
    }

    void Connect(TUniConnection& con) {
        test::SetUpTestConnection(con, Server);
        con.Open();
    }

    // A fresh one-column INT table.
    void IntTable(const std::string& name) {
        Con.ExecSQL("DROP TABLE IF EXISTS " + name, kNoParams);
        Con.ExecSQL("CREATE TABLE " + name + " (i INT) ENGINE=InnoDB", kNoParams);
    }

    std::string Mode() { return Session.Value("SELECT @@SESSION.sql_mode").value_or("NULL"); }

    test::MySqlTestServer Server;
    TUniConnection Con;
    TServerSession Session{Con};
};

TEST_F(ServerSessionTest, AValueIsTheFirstColumnOfTheFirstRowAndNothingWithoutOne) {
    const struct {
        const char* sql;
        std::optional<std::string> value;
    } cases[] = {
        {"SELECT 'a', 'b' UNION ALL SELECT 'c', 'd'", "a"},
        {"SELECT 42", "42"},
        {"SELECT ''", ""},
        {"SELECT NULL", std::nullopt},
        {"SELECT 1 FROM DUAL WHERE 1 = 0", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        EXPECT_EQ(Session.Value(c.sql), c.value);
    }
}

// A session that is not strict adjusts bad values and says so in warnings.
TEST_F(ServerSessionTest, CountsAndListsTheWarningsOfTheLastStatement) {
    IntTable("warned");
    Con.ExecSQL("SET SESSION sql_mode = ''", kNoParams);
    Con.ExecSQL("INSERT INTO warned VALUES ('x'), ('7'), ('y')", kNoParams);
    EXPECT_EQ(Session.WarningCount(), 2);
    const std::vector<TServerWarning> warnings = Session.Warnings();
    ASSERT_EQ(warnings.size(), 2u);
    for (size_t i = 0; i < warnings.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(warnings[i].Level, "Warning");
        EXPECT_EQ(warnings[i].Code, 1366);
        EXPECT_NE(warnings[i].Message.find(i == 0 ? "'x'" : "'y'"), std::string::npos)
            << warnings[i].Message;
    }
    Con.ExecSQL("INSERT INTO warned VALUES (1)", kNoParams);
    EXPECT_EQ(Session.WarningCount(), 0);
    EXPECT_TRUE(Session.Warnings().empty());
}

// A file of the same name on disk shows where the rows came from.
TEST_F(ServerSessionTest, StreamsRowsForItsOwnStatementOnlyAndNeverFromDisk) {
    IntTable("streamed");
    const test::TempDir dir;
    const std::string name = (dir.Path() / "rows.tsv").string();
    std::ofstream(name) << "99\n";
    const std::string load = "LOAD DATA LOCAL INFILE '" + name + "' INTO TABLE streamed";
    Session.LoadLocalRows(load, name, "1\n2\n");
    EXPECT_EQ(Session.Value("SELECT GROUP_CONCAT(i ORDER BY i) FROM streamed"), "1,2");

    const auto e = test::ExpectError<EDAError>([&] {
        Session.LoadLocalRows("LOAD DATA LOCAL INFILE '" + name + "' INTO TABLE missing", name,
                              "3\n");
    });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 1146);
    // Neither the statement that ran nor the one that failed left its rows
    // to answer a later statement.
    Con.ExecSQL(load, kNoParams);
    EXPECT_EQ(Session.Value("SELECT GROUP_CONCAT(i ORDER BY i) FROM streamed"), "1,2,99");
}

TEST_F(ServerSessionTest, AddsAndRemovesModeWordsAndGivesTheModeBack) {
    const struct {
        const char* name;
        const char* mode;
        std::function<void(TServerSession&)> edit;
        const char* edited;
    } cases[] = {
        {"added", "REAL_AS_FLOAT", [](TServerSession& s) { s.AddMode("STRICT_ALL_TABLES"); },
         "REAL_AS_FLOAT,STRICT_ALL_TABLES"},
        {"added to an empty mode", "", [](TServerSession& s) { s.AddMode("STRICT_ALL_TABLES"); },
         "STRICT_ALL_TABLES"},
        {"removed", "REAL_AS_FLOAT,IGNORE_SPACE,STRICT_TRANS_TABLES",
         [](TServerSession& s) { s.RemoveMode("IGNORE_SPACE"); },
         "REAL_AS_FLOAT,STRICT_TRANS_TABLES"},
        {"removed, the last word", "REAL_AS_FLOAT",
         [](TServerSession& s) { s.RemoveMode("REAL_AS_FLOAT"); }, ""},
        {"removed only as a whole word", "STRICT_TRANS_TABLES",
         [](TServerSession& s) { s.RemoveMode("STRICT_TRANS"); }, "STRICT_TRANS_TABLES"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Con.ExecSQL(std::string("SET SESSION sql_mode = '") + c.mode + "'", kNoParams);
        Session.SaveMode();
        c.edit(Session);
        EXPECT_EQ(Mode(), c.edited);
        Session.RestoreMode();
        EXPECT_EQ(Mode(), c.mode);
    }
}

// The texts the dump writes work on any mode, not only the session's.
TEST_F(ServerSessionTest, ModeTextsEditTheListOfWords) {
    const struct {
        const char* mode;
        const char* with;
        const char* without;
    } cases[] = {
        {"", "STRICT_ALL_TABLES", ""},
        {"NO_BACKSLASH_ESCAPES", "NO_BACKSLASH_ESCAPES,STRICT_ALL_TABLES", ""},
        {"A,NO_BACKSLASH_ESCAPES,B", "A,NO_BACKSLASH_ESCAPES,B,STRICT_ALL_TABLES", "A,B"},
        {"A,NO_BACKSLASH_ESCAPES", "A,NO_BACKSLASH_ESCAPES,STRICT_ALL_TABLES", "A"},
        {"NO_BACKSLASH_ESCAPES_X,B", "NO_BACKSLASH_ESCAPES_X,B,STRICT_ALL_TABLES",
         "NO_BACKSLASH_ESCAPES_X,B"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        const std::string mode = std::string("'") + c.mode + "'";
        EXPECT_EQ(Session.Value("SELECT " + ModeWith(mode, "STRICT_ALL_TABLES")), c.with);
        EXPECT_EQ(Session.Value("SELECT " + ModeWithout(mode, "NO_BACKSLASH_ESCAPES")), c.without);
    }
    EXPECT_EQ(SetModeStatement("@m"), "SET SESSION sql_mode = @m");
}

TEST_F(ServerSessionTest, TellsARefusedStatementFromALostSession) {
    auto e = test::ExpectError<EDAError>([&] { Con.ExecSQL("SELEC 1", kNoParams); });
    ASSERT_TRUE(e);
    EXPECT_TRUE(Session.IsRefusal(*e));
    EXPECT_TRUE(Session.Usable());
    const TServerMessage message = SplitServerMessage(*e);
    EXPECT_EQ(message.State, "42000");
    EXPECT_TRUE(message.Text.starts_with("You have an error in your SQL syntax")) << message.Text;

    TUniConnection admin;
    Connect(admin);
    const std::string thread = *Session.Value("SELECT CONNECTION_ID()");
    admin.ExecSQL("KILL CONNECTION " + thread, kNoParams);
    e = test::ExpectError<EDAError>([&] { Con.ExecSQL("SELECT 1", kNoParams); });
    ASSERT_TRUE(e);
    EXPECT_TRUE(e->ErrorCode() == 2013 || e->ErrorCode() == 2006) << e->ErrorCode();
    EXPECT_FALSE(Session.IsRefusal(*e));
    EXPECT_FALSE(Session.Usable());
    // Nothing more reaches the server, whatever code an error carries.
    EXPECT_FALSE(Session.IsRefusal(EDAError(1064, "refused")));
}

TEST(ServerSession, WithoutASessionSaysSoAndAsksNothing) {
    TUniConnection con;
    const TServerSession session(con);
    EXPECT_FALSE(session.Available());
    EXPECT_FALSE(session.Usable());
    EXPECT_FALSE(session.IsRefusal(EDAError(1064, "refused")));
    EXPECT_THROW(session.WarningCount(), EAssertionFailed);
}

TEST(ServerMessage, SplitsTheStateTheClientPutsBeforeTheServersMessage) {
    const struct {
        const char* message;
        const char* state;
        const char* text;
    } cases[] = {
        {"\r\n#42S01Table 't' already exists", "42S01", "Table 't' already exists"},
        {"\r\nReceiveHeader: Net packets out of order", "HY000",
         "ReceiveHeader: Net packets out of order"},
        {"Lost connection to MySQL server during query\r\nConnection reset by peer", "HY000",
         "Lost connection to MySQL server during query\r\nConnection reset by peer"},
        {"#4200", "HY000", "#4200"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const TServerMessage split = SplitServerMessage(EDAError(1, c.message));
        EXPECT_EQ(split.State, c.state);
        EXPECT_EQ(split.Text, c.text);
    }
    EXPECT_TRUE(IsClientCode(2000));
    EXPECT_TRUE(IsClientCode(2999));
    EXPECT_FALSE(IsClientCode(1999));
    EXPECT_FALSE(IsClientCode(3000));
}

} // namespace
} // namespace tabellix
