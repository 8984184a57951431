// transfer and databases against the private MariaDB.
#include "dataaccess/MySQLUniProvider.h"
#include "dataaccess/Uni.h"
#include "tests/cli/PeopleBook.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace tabellix;

namespace {

class TransferCommand : public test::PeopleBookTest {
protected:
    void SetUp() override {
        PeopleBookTest::SetUp();
        auto server = test::TestMySqlServer();
        if (!server)
            TABELLIX_MISSING("The MariaDB test server (TABELLIX_MYSQL_PORT)");
        Server = *server;
        setenv("TABELLIX_PASSWORD", Server.password.c_str(), 1);
    }

    // Sets con up for the administrator of the test server.
    void AsAdmin(TUniConnection& con) const {
        TUniProviders::Instance().RegisterProvider(TMySQLUniProvider::Class());
        con.SetProviderName("MySQL");
        con.SetServer(Server.host);
        con.SetPort(Server.port);
        con.SetUsername(Server.user);
        con.SetPassword(Server.password);
    }

    // Runs statements as the administrator of the test server.
    void Admin(const std::vector<std::string>& statements) const {
        TUniConnection con;
        AsAdmin(con);
        for (const std::string& sql : statements)
            con.ExecSQL(sql, {Variant::Null()});
    }
    void TearDown() override {
        unsetenv("TABELLIX_PASSWORD");
        PeopleBookTest::TearDown();
    }

    cli::TArgs ServerArgs() const {
        return {"--host", Server.host, "--port", std::to_string(Server.port),
                "--user", Server.user};
    }

    int Transfer(const std::string& table, std::vector<std::string> extra = {}) {
        cli::TArgs args = ServerArgs();
        args.insert(args.end(), {test::kPeopleBook, "--database", "cli_transfer", "--table", table,
                                 "--first-row-names"});
        args.insert(args.end(), extra.begin(), extra.end());
        return RunCommand(cli::RunTransfer, args);
    }

    // Whether the table is in cli_transfer.
    bool HasTable(const std::string& table) const {
        TUniConnection con;
        AsAdmin(con);
        con.SetDatabase("cli_transfer");
        TStringList tables;
        con.GetTableNames(tables, false);
        return std::ranges::find(tables.Items(), table) != tables.Items().end();
    }

    test::MySqlTestServer Server;
};

TEST_F(TransferCommand, CreatesTheTableAndRefusesItsNameTheSecondTime) {
    const std::string table = "people";
    Admin(
        {"CREATE DATABASE IF NOT EXISTS cli_transfer", "DROP TABLE IF EXISTS cli_transfer.people"});
    ASSERT_EQ(Transfer("People", {"--column", "2:qty:INT", "-O", "MySQL.ConnectionTimeout=5"}), 0)
        << Err.str();
    EXPECT_EQ(Output.str(), "cli_transfer." + table + "\n");

    EXPECT_EQ(Transfer(table), 1);
    EXPECT_EQ(Err.str(), "The table \"" + table +
                             "\" is already exists in the selected database, Please choose "
                             "another table name! ");
}

TEST_F(TransferCommand, ProposedTypesReachTheServerWithTheEditsOnTop) {
    Admin({"CREATE DATABASE IF NOT EXISTS cli_transfer",
           "DROP TABLE IF EXISTS cli_transfer.proposed"});
    ASSERT_EQ(Transfer("proposed", {"--propose-types", "--column", "1:who:CHAR:10"}), 0)
        << Err.str();
    TUniConnection con;
    AsAdmin(con);
    // A text in the INT column is refused: the proposal reached the table.
    EXPECT_THROW(
        con.ExecSQL("INSERT INTO cli_transfer.proposed VALUES ('Al', 'many')", {Variant::Null()}),
        Exception);
    con.ExecSQL("INSERT INTO cli_transfer.proposed VALUES ('Al', 7)", {Variant::Null()});
}

TEST_F(TransferCommand, ListsDatabasesAndReportsAWrongPassword) {
    ASSERT_EQ(RunCommand(cli::RunDatabases, ServerArgs()), 0) << Err.str();
    EXPECT_NE(Output.str().find("information_schema\n"), std::string::npos);
    setenv("TABELLIX_PASSWORD", "wrong", 1);
    EXPECT_EQ(RunCommand(cli::RunDatabases, ServerArgs()), 1);
    EXPECT_NE(Err.str().find("Access denied for user"), std::string::npos) << Err.str();
}

// "Bob" is no integer: the server refuses the row in strict mode, and the
// sheet row is named first (in a batch the server's row is the batch's).
TEST_F(TransferCommand, ARefusedRowReadsAsTheStockClientPrintsIt) {
    const struct {
        const char* name;
        const char* table;
        std::vector<std::string> extra;
        std::string message;
    } cases[] = {
        {"one statement per row",
         "strict_people",
         {},
         "tabellix-convert: sheet row 2 was refused\n"
         "ERROR 1366 (22007): Incorrect integer value: 'Bob' for column "
         "`cli_transfer`.`strict_people`.`name` at row 1\n"},
        {"batches",
         "batch_people",
         {"--batch"},
         "tabellix-convert: sheet row 2 was refused\n"
         "ERROR 1366 (22007): Incorrect integer value: 'Bob' for column "
         "`cli_transfer`.`batch_people`.`name` at row 1\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Admin({"CREATE DATABASE IF NOT EXISTS cli_transfer",
               std::string("DROP TABLE IF EXISTS cli_transfer.") + c.table});
        cli::TArgs args{"transfer"};
        for (const std::string& arg : ServerArgs())
            args.push_back(arg);
        args.insert(args.end(), {test::kPeopleBook, "--database", "cli_transfer", "--table",
                                 c.table, "--first-row-names", "--column", "1:name:INT"});
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        std::ostringstream out, err;
        EXPECT_EQ(cli::RunMain(args, out, err), 1);
        EXPECT_EQ(err.str(), c.message);
    }
}

TEST_F(TransferCommand, KeepGoingListsTheRefusedRowsAndExitsWithTwo) {
    Admin({"CREATE DATABASE IF NOT EXISTS cli_transfer",
           "DROP TABLE IF EXISTS cli_transfer.keep_people"});
    test::TempDir dir;
    const std::string rejects = (dir.Path() / "refused.csv").string();
    EXPECT_EQ(
        Transfer("keep_people", {"--column", "1:name:INT", "--keep-going", "--rejects", rejects}),
        2);
    EXPECT_EQ(Output.str(), "cli_transfer.keep_people\n");
    EXPECT_EQ(Err.str(),
              "tabellix-convert: 0 rows stored, 1 refused (listed in " + rejects + ")\n");
    EXPECT_EQ(test::ReadFileBytes(rejects),
              "2,Incorrect integer value: 'Bob' for column `cli_transfer`.`keep_people`.`name` at "
              "row 1,Bob,42\r\n");
}

TEST_F(TransferCommand, TransfersOverTlsPlainAndCompressed) {
    if (Server.tlsCA.empty())
        TABELLIX_MISSING("The test server's TLS set-up (TABELLIX_MYSQL_TLS_CA)");
    setenv("TABELLIX_PASSWORD", Server.tlsPassword.c_str(), 1);
    const cli::TArgs tlsUser = {"--host", Server.host,   "--port", std::to_string(Server.port),
                                "--user", Server.tlsUser};
    Admin({"CREATE DATABASE IF NOT EXISTS cli_transfer", "DROP TABLE IF EXISTS cli_transfer.tls_p",
           "DROP TABLE IF EXISTS cli_transfer.tls_z"});
    for (const std::string& compress : {std::string("False"), std::string("True")}) {
        SCOPED_TRACE(compress);
        const std::string table = compress == "True" ? "tls_z" : "tls_p";
        cli::TArgs args = tlsUser;
        args.insert(args.end(), {test::kPeopleBook, "--database", "cli_transfer", "--table", table,
                                 "--first-row-names", "--tls-ca", Server.tlsCA, "-O",
                                 "MySQL.Compress=" + compress});
        ASSERT_EQ(RunCommand(cli::RunTransfer, args), 0) << Err.str();
        EXPECT_EQ(Output.str(), "cli_transfer." + table + "\n");
        EXPECT_EQ(RunCommand(cli::RunTransfer, args), 1);
        EXPECT_NE(Err.str().find("already exists"), std::string::npos) << Err.str();
    }
    // Without TLS the account is refused; with --tls alone the system's trust
    // store does not know the test CA.
    EXPECT_EQ(RunCommand(cli::RunDatabases, tlsUser), 1);
    EXPECT_NE(Err.str().find("Access denied for user"), std::string::npos) << Err.str();
    cli::TArgs systemStore = tlsUser;
    systemStore.push_back("--tls");
    EXPECT_EQ(RunCommand(cli::RunDatabases, systemStore), 1);
    EXPECT_NE(Err.str().find("SSL connection error"), std::string::npos) << Err.str();
}

TEST_F(TransferCommand, RefusesBadCommandLines) {
    struct Case {
        cli::TArgs args;
        const char* message;
    } cases[] = {
        {{"--host", "h", test::kPeopleBook, "--database", "d"}, "--user is needed"},
        {{"--host", "h", "--user", "u", test::kPeopleBook}, "--database is needed"},
        {{"--host", "h", "--port", "33o6", "--user", "u"},
         "--port wants a TCP port number from 1 to 65535, not \"33o6\""},
        {{"--host", "h", "--user", "u", "--database", "d", test::kPeopleBook, "--table", "1x"},
         "Please input a valid Mysql Table Name"},
        {{"--host", "h", "--user", "u", "--database", "d", test::kPeopleBook, "--rejects", "r"},
         "--rejects needs --keep-going"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(RunCommand(cli::RunTransfer, c.args), 1);
        EXPECT_EQ(Err.str(), c.message);
    }
}

// Without --rejects the refused rows go beside the workbook, as in the
// wizard, not into the folder the command runs in.
TEST_F(TransferCommand, TheDefaultRejectFileLiesBesideTheWorkbook) {
    Admin({"CREATE DATABASE IF NOT EXISTS cli_transfer",
           "DROP TABLE IF EXISTS cli_transfer.beside_people"});
    test::TempDir dir;
    OtherPath = (dir.Path() / "people.xlsx").string();
    cli::TArgs args = ServerArgs();
    args.insert(args.end(), {OtherPath, "--database", "cli_transfer", "--table", "Beside People",
                             "--first-row-names", "--column", "1:name:INT", "--keep-going"});
    EXPECT_EQ(RunCommand(cli::RunTransfer, args), 2) << Err.str();
    const std::string rejects = (dir.Path() / "beside_people-rejects.csv").string();
    EXPECT_EQ(Err.str(),
              "tabellix-convert: 0 rows stored, 1 refused (listed in " + rejects + ")\n");
    EXPECT_EQ(test::ReadFileBytes(rejects).substr(0, 2), "2,");
    EXPECT_FALSE(std::filesystem::exists("beside_people-rejects.csv"));
}

// Refused before anything reaches the server, --force or not: opening the
// reject file would empty the workbook.
TEST_F(TransferCommand, ARejectFileThatIsTheWorkbookIsRefusedBeforeAnythingIsSent) {
    Admin({"CREATE DATABASE IF NOT EXISTS cli_transfer",
           "DROP TABLE IF EXISTS cli_transfer.same_people"});
    test::TempDir dir;
    OtherPath = (dir.Path() / "people.xlsx").string();
    std::ofstream(OtherPath) << "precious";
    const std::string symlink = (dir.Path() / "link.csv").string();
    const std::string hardlink = (dir.Path() / "hard.csv").string();
    std::filesystem::create_symlink(OtherPath, symlink);
    std::filesystem::create_hard_link(OtherPath, hardlink);
    for (const std::string& rejects : {OtherPath, symlink, hardlink}) {
        SCOPED_TRACE(rejects);
        cli::TArgs args = ServerArgs();
        args.insert(args.end(), {OtherPath, "--database", "cli_transfer", "--table", "same_people",
                                 "--first-row-names", "--column", "1:name:INT", "--keep-going",
                                 "--rejects", rejects, "--force"});
        EXPECT_EQ(RunCommand(cli::RunTransfer, args), 1);
        EXPECT_EQ(Err.str(), "The reject file \"" + rejects + "\" is the workbook \"" + OtherPath +
                                 "\" itself; writing it would destroy the workbook. Choose "
                                 "another name.");
        EXPECT_EQ(test::ReadFileBytes(OtherPath), "precious");
        EXPECT_FALSE(HasTable("same_people"));
    }
}

TEST_F(TransferCommand, AnExistingRejectFileIsReplacedOnlyWithForce) {
    Admin({"CREATE DATABASE IF NOT EXISTS cli_transfer",
           "DROP TABLE IF EXISTS cli_transfer.again_people"});
    test::TempDir dir;
    const std::string rejects = (dir.Path() / "refused.csv").string();
    std::ofstream(rejects) << "the last run's";
    const std::vector<std::string> keepGoing{"--column", "1:name:INT", "--keep-going", "--rejects",
                                             rejects};
    EXPECT_EQ(Transfer("again_people", keepGoing), 1);
    EXPECT_EQ(Err.str(), rejects + " exists; --force replaces it");
    EXPECT_EQ(test::ReadFileBytes(rejects), "the last run's");
    EXPECT_FALSE(HasTable("again_people"));

    std::vector<std::string> forced = keepGoing;
    forced.push_back("--force");
    EXPECT_EQ(Transfer("again_people", forced), 2) << Err.str();
    EXPECT_EQ(test::ReadFileBytes(rejects).substr(0, 33), "2,Incorrect integer value: 'Bob' ");
}

// Nothing refused, nothing listed: no file, also with --force over an old
// one, which stays as it was.
TEST_F(TransferCommand, APassThatRefusesNothingWritesNoRejectFile) {
    test::TempDir dir;
    const std::string rejects = (dir.Path() / "refused.csv").string();
    const std::string old = (dir.Path() / "old.csv").string();
    std::ofstream(old) << "the last run's";
    const struct {
        const char* table;
        std::string rejects;
        std::vector<std::string> extra;
    } cases[] = {{"clean_people", rejects, {}}, {"clean_forced", old, {"--force"}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        Admin({"CREATE DATABASE IF NOT EXISTS cli_transfer",
               std::string("DROP TABLE IF EXISTS cli_transfer.") + c.table});
        std::vector<std::string> extra{"--keep-going", "--rejects", c.rejects};
        extra.insert(extra.end(), c.extra.begin(), c.extra.end());
        EXPECT_EQ(Transfer(c.table, extra), 0) << Err.str();
        EXPECT_EQ(Output.str(), std::string("cli_transfer.") + c.table + "\n");
    }
    EXPECT_FALSE(std::filesystem::exists(rejects));
    EXPECT_EQ(test::ReadFileBytes(old), "the last run's");
}

} // namespace
