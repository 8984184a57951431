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

// The limited server beside the main one: no local files, packets of at
// most 4096 bytes.
class LimitedServer : public LoaderFixture {
protected:
    void SetUp() override {
        LoaderFixture::SetUp();
        if (HasFatalFailure() || IsSkipped())
            return;
        if (Server.limitedPort == 0)
            TABELLIX_MISSING("The limited test server (TABELLIX_MYSQL_LIMITED_PORT)");
        set_up_connection(Limited);
        connect_server(Limited, {Server.host, std::to_string(Server.limitedPort), Server.user,
                                 Server.password});
        Limited.ExecSQL("CREATE DATABASE IF NOT EXISTS engine_transfer", kNoParams);
        Limited.SetDatabase("engine_transfer");
    }

    void UseLimitedTable(const std::string& name) {
        TableName = name;
        Limited.ExecSQL("DROP TABLE IF EXISTS " + name, kNoParams);
    }

    TUniConnection Limited;
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
    UseLimitedTable("loader_packet");
    Funcs.Loader.Method = TLoadMethod::Batch;
    ASSERT_TRUE(Funcs.start_transfer(Form, Limited));
    EXPECT_EQ(Funcs.LastLoad().Stored, 200);
    // A statement beyond the limit would have cost the session.
    const int inserts = std::stoi(ServerText(Limited, "SELECT VARIABLE_VALUE FROM "
                                                      "information_schema.SESSION_STATUS WHERE "
                                                      "VARIABLE_NAME = 'COM_INSERT'"));
    EXPECT_GE(inserts, 6) << "about 19,000 bytes in statements of at most 3,072";
    EXPECT_EQ(StoredRows(TableName, &Limited), expected);
}

// A transfer opens a fresh session (its option UseUnicode set anew), so
// this drives the loader over a session of its own making.
TEST_F(LoaderFixture, ASessionThatIsNotStrictStoresWhatTheDefaultRoadStores) {
    UseTable("loader_lenient");
    Con.ExecSQL("CREATE TABLE loader_lenient (n INT) ENGINE=MyISAM", kNoParams);
    Con.ExecSQL("SET SESSION sql_mode = ''", kNoParams);
    LoadDirect(Con, {TLoadMethod::Batch, 0, false, ""}, [](TLoader& loader) {
        loader.Add(1, {"1"});
        loader.Add(2, {"x"});
        loader.Add(3, {"3"});
    });
    EXPECT_EQ(StoredRows(TableName), (std::vector<std::string>{"1", "0", "3"}));
    EXPECT_EQ(Report.Stored, 3);
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
    UseLimitedTable("loader_no_local");
    Funcs.Loader.Method = TLoadMethod::LoadData;
    const auto e = ExpectError<ELoadError>([&] { Funcs.start_transfer(Form, Limited); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->Message(), "LOAD DATA cannot be used: the server does not allow LOAD DATA LOCAL "
                            "INFILE (local_infile is OFF)");
    TStringList tables;
    Limited.GetTableNames(tables, false);
    EXPECT_FALSE(Holds(tables.Items(), TableName)) << "refused before anything was sent";

    std::vector<std::string> notices;
    Funcs.OnNotice = [&](const std::string& text) { notices.push_back(text); };
    Funcs.Loader.Method = TLoadMethod::Fastest;
    ASSERT_TRUE(Funcs.start_transfer(Form, Limited));
    EXPECT_FALSE(Funcs.LastLoad().LoadData);
    EXPECT_EQ(StoredRows(TableName, &Limited), (std::vector<std::string>{"1", "2"}));
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

// The answers a server gives the loader's set-up: the packet limit read, the
// session made strict.
std::vector<FakeServer::Step> LoaderSetUp() {
    const std::string eof = "\xFE\x00\x00\x02\x00";
    return {
        FakeServer::Read(), // SET NAMES utf8
        FakeServer::Send(Packet(1, OkPayload())),
        FakeServer::Read(), // SELECT @@max_allowed_packet
        FakeServer::Send(Packet(1, "\x01") + Packet(2, Column41("@@max_allowed_packet", 8, 21)) +
                         Packet(3, eof) + Packet(4, Lcs("65536")) + Packet(5, eof)),
        FakeServer::Read(), // SET @tabellix_sql_mode
        FakeServer::Send(Packet(1, OkPayload())),
        FakeServer::Read(), // SET SESSION sql_mode
        FakeServer::Send(Packet(1, OkPayload())),
    };
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
    std::vector<FakeServer::Step> script = LoaderSetUp();
    script.insert(script.end(),
                  {
                      FakeServer::Read(), // the batch
                      FakeServer::Send(Packet(1, refused)),
                      FakeServer::Read(), // SELECT COUNT(*)
                      FakeServer::Send(Packet(1, "\x01") + Packet(2, Column41("COUNT(*)", 8, 21)) +
                                       Packet(3, eof) + Packet(4, Lcs("0")) + Packet(5, eof)),
                      FakeServer::Read(), // the row's own insert
                      FakeServer::Send(Packet(1, refused)),
                      FakeServer::Read(), // the sql_mode given back
                      FakeServer::Send(Packet(1, OkPayload())),
                  });
    FakeServer server(FakeServer::Login(script));
    const TDataAccessUnits units;
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
    std::vector<FakeServer::Step> script = LoaderSetUp();
    script.insert(script.end(), {
                                    FakeServer::Read(), // the batch
                                    FakeServer::Hangup(),
                                });
    FakeServer server(FakeServer::Login(script));
    const TDataAccessUnits units;
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
    const auto& received = server.Received();
    ASSERT_EQ(received.size(), 6u);
    EXPECT_EQ(received[5], std::string("\x00\x03", 2) + "insert into gone values('a'),('b');");
}

} // namespace
