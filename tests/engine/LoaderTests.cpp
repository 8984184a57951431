// The loader against the private MariaDB: batches cut at the packet limit,
// the refused row of a batch found, going on past refused rows, LOAD DATA
// refused by the server; and against a scripted server that hangs up in the
// middle of a batch.
#include "dataaccess/Uni.h"
#include "engine/loader.h"
#include "engine/reject_file.h"
#include "tests/engine/TransferFixture.h"
#include "tests/mysql/protocol/FakeServer.h"
#include "tests/support/ExpectError.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using namespace tabellix;
using namespace tabellix::test;

namespace {

std::string ServerText(TUniConnection& con, const std::string& sql) {
    TMySQLRecordset rs;
    rs.SetConnection(static_cast<TMySQLConnection*>(con.IConnection()));
    rs.SetProp(22, true);
    rs.SetSQL(sql);
    rs.Open();
    return rs.GetFieldAsVariant(0, 0).AsString();
}

class LoaderFixture : public TransferFixture {
protected:
    // A one-column sheet of the given cells, the column typed INT.
    void IntSheet(std::vector<std::vector<Variant>> rows) {
        AddSheet("Sheet1", [rows](TSheet& s) { Rows(s, rows); });
        ASSERT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, false));
        Grid.SetCell(1, 1, "INT");
        Grid.SetCell(2, 1, "11");
    }

    // Runs add over a loader of TableName on con, then finishes it.
    void LoadDirect(TUniConnection& con, const TLoaderOptions& options,
                    const std::function<void(TLoader&)>& add) {
        TLoader loader(con, {TableName, false, false}, options, {}, nullptr, {}, Report);
        add(loader);
        loader.Finish();
    }

    // The multi-row inserts the server logged for the table.
    std::vector<std::string> LoggedInserts() {
        std::vector<std::string> inserts;
        for (const std::string& statement : Logged(TableName))
            if (statement.starts_with("insert into"))
                inserts.push_back(statement);
        return inserts;
    }

    TLoadReport Report;
};

// A server beside the main one, where the same user logs in and the test
// database is chosen.
class ServerBeside : public LoaderFixture {
protected:
    void OpenBeside(int port) {
        set_up_connection(Beside);
        connect_server(Beside, {Server.host, std::to_string(port), Server.user, Server.password});
        Beside.ExecSQL("CREATE DATABASE IF NOT EXISTS engine_transfer", kNoParams);
        Beside.SetDatabase("engine_transfer");
    }

    void UseTableBeside(const std::string& name) {
        TableName = name;
        Beside.ExecSQL("DROP TABLE IF EXISTS " + name, kNoParams);
    }

    TUniConnection Beside;
};

// The limited server: no local files, packets of at most 4096 bytes.
class LimitedServer : public ServerBeside {
protected:
    void SetUp() override {
        ServerBeside::SetUp();
        if (HasFatalFailure() || IsSkipped())
            return;
        if (Server.limitedPort == 0)
            TABELLIX_MISSING("The limited test server (TABELLIX_MYSQL_LIMITED_PORT)");
        OpenBeside(Server.limitedPort);
    }
};

// The lax server, whose sql_mode is empty: left to itself it stores what it
// can of a bad value, with a warning.
class LaxServer : public ServerBeside {
protected:
    void SetUp() override {
        ServerBeside::SetUp();
        if (HasFatalFailure() || IsSkipped())
            return;
        if (Server.laxPort == 0)
            TABELLIX_MISSING("The lax test server (TABELLIX_MYSQL_LAX_PORT)");
        OpenBeside(Server.laxPort);
    }

    // A sheet of one column typed `type`: a good value, a bad one, a good one.
    void BadValueSheet(const char* type, const char* length, const std::string& good,
                       const std::string& bad) {
        Sheets.clear();
        AddSheet("Sheet1", [=](TSheet& s) { Rows(s, {{good}, {bad}, {good}}); });
        ASSERT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, false));
        Grid.SetCell(1, 1, type);
        Grid.SetCell(2, 1, length);
    }
};

// Values a lax server adjusts, each refused by the strict session.
const struct {
    const char* name;
    const char* type;
    const char* length;
    std::string good, bad, stored;
    int code;
    std::string message;
} kAdjustedValues[] = {
    {"too long a text", "VARCHAR", "255", "short", std::string(300, 'x'), "short", 1406,
     "Data too long for column 'column' at row 1"},
    {"a number with letters", "INT", "11", "12", "12abc", "12", 1265,
     "Data truncated for column 'column' at row 1"},
    {"a date that does not exist", "DATE", "", "2024-01-05", "2024-13-45", "1/5/2024", 1292,
     "Incorrect date value: '2024-13-45' for column `engine_transfer`.`lax_3`.`column` at row 1"},
};

const struct {
    const char* name;
    TLoadMethod method;
} kRoads[] = {
    {"one statement per row", TLoadMethod::PerRow},
    {"batches", TLoadMethod::Batch},
    {"LOAD DATA", TLoadMethod::LoadData},
};

TEST_F(LimitedServer, CutsItsStatementsBeforeTheServersPacketLimit) {
    std::vector<std::vector<Variant>> rows;
    std::vector<std::string> expected;
    for (int i = 1; i <= 200; ++i) {
        expected.push_back(std::to_string(i) + std::string(90, 'x'));
        rows.push_back({Variant(expected.back())});
    }
    AddSheet("Sheet1", [rows](TSheet& s) { Rows(s, rows); });
    ASSERT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, false));
    UseTableBeside("loader_packet");
    Funcs.Loader.Method = TLoadMethod::Batch;
    ASSERT_TRUE(Funcs.start_transfer(Form, Beside));
    EXPECT_EQ(Funcs.LastLoad().Stored, 200);
    // A statement beyond the limit would have cost the session.
    const int inserts = std::stoi(ServerText(Beside, "SELECT VARIABLE_VALUE FROM "
                                                     "information_schema.SESSION_STATUS WHERE "
                                                     "VARIABLE_NAME = 'COM_INSERT'"));
    EXPECT_GE(inserts, 6) << "about 19,000 bytes in statements of at most 3,072";
    EXPECT_EQ(StoredRows(TableName, &Beside), expected);
}

// The table is InnoDB, so that LOAD DATA can be used; a table name per case,
// so that a message names its own.
TEST_F(LaxServer, EveryRoadRefusesAnAdjustedValueWithItsSheetRow) {
    int number = 0;
    for (const auto& c : kAdjustedValues) {
        BadValueSheet(c.type, c.length, c.good, c.bad);
        const std::string table = "lax_" + std::to_string(++number);
        for (const auto& road : kRoads) {
            SCOPED_TRACE(std::string(c.name) + ", " + road.name);
            UseTableBeside(table);
            Funcs.TableOptions.Engine = "InnoDB";
            Funcs.Loader = {road.method, 0, false, ""};
            const auto e = ExpectError<EDAError>([&] { Funcs.start_transfer(Form, Beside); });
            ASSERT_TRUE(e);
            EXPECT_EQ(e->ErrorCode(), c.code);
            EXPECT_EQ(SplitServerMessage(*e).Text, c.message);
            EXPECT_EQ(Funcs.LastLoad().FailedRow, 2);
            EXPECT_EQ(StoredRows(TableName, &Beside), std::vector<std::string>{c.stored});
            EXPECT_EQ(ServerText(Beside, "SELECT @@SESSION.sql_mode"), "") << "given back";
        }
    }
}

TEST_F(LaxServer, GoingOnPastAdjustedValuesListsThemWithTheServersMessage) {
    int number = 0;
    for (const auto& c : kAdjustedValues) {
        BadValueSheet(c.type, c.length, c.good, c.bad);
        const std::string table = "lax_kept_" + std::to_string(++number);
        for (const auto& road : kRoads) {
            if (road.method == TLoadMethod::PerRow)
                continue;
            SCOPED_TRACE(std::string(c.name) + ", " + road.name);
            UseTableBeside(table);
            Funcs.TableOptions.Engine = "InnoDB";
            TempDir dir;
            const std::string rejects = (dir.Path() / "rejects.csv").string();
            Funcs.Loader = {road.method, 0, true, rejects};
            ASSERT_TRUE(Funcs.start_transfer(Form, Beside));
            EXPECT_EQ(StoredRows(TableName, &Beside),
                      (std::vector<std::string>{c.stored, c.stored}));
            EXPECT_EQ(Funcs.LastLoad().Stored, 2);
            EXPECT_EQ(Funcs.LastLoad().Refused, 1);
            // The server's message names this test's own table.
            std::string message = c.message;
            if (const size_t at = message.find("`lax_"); at != std::string::npos)
                message.replace(at, 5, "`lax_kept_");
            EXPECT_EQ(ReadFileBytes(rejects), "2," + message + "," + c.bad + "\r\n");
            EXPECT_EQ(ServerText(Beside, "SELECT @@SESSION.sql_mode"), "") << "given back";
        }
    }
}

// The loader over a session of the test's making: a mode set for the
// session goes with a transfer's fresh session.
TEST_F(LoaderFixture, ASessionThatIsNotStrictRefusesWhatAStrictOneRefuses) {
    UseTable("loader_lenient");
    Con.ExecSQL("CREATE TABLE loader_lenient (n INT) ENGINE=MyISAM", kNoParams);
    Con.ExecSQL("SET SESSION sql_mode = ''", kNoParams);
    const auto e = ExpectError<EDAError>([&] {
        LoadDirect(Con, {TLoadMethod::Batch, 0, false, ""}, [](TLoader& loader) {
            loader.Add(1, {"1"});
            loader.Add(2, {"x"});
            loader.Add(3, {"3"});
        });
    });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 1366);
    EXPECT_EQ(Report.FailedRow, 2);
    EXPECT_EQ(StoredRows(TableName), std::vector<std::string>{"1"});
    EXPECT_EQ(ServerText(Con, "SELECT @@SESSION.sql_mode"), "");
}

TEST_F(LoaderFixture, ARowLimitCutsTheStatementsToo) {
    IntSheet({{"1"}, {"2"}, {"3"}, {"4"}, {"5"}});
    UseTable("loader_row_limit");
    Funcs.Loader = {TLoadMethod::Batch, 2, false, ""};
    ASSERT_TRUE(Funcs.start_transfer(Form, Con));
    EXPECT_EQ(LoggedInserts(),
              (std::vector<std::string>{"insert into loader_row_limit values('1'),('2')",
                                        "insert into loader_row_limit values('3'),('4')",
                                        "insert into loader_row_limit values('5')"}));
}

// MyISAM keeps the rows of a multi-row insert before a refused one, and
// without a strict session would store the bad value as 0; InnoDB takes
// the whole statement back. Either way the rows before the refused one are
// stored, and the error is the one its own statement gets.
TEST_F(LoaderFixture, FindsTheRefusedRowOfABatchAndStoresTheRowsBeforeIt) {
    IntSheet({{"1"}, {"2"}, {"x"}, {"4"}});
    for (const char* engine : {"MyISAM", "InnoDB"}) {
        SCOPED_TRACE(engine);
        UseTable(std::string("loader_refused_") + engine);
        Funcs.TableOptions.Engine = engine;
        Funcs.Loader.Method = TLoadMethod::Batch;
        Gauge.Milestones.clear();
        const auto e = ExpectError<EUniError>([&] { Funcs.start_transfer(Form, Con); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->ErrorCode(), 1366);
        EXPECT_NE(e->Message().find("Incorrect integer value: 'x'"), std::string::npos);
        EXPECT_NE(e->Message().find("at row 1"), std::string::npos) << "its own statement";
        EXPECT_EQ(Funcs.LastLoad().FailedRow, 3);
        EXPECT_EQ(Funcs.LastLoad().Stored, 2);
        EXPECT_EQ(Gauge.Milestones.back(), "row 3") << "the front ends tell where it stopped";
        EXPECT_EQ(StoredRows(TableName), (std::vector<std::string>{"1", "2"}));
    }
}

TEST_F(LoaderFixture, GivesTheSessionItsSqlModeBack) {
    IntSheet({{"1"}, {"x"}});
    const std::string before = ServerText(Con, "SELECT @@SESSION.sql_mode");
    ASSERT_NE(before.find("STRICT_TRANS_TABLES"), std::string::npos);
    UseTable("loader_mode_back");
    Funcs.Loader.Method = TLoadMethod::Batch;
    EXPECT_THROW(Funcs.start_transfer(Form, Con), EUniError);
    EXPECT_EQ(ServerText(Con, "SELECT @@SESSION.sql_mode"), before);
}

TEST_F(LoaderFixture, GoingOnPastRefusedRowsListsThemInTheRejectFile) {
    AddSheet("Sheet1", [](TSheet& s) {
        Rows(s, {{"Id", "Note"},
                 {"1", "one"},
                 {"x", "say \"hi\", twice"},
                 {"3", "three"},
                 {"5", "five"}});
    });
    ASSERT_TRUE(Funcs.load_grid(Grid, kBook, SheetList, true));
    Form.chk_names = true;
    Grid.SetCell(1, 1, "INT");
    Grid.SetCell(2, 1, "11");
    Grid.SetCell(1, 2, "VARCHAR");
    UseTable("loader_rejects");
    Con.ExecSQL("SET SESSION sql_mode = 'STRICT_TRANS_TABLES'", kNoParams);
    TempDir dir;
    const std::string rejects = (dir.Path() / "rejects.csv").string();
    Funcs.Loader = {TLoadMethod::Batch, 0, true, rejects};
    ASSERT_TRUE(Funcs.start_transfer(Form, Con));
    EXPECT_EQ(StoredRows(TableName), (std::vector<std::string>{"1|one", "3|three", "5|five"}));
    EXPECT_EQ(Funcs.LastLoad().Stored, 3);
    EXPECT_EQ(Funcs.LastLoad().Refused, 1);
    EXPECT_EQ(ReadFileBytes(rejects),
              "3,Incorrect integer value: 'x' for column `engine_transfer`.`loader_rejects`.`id` "
              "at row 1,x,\"say \"\"hi\"\", twice\"\r\n");
}

TEST_F(LoaderFixture, ARejectFileThatCannotBeMadeStopsThePassBeforeTheTable) {
    IntSheet({{"1"}});
    UseTable("loader_no_rejects");
    Funcs.Loader = {TLoadMethod::Batch, 0, true, "/nonexistent/folder/rejects.csv"};
    EXPECT_THROW(Funcs.start_transfer(Form, Con), EFCreateError);
    EXPECT_FALSE(HasTable(TableName));
}

TEST_F(LimitedServer, LoadDataRefusedByTheServerIsSaidOrGivesWayToBatches) {
    IntSheet({{"1"}, {"2"}});
    Funcs.TableOptions.Engine = "InnoDB";
    UseTableBeside("loader_no_local");
    Funcs.Loader.Method = TLoadMethod::LoadData;
    const auto e = ExpectError<ELoadError>([&] { Funcs.start_transfer(Form, Beside); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Message(), "LOAD DATA cannot be used: the server does not allow LOAD DATA LOCAL "
                            "INFILE (local_infile is OFF)");
    TStringList tables;
    Beside.GetTableNames(tables, false);
    EXPECT_FALSE(Holds(tables.Items(), TableName)) << "refused before anything was sent";

    std::vector<std::string> notices;
    Funcs.OnNotice = [&](const std::string& text) { notices.push_back(text); };
    Funcs.Loader.Method = TLoadMethod::Fastest;
    ASSERT_TRUE(Funcs.start_transfer(Form, Beside));
    EXPECT_FALSE(Funcs.LastLoad().LoadData);
    EXPECT_EQ(StoredRows(TableName, &Beside), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(notices, std::vector<std::string>{"LOAD DATA cannot be used: the server does not "
                                                "allow LOAD DATA LOCAL INFILE (local_infile is "
                                                "OFF); the rows go in multi-row inserts"});
}

TEST_F(LoaderFixture, LoadDataTakesBackABatchWithAnAdjustedValueAndFindsTheRow) {
    IntSheet({{"1"}, {"x"}, {"3"}});
    Funcs.TableOptions.Engine = "InnoDB";
    UseTable("loader_load_refused");
    Funcs.Loader.Method = TLoadMethod::LoadData;
    EXPECT_THROW(Funcs.start_transfer(Form, Con), EUniError);
    EXPECT_TRUE(Funcs.LastLoad().LoadData);
    EXPECT_EQ(Funcs.LastLoad().FailedRow, 2);
    EXPECT_EQ(StoredRows(TableName), std::vector<std::string>{"1"});
}

TEST_F(LoaderFixture, AnErrorCellAfterBatchedRowsKeepsTheRowsBeforeIt) {
    IntSheet({{"1"}, {"2"}, {VarError{"#N/A"}}, {"4"}});
    UseTable("loader_error_cell");
    Funcs.Loader.Method = TLoadMethod::Batch;
    EXPECT_THROW(Funcs.start_transfer(Form, Con), EConvertError);
    EXPECT_EQ(StoredRows(TableName), (std::vector<std::string>{"1", "2"}));
}

// A scripted server's login and the loader's first statements: SET NAMES and
// the packet limit, answered with packet; then the steps of then.
std::vector<FakeServer::Step> LoaderStart(const std::string& packet,
                                          std::vector<FakeServer::Step> then) {
    const std::string eof = "\xFE\x00\x00\x02\x00";
    std::vector<FakeServer::Step> steps{
        FakeServer::Read(), // SET NAMES utf8
        FakeServer::Send(Packet(1, OkPayload())),
        FakeServer::Read(), // SELECT @@max_allowed_packet
        FakeServer::Send(Packet(1, "\x01") + Packet(2, Column41("@@max_allowed_packet", 8, 21)) +
                         Packet(3, eof) + Packet(4, Lcs(packet)) + Packet(5, eof)),
    };
    steps.insert(steps.end(), then.begin(), then.end());
    return FakeServer::Login(std::move(steps));
}

void ConnectTo(TUniConnection& con, const FakeServer& server) {
    set_up_connection(con, {"MySQL.ConnectionTimeout=5"});
    connect_server(con, {"127.0.0.1", std::to_string(server.Port()), "root", "secret"});
}

// A spreadsheet opening the reject file must show the texts, not run them:
// neither the workbook's cells nor a hostile server's message.
TEST(LoaderRejectFile, FormulaLookingCellsAndServerMessagesAreWrittenAsText) {
    const std::string eof = "\xFE\x00\x00\x02\x00";
    const std::string refused = "\xFF" + Le(1366, 2) + "#22007=cmd|' /C calc'!A0";
    FakeServer server(LoaderStart(
        "65536", {
                     FakeServer::Read(), // SET @tabellix_sql_mode
                     FakeServer::Send(Packet(1, OkPayload())),
                     FakeServer::Read(), // SET SESSION sql_mode
                     FakeServer::Send(Packet(1, OkPayload())),
                     FakeServer::Read(), // the batch
                     FakeServer::Send(Packet(1, refused)),
                     FakeServer::Read(), // SELECT COUNT(*)
                     FakeServer::Send(Packet(1, "\x01") + Packet(2, Column41("COUNT(*)", 8, 21)) +
                                      Packet(3, eof) + Packet(4, Lcs("0")) + Packet(5, eof)),
                     FakeServer::Read(), // the row's own insert
                     FakeServer::Send(Packet(1, refused)),
                     FakeServer::Read(), // the sql_mode given back
                     FakeServer::Send(Packet(1, OkPayload())),
                 }));
    const TProviderRegistration units;
    TUniConnection con;
    ConnectTo(con, server);
    TempDir dir;
    const std::string rejects = (dir.Path() / "rejects.csv").string();
    TLoadReport report;
    TLoader loader(
        con, {"t", false, false}, {TLoadMethod::Batch, 0, true, rejects},
        [](int) {
            return std::vector<std::string>{"=1+2", "+1", "-1",  "@SUM(A1)", "\tx",
                                            "\rx",  "",   "a=b", "1,5"};
        },
        nullptr, {}, report);
    loader.Add(2, {"x"});
    loader.Finish();
    EXPECT_EQ(report.Refused, 1);
    EXPECT_EQ(ReadFileBytes(rejects),
              "2,'=cmd|' /C calc'!A0,'=1+2,'+1,'-1,'@SUM(A1),'\tx,\"'\rx\",,a=b,\"1,5\"\r\n");
}

// The checks come before the pass; the file itself only with the first
// refused row.
TEST(LoaderRejectFile, IsMadeAtTheFirstRefusedRowAndReplacesAFileOnlyWhenAllowed) {
    TempDir dir;
    const std::string name = (dir.Path() / "rejects.csv").string();
    {
        TRejectFile rejects(name, false);
        EXPECT_FALSE(std::filesystem::exists(name));
        rejects.Write(3, {"refused", "x"});
    }
    EXPECT_EQ(ReadFileBytes(name), "3,refused,x\r\n");
    const auto e = ExpectError<EFCreateError>([&] { TRejectFile(name, false); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Message(), "Cannot create file \"" + name + "\". File exists");
    {
        TRejectFile rejects(name, true);
        EXPECT_EQ(ReadFileBytes(name), "3,refused,x\r\n") << "kept until a row is refused";
        rejects.Write(4, {"again"});
    }
    EXPECT_EQ(ReadFileBytes(name), "4,again\r\n");
}

// A server that takes the login and the loader's set-up, reads the first
// batch and hangs up.
TEST(LoaderServerGone, AConnectionLostInTheMiddleOfABatchIsAnErrorNotASuccess) {
    FakeServer server(LoaderStart("65536", {
                                               FakeServer::Read(), // SET @tabellix_sql_mode
                                               FakeServer::Send(Packet(1, OkPayload())),
                                               FakeServer::Read(), // SET SESSION sql_mode
                                               FakeServer::Send(Packet(1, OkPayload())),
                                               FakeServer::Read(), // the batch
                                               FakeServer::Hangup(),
                                           }));
    const TProviderRegistration units;
    TUniConnection con;
    ConnectTo(con, server);
    TLoaderOptions options;
    options.Method = TLoadMethod::Batch;
    TLoadReport report;
    TLoader loader(con, {"gone", false, false}, options, {}, nullptr, {}, report);
    loader.Add(2, {"a"});
    loader.Add(3, {"b"});
    const auto e = ExpectError<EDAError>([&] { loader.Finish(); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 2013);
    EXPECT_EQ(report.Stored, 0);
    EXPECT_EQ(report.InFlightRow, 2) << "where a new run starts";
    const auto& received = server.Received();
    ASSERT_EQ(received.size(), 6u);
    EXPECT_EQ(received[5], std::string("\x00\x03", 2) + "insert into gone values('a'),('b');");
}

TEST(LoaderServerGone, APacketLimitThatIsNoNumberIsSaidByName) {
    for (const std::string packet : {"lots", "64k", "-1", "99999999999999999999999"}) {
        SCOPED_TRACE(packet);
        FakeServer server(LoaderStart(packet, {FakeServer::Read(), FakeServer::Hangup()}));
        const TProviderRegistration units;
        TUniConnection con;
        ConnectTo(con, server);
        TLoadReport report;
        const auto e = ExpectError<ELoadError>([&] {
            TLoader(con, {"limit", false, false}, {TLoadMethod::Batch, 0, false, ""}, {}, nullptr,
                    {}, report);
        });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->Message(), "The server's max_allowed_packet is not a number of bytes");
    }
}

} // namespace
