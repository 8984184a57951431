// The server target against the private MariaDB: the provider's
// registration, Connect, the server branch and its transfer pass.
#include "base/Text.h"
#include "dataaccess/MySQLUniProvider.h"
#include "dataaccess/Uni.h"
#include "engine/field_edit.h"
#include "engine/server_target.h"
#include "mysql/client/MyClassesUni.h"
#include "tests/engine/TransferFixture.h"
#include "tests/support/ExpectError.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

using namespace tabellix;
using namespace tabellix::test;

namespace {

TEST(DataAccessUnits, RegisterTheProviderWhileTheyLiveAndLeaveAnEarlierOneInPlace) {
    TUniProviders& registry = TUniProviders::Instance();
    registry.UnRegisterProvider(TMySQLUniProvider::Class());
    {
        const TProviderRegistration outer;
        TUniProvider* const provider = registry.GetProvider("MySQL");
        ASSERT_NE(provider, nullptr);
        {
            const TProviderRegistration inner;
            EXPECT_EQ(registry.GetProvider("MySQL"), provider) << "a connection may hold it";
        }
        EXPECT_EQ(registry.GetProvider("MySQL"), provider) << "the inner one registered nothing";
    }
    EXPECT_EQ(registry.GetProvider("MySQL"), nullptr);
}

TEST_F(TransferFixture, ConnectSetsThePortLastFromItsTextThenListsTheDatabases) {
    TUniConnection con1;
    set_up_connection(con1, {"MySQL.ConnectionTimeout=5"});
    EXPECT_EQ(con1.ProviderName(), "MySQL");
    EXPECT_EQ(con1.SpecificOptions().Items(),
              (std::vector<std::string>{"MySQL.UseUnicode=True", "MySQL.ConnectionTimeout=5"}));
    TServerLogin login = Login();
    login.Port = "33o6";
    auto e = ExpectError<EConvertError>([&] { connect_server(con1, login); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Message(), "''33o6'' is not a valid integer value");
    EXPECT_EQ(con1.Server(), Server.host);
    EXPECT_EQ(con1.Username(), Server.user);
    EXPECT_EQ(con1.Password(), Server.password);
    EXPECT_EQ(con1.Port(), 0);
    EXPECT_FALSE(con1.Connected());

    connect_server(con1, Login());
    EXPECT_TRUE(con1.Connected());
    const std::vector<std::string> names = list_databases(con1);
    EXPECT_TRUE(Holds(names, "engine_transfer"));
    EXPECT_TRUE(Holds(names, "information_schema"));
}

TEST_F(TransferFixture, TheServerBranchRefusesATakenNameInTheChosenDatabaseBeforeAnythingIsSent) {
    AddSheet("Sheet1", [](TSheet& s) { Rows(s, {{"a"}}); });
    Con.ExecSQL("CREATE DATABASE IF NOT EXISTS engine_branch", kNoParams);
    Con.ExecSQL("DROP TABLE IF EXISTS engine_branch.taken_name", kNoParams);
    Con.ExecSQL("CREATE TABLE engine_branch.taken_name (v INT)", kNoParams);
    Con.ExecSQL("INSERT INTO engine_branch.taken_name VALUES (7)", kNoParams);
    ASSERT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, false));
    Calls.clear();
    TableName = " Taken Name";
    std::vector<std::string> listed;
    bool started = false;
    TServerSteps steps;
    steps.OnTables = [&](const TStringList& tables) { listed = tables.Items(); };
    steps.OnStart = [&] { started = true; };
    const TServerOutcome outcome = transfer_to_server(Funcs, Con, "engine_branch", Form, steps);
    EXPECT_EQ(TableName, "taken_name");
    EXPECT_EQ(Con.Database(), "engine_branch");
    ASSERT_TRUE(outcome.TableTaken);
    EXPECT_EQ(*outcome.TableTaken, "The table \"taken_name\" is already exists in the selected "
                                   "database, Please choose another table name! ");
    EXPECT_FALSE(outcome.Transferred);
    EXPECT_TRUE(Holds(listed, "taken_name"));
    EXPECT_FALSE(started);
    EXPECT_TRUE(Calls.empty()) << "the workbook is not opened";
    EXPECT_TRUE(Messages.empty()) << "the front end shows the message";
    EXPECT_EQ(StoredRows("engine_branch.taken_name"), std::vector<std::string>{"7"});
}

TEST_F(TransferFixture, TheServerBranchTransfersANameThatDiffersFromATakenOneInLetterCaseOnly) {
    AddSheet("Sheet1", [](TSheet& s) { Rows(s, {{"a"}, {"b"}}); });
    UseTable("case_only");
    Con.ExecSQL("DROP TABLE IF EXISTS Case_Only", kNoParams);
    Con.ExecSQL("CREATE TABLE Case_Only (v INT)", kNoParams);
    ASSERT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, false));
    Calls.clear();
    TableName = "Case Only";
    std::optional<bool> existedAtStart;
    size_t callsAtStart = 0;
    TServerSteps steps;
    steps.OnStart = [&] {
        existedAtStart = HasTable("case_only");
        callsAtStart = Calls.size();
    };
    const TServerOutcome outcome = transfer_to_server(Funcs, Con, "engine_transfer", Form, steps);
    EXPECT_FALSE(outcome.TableTaken);
    EXPECT_TRUE(outcome.Transferred);
    EXPECT_EQ(existedAtStart, false) << "the start comes before the CREATE TABLE";
    EXPECT_EQ(callsAtStart, 0u) << "and before the workbook is opened";
    EXPECT_EQ(StoredRows("case_only"), (std::vector<std::string>{"a", "b"}));
}

TEST_F(TransferFixture, SendsTheCreateStatementAndOneInsertPerRow) {
    AddSheet("Sheet1", [](TSheet& s) {
        Rows(s, {{"Name", "Age"}, {"Bob", 42.0}, {Variant(), ""}, {"O'Brien \\ :p ?", 3.5}});
    });
    UseTable("people_three");
    ASSERT_TRUE(Transfer(true));
    EXPECT_EQ(StoredRows("people_three"),
              (std::vector<std::string>{"Bob|42", "O'Brien \\ :p ?|3.5"}));
    EXPECT_EQ(std::count(Calls.begin(), Calls.end(), "Quit"), 1);
    EXPECT_EQ(std::count(Calls.begin(), Calls.end(), "WorkBooks.Close"), 0);
    EXPECT_EQ(std::count(Calls.begin(), Calls.end(), "DisplayAlerts:=False"), 0);
    EXPECT_EQ(Gauge.Events.back(), "process");
    EXPECT_EQ(Con.SpecificOptions().Items(),
              (std::vector<std::string>{"MySQL.UseUnicode=True", "UseUnicode=True"}));
    if (Server.generalLog.empty())
        TABELLIX_MISSING("The test server's statement log");
    const std::vector<std::string> logged = Logged("people_three");
    ASSERT_EQ(logged.size(), 3u);
    EXPECT_EQ(logged[0], AsLogged(Funcs.get_table("people_three", "", Grid)));
    EXPECT_EQ(logged[1], "insert into people_three values('Bob','42' )");
    EXPECT_EQ(logged[2], "insert into people_three values('O\\'Brien \\\\ :p ?','3.5' )");
}

TEST_F(TransferFixture, EmptyRowsBelowTheHeaderCreateAnEmptyTable) {
    AddSheet("Sheet1", [](TSheet& s) {
        Rows(s, {{"Name"}});
        s.Touch(4, 1);
    });
    UseTable("only_header");
    ASSERT_TRUE(Transfer(true));
    EXPECT_TRUE(StoredRows("only_header").empty());
}

TEST_F(TransferFixture, AWorkbookGoneAfterTheGridLeavesTheEmptyTable) {
    AddSheet("Sheet1", [](TSheet& s) { Rows(s, {{"x"}}); });
    UseTable("gone_book");
    ASSERT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, false));
    Form.filename = "/data/deleted.xlsx";
    Calls.clear();
    EXPECT_FALSE(Funcs.start_transfer(Form, Con));
    EXPECT_EQ(Messages.back(), "Cannot open the workbook \"/data/deleted.xlsx\"");
    EXPECT_TRUE(StoredRows("gone_book").empty());
    EXPECT_EQ(std::count(Calls.begin(), Calls.end(), "Quit"), 0);
}

TEST_F(TransferFixture, ASecondConversionOverTheSameConnectionWorksAlike) {
    AddSheet("Sheet1", [](TSheet& s) { Rows(s, {{"a"}, {"b"}}); });
    UseTable("first_one");
    ASSERT_TRUE(Transfer(false));
    UseTable("second_one");
    ASSERT_TRUE(Transfer(false));
    EXPECT_EQ(StoredRows("second_one"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Con.SpecificOptions().Count(), 2);
}

TEST_F(TransferFixture, ARejectedCreateStatementEndsThePassBeforeTheWorkbook) {
    AddSheet("Sheet1", [](TSheet& s) { Rows(s, {{"a"}}); });
    UseTable("exists_already");
    Con.ExecSQL("CREATE TABLE exists_already (v INT)", kNoParams);
    ASSERT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, false));
    Calls.clear();
    auto e = ExpectError<EUniError>([&] { Funcs.start_transfer(Form, Con); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 1050);
    EXPECT_TRUE(Calls.empty());
}

TEST_F(TransferFixture, ARejectedInsertKeepsTheRowsBefore) {
    AddSheet("Sheet1", [](TSheet& s) { Rows(s, {{"1"}, {"2"}, {"three"}, {"4"}}); });
    UseTable("typed_rows");
    ASSERT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, false));
    Grid.SetCell(1, 1, "INT");
    Calls.clear();
    EXPECT_THROW(Funcs.start_transfer(Form, Con), EUniError);
    EXPECT_EQ(StoredRows("typed_rows"), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(std::count(Calls.begin(), Calls.end(), "Quit"), 0);
    EXPECT_EQ(Calls.back(), "Release");
}

// Under a server mode of NO_BACKSLASH_ESCAPES the escaped quote of a cell
// would end its string; the session switches the mode off at login, so the
// cell is stored as it is and the sentinel table stays.
TEST_F(TransferFixture, ACellCannotEndItsStringUnderNoBackslashEscapes) {
    const std::string cell = "'); DROP TABLE victim; -- ";
    AddSheet("Sheet1", [&](TSheet& s) { Rows(s, {{cell}}); });
    UseTable("quoted_cells");
    Con.ExecSQL("CREATE TABLE IF NOT EXISTS victim (id INT)", kNoParams);
    const std::string mode = StoredRows("(SELECT @@GLOBAL.sql_mode) AS m").at(0);
    Con.ExecSQL("SET GLOBAL sql_mode = 'NO_BACKSLASH_ESCAPES,STRICT_TRANS_TABLES'", kNoParams);
    // Only the login must see the mode: other tests share the server.
    struct Restore {
        TUniConnection& con;
        const std::string& mode;
        ~Restore() { con.ExecSQL("SET GLOBAL sql_mode = '" + mode + "'", kNoParams); }
    };
    {
        Restore restore{Con, mode};
        Con.Close();
        Con.Open();
    }
    EXPECT_EQ(StoredRows("(SELECT @@SESSION.sql_mode) AS m"),
              (std::vector<std::string>{"STRICT_TRANS_TABLES"}));
    ASSERT_TRUE(Transfer(false));
    EXPECT_EQ(StoredRows("quoted_cells"), (std::vector<std::string>{cell}));
    EXPECT_TRUE(HasTable("victim"));
}

TEST_F(TransferFixture, AChosenEngineAndKeyMakeTheTableAndItsRowsStay) {
    AddSheet("Sheet1", [](TSheet& s) { Rows(s, {{"Id", "Name"}, {"1", "a"}, {"2", "b"}}); });
    UseTable("innodb_keyed");
    std::vector<std::string> notices;
    Funcs.OnNotice = [&](const std::string& text) { notices.push_back(text); };
    Funcs.TableOptions = {"InnoDB", TCharsetChoice::Utf8mb4, 1};
    ASSERT_TRUE(Transfer(true));
    // A fresh connection sees the rows: they were committed as they went.
    TUniConnection other;
    other.SetProviderName("MySQL");
    other.SetServer(Server.host);
    other.SetPort(Server.port);
    other.SetUsername(Server.user);
    other.SetPassword(Server.password);
    other.SetDatabase("engine_transfer");
    other.Open();
    EXPECT_EQ(StoredRows("innodb_keyed", &other), (std::vector<std::string>{"1|a", "2|b"}));
    EXPECT_EQ(StoredRows("(SELECT ENGINE, TABLE_COLLATION FROM information_schema.TABLES WHERE "
                         "TABLE_SCHEMA = 'engine_transfer' AND TABLE_NAME = 'innodb_keyed') AS t"),
              (std::vector<std::string>{"InnoDB|utf8mb4_general_ci"}));
    auto e = test::ExpectError<EUniError>(
        [&] { Con.ExecSQL("insert into innodb_keyed values('1','again' );", kNoParams); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 1062);
    // The test server is no cluster node: nothing to tell.
    EXPECT_TRUE(notices.empty());
}

TEST_F(TransferFixture, WithoutAChosenEngineAServerOutsideAClusterGetsMyISAM) {
    AddSheet("Sheet1", [](TSheet& s) { Rows(s, {{"a"}}); });
    UseTable("plain_engine");
    std::vector<std::string> notices;
    Funcs.OnNotice = [&](const std::string& text) { notices.push_back(text); };
    ASSERT_TRUE(Transfer(false));
    EXPECT_EQ(StoredRows("(SELECT ENGINE FROM information_schema.TABLES WHERE TABLE_SCHEMA = "
                         "'engine_transfer' AND TABLE_NAME = 'plain_engine') AS t"),
              std::vector<std::string>{"MyISAM"});
    EXPECT_TRUE(notices.empty());
}

// A sheet of typed values converted under a comma locale, the columns
// typed the way the field editor types them; both roads must store every
// value as the cell holds it.
class TypedRoundTrip : public TransferFixture {
protected:
    void SetUp() override {
        TransferFixture::SetUp();
        if (HasFatalFailure() || IsSkipped())
            return;
        Funcs = myfuns(TFormatSettings("de_DE"));
        Funcs.OnShowMessage = [this](const std::string& text) { Messages.push_back(text); };
        AddSheet("Sheet1", [](TSheet& s) {
            const double day = 46366; // 2026-12-10
            Rows(s, {{"Day", "Stamp", "Clock", "Span", "Amount", "Count", "Flag", "Big", "Note"},
                     {VarDate{day}, VarDate{day + (12 * 3600 + 90) / 86400.0}, VarDate{0.75},
                      VarDate{1.5}, 1234.5, 42.0, true, 9000000000.0, "line1\r\nline2"},
                     {VarDate{36191}, Variant(), Variant(), VarDate{2.25}, -0.25, -7.0, false,
                      Variant(), "O'Brien \\ \t \xF0\x9F\x98\x80"},
                     {Variant(), Variant(), Variant(), Variant(), Variant(), Variant(), Variant(),
                      Variant(), "blanks"}});
        });
        Form.chk_names = true;
        ASSERT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, true));
        const char* types[] = {"DATE",          "DATETIME", "TIME",    "TIME",
                               "DECIMAL(12,2)", "INT",      "TINYINT", "BIGINT"};
        for (int row = 1; row <= 8; ++row)
            TypeColumn(row, types[row - 1]);
    }

    void TypeColumn(int row, const std::string& type) {
        TFieldEdit edit{Grid.Cell(0, row), type, default_field_length(type).value_or(""), row};
        ASSERT_TRUE(apply_field_edit(Funcs, edit, Grid, row).accepted) << type;
    }

    // Every row as text, NULL as "N" and the note in hex, so every byte shows.
    std::vector<std::string> ReadBack(const std::string& table) {
        return StoredRows("(SELECT CONCAT_WS('|', IFNULL(`day`, 'N'), IFNULL(stamp, 'N'), "
                          "IFNULL(clock, 'N'), IFNULL(span, 'N'), IFNULL(amount, 'N'), "
                          "IFNULL(`count`, 'N'), IFNULL(flag, 'N'), IFNULL(big, 'N'), "
                          "HEX(note)) FROM " +
                          table + ") AS stored");
    }

    static std::string Hex(const std::string& bytes) {
        std::string out;
        for (unsigned char c : bytes) {
            out += "0123456789ABCDEF"[c >> 4];
            out += "0123456789ABCDEF"[c & 15];
        }
        return out;
    }

    std::vector<std::string> Expected() const {
        return {"2026-12-10|2026-12-10 12:01:30|18:00:00|36:00:00|1234.50|42|1|9000000000|" +
                    Hex("line1\r\nline2"),
                "1999-01-31|N|N|54:00:00|-0.25|-7|0|N|" + Hex("O'Brien \\ \t \xF0\x9F\x98\x80"),
                "N|N|N|N|N|N|N|N|" + Hex("blanks")};
    }

    // Loads the dump with the stock client, as a user would, its session
    // starting in sqlMode when one is given, in charset by default.
    int LoadWithClient(const std::string& file, const std::string& sqlMode = "",
                       const std::string& charset = "utf8mb4") {
        setenv("MYSQL_PWD", Server.password.c_str(), 1);
        const std::string init =
            sqlMode.empty() ? "" : " \"--init-command=SET SESSION sql_mode='" + sqlMode + "'\"";
        const std::string command =
            "mariadb --default-character-set=" + charset + " --host=" + Server.host +
            " --port=" + std::to_string(Server.port) + " --user=" + Server.user + init +
            " engine_transfer < '" + file + "'";
        return std::system(command.c_str());
    }
};

TEST_F(TypedRoundTrip, TheTransferStoresEveryValueAsTheCellHoldsIt) {
    UseTable("typed_transfer");
    Calls.clear();
    ASSERT_TRUE(Funcs.start_transfer(Form, Con));
    EXPECT_EQ(ReadBack("typed_transfer"), Expected());
}

TEST_F(TypedRoundTrip, TheDumpReadByTheStockClientStoresTheSame) {
    UseTable("typed_dump");
    test::TempDir dir;
    const std::string file = (dir.Path() / "typed.SQL").string();
    ASSERT_TRUE(Funcs.dump_file(file, Form));
    ASSERT_EQ(LoadWithClient(file), 0) << test::ReadFileBytes(file);
    EXPECT_EQ(ReadBack("typed_dump"), Expected());
}

// The sheet holds an emoji: the dump names its character set itself, so a
// client set up for another one loads it whole.
TEST_F(TypedRoundTrip, AUtf8mb4DumpLoadsWholeIntoAClientOfAnotherCharacterSet) {
    UseTable("typed_latin1_client");
    test::TempDir dir;
    const std::string file = (dir.Path() / "typed.SQL").string();
    ASSERT_TRUE(Funcs.dump_file(file, Form));
    EXPECT_TRUE(test::ReadFileBytes(file).starts_with(kBom + "SET NAMES utf8mb4;\n CREATE TABLE"));
    ASSERT_EQ(LoadWithClient(file, "", "latin1"), 0) << test::ReadFileBytes(file);
    EXPECT_EQ(ReadBack("typed_latin1_client"), Expected());
}

// The loader stores what the default road stores, value for value, by each
// of its ways; InnoDB so that LOAD DATA can be used.
TEST_F(TypedRoundTrip, EveryLoaderMethodStoresWhatTheDefaultRoadStores) {
    const struct {
        const char* table;
        TLoadMethod method;
        int rows;
        bool loadData;
    } cases[] = {{"typed_batch", TLoadMethod::Batch, 0, false},
                 {"typed_batch_two", TLoadMethod::Batch, 2, false},
                 {"typed_load_data", TLoadMethod::LoadData, 0, true},
                 {"typed_fastest", TLoadMethod::Fastest, 1, true}};
    Funcs.TableOptions.Engine = "InnoDB";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.table);
        UseTable(c.table);
        Funcs.Loader = {c.method, c.rows, false, ""};
        ASSERT_TRUE(Funcs.start_transfer(Form, Con));
        EXPECT_EQ(ReadBack(c.table), Expected());
        EXPECT_EQ(Funcs.LastLoad().Stored, 3);
        EXPECT_EQ(Funcs.LastLoad().LoadData, c.loadData);
    }
}

TEST_F(TypedRoundTrip, TheExtendedInsertDumpReadByTheStockClientStoresTheSame) {
    UseTable("typed_extended");
    Funcs.Loader = {TLoadMethod::Batch, 2, false, ""};
    test::TempDir dir;
    const std::string file = (dir.Path() / "typed.SQL").string();
    ASSERT_TRUE(Funcs.dump_file(file, Form));
    const std::string dump = test::ReadFileBytes(file);
    EXPECT_TRUE(dump.starts_with(kBom + kUtf8mb4Session + kStrictSession + " CREATE TABLE"))
        << dump;
    EXPECT_NE(dump.find("'),("), std::string::npos) << "two rows in one statement";
    // A loading session without backslash escapes gets them back first.
    ASSERT_EQ(LoadWithClient(file, "NO_BACKSLASH_ESCAPES"), 0) << dump;
    EXPECT_EQ(ReadBack("typed_extended"), Expected());
}

} // namespace
