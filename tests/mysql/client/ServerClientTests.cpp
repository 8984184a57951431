// The connection, command and record set against the private MariaDB.
#include "base/Text.h"
#include "mysql/client/MyClassesUni.h"
#include "mysql/protocol/MySqlSessionUni.h"
#include "tests/support/ExpectError.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace tabellix {
namespace {

void Open(TMySQLConnection& c, const test::MySqlTestServer& server, bool unicode = true) {
    c.SetServer(server.host);
    c.SetUsername(server.user);
    c.SetPassword(server.password);
    c.SetProp(prPort, server.port);
    c.SetProp(prUseUnicode, unicode);
    c.Connect("");
}

void Exec(TMySQLConnection& c, const std::string& sql) {
    TMySQLCommand cmd;
    cmd.SetConnection(&c);
    cmd.SetCommandTimeout(60);
    cmd.SetSQL(sql);
    cmd.Execute();
}

// First column of the first row as text, "NULL" for NULL.
std::string Scalar(TMySQLConnection& c, const std::string& sql) {
    TMySQLRecordset rs;
    rs.SetConnection(&c);
    rs.SetProp(prFetchAll, true);
    rs.SetSQL(sql);
    rs.Open();
    if (rs.RecordCount() == 0)
        return "no row";
    Variant v = rs.GetFieldAsVariant(0, 0);
    return v.IsNull() ? "NULL" : v.AsString();
}

EMyError ErrorOf(TMySQLConnection& c, const std::string& sql) {
    auto e = test::ExpectError<EMyError>([&] { Exec(c, sql); });
    return e ? *e : EMyError(0, "no error");
}

// A connection that asks for several statements in one text, in the test database.
void OpenMulti(TMySQLConnection& c, const test::MySqlTestServer& server) {
    c.SetProp(prMultiStatements, true);
    Open(c, server);
    c.SetProp(prDatabase, "h8_client");
}

class MariaDb : public ::testing::Test {
protected:
    void SetUp() override {
        auto server = test::TestMySqlServer();
        if (!server)
            TABELLIX_MISSING("The MariaDB test server (TABELLIX_MYSQL_PORT)");
        FServer = *server;
        Open(FConnection, FServer);
        Exec(FConnection, "CREATE DATABASE IF NOT EXISTS h8_client");
        FConnection.SetProp(prDatabase, "h8_client");
    }

    test::MySqlTestServer FServer;
    TMySQLConnection FConnection;
};

TEST_F(MariaDb, ConnectsInUtf8AndSwitchesCharsetOnAnOpenConnection) {
    EXPECT_EQ(Scalar(FConnection, "SELECT @@character_set_client").substr(0, 4), "utf8");
    EXPECT_TRUE(FConnection.IsServer41());
    // Charset acts only while UseUnicode is off.
    FConnection.SetProp(prCharset, "latin1");
    EXPECT_EQ(Scalar(FConnection, "SELECT @@character_set_client").substr(0, 4), "utf8");
    FConnection.SetProp(prUseUnicode, false);
    EXPECT_EQ(Scalar(FConnection, "SELECT @@character_set_client"), "latin1");
    FConnection.SetProp(prCharset, "cp1251");
    EXPECT_EQ(Scalar(FConnection, "SELECT @@character_set_client"), "cp1251");
    FConnection.SetProp(prUseUnicode, true);
    EXPECT_EQ(Scalar(FConnection, "SELECT @@character_set_client").substr(0, 4), "utf8");
}

TEST_F(MariaDb, TakesTheHostBeforeACommaAndTheLoopbackForAnEmptyServer) {
    for (const std::string& server : {std::string(), FServer.host + ",extra"}) {
        SCOPED_TRACE(server);
        TMySQLConnection c;
        c.SetServer(server);
        c.SetUsername(FServer.user);
        c.SetPassword(FServer.password);
        c.SetProp(prPort, FServer.port);
        c.Connect("");
        EXPECT_TRUE(c.GetConnected());
        EXPECT_EQ(c.Handle()->Host(), "127.0.0.1");
    }
}

TEST_F(MariaDb, EndsSilentlyWhenTheErrorHookClearsTheFailFlag) {
    int calls = 0;
    FConnection.SetOnError(
        [&](const Exception& error, bool& fail, int, TFailOverOperation&, bool&, bool&) {
            ++calls;
            EXPECT_EQ(error.ClassName(), "EMyError");
            fail = false;
        });
    EXPECT_THROW(Exec(FConnection, "SELEC 1"), EAbort);
    EXPECT_EQ(calls, 1);
    FConnection.SetOnError(nullptr);
    EXPECT_THROW(Exec(FConnection, "SELEC 1"), EMyError);
}

TEST_F(MariaDb, SwitchesDatabasesAndKeepsAnUnknownNameAfterTheServersError) {
    FConnection.SetProp(prDatabase, "mysql");
    EXPECT_EQ(Scalar(FConnection, "SELECT DATABASE()"), "mysql");
    auto e = test::ExpectError<EMyError>(
        [&] { FConnection.SetProp(prDatabase, "h8_no_such_database"); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 1049);
    EXPECT_TRUE(e->Message().starts_with("\r\n#42000Unknown database")) << e->Message();
    Variant v;
    FConnection.GetProp(prDatabase, v);
    EXPECT_EQ(v, Variant("h8_no_such_database"));
    EXPECT_EQ(Scalar(FConnection, "SELECT DATABASE()"), "mysql");
}

TEST_F(MariaDb, SendsStatementTextAsUtf8OrInTheCodePage) {
    EXPECT_EQ(Scalar(FConnection, "SELECT HEX('\xC3\xA9')"), "C3A9");
    FConnection.SetProp(prUseUnicode, false);
    FConnection.SetProp(prCharset, "binary");
    std::string expected;
    for (unsigned char b : TextToAnsi("\xC3\xA9"))
        expected += "0123456789ABCDEF"[b >> 4], expected += "0123456789ABCDEF"[b & 15];
    EXPECT_EQ(Scalar(FConnection, "SELECT HEX('\xC3\xA9')"), expected);
}

TEST_F(MariaDb, ExecutesInsertsAndDrainsRowsOfAPlainExecute) {
    Exec(FConnection, "DROP TABLE IF EXISTS t_exec");
    Exec(FConnection, "CREATE TABLE t_exec (id INT)");
    TMySQLCommand cmd;
    cmd.SetConnection(&FConnection);
    cmd.SetSQL("INSERT INTO t_exec VALUES (1), (2), (3)");
    cmd.Execute();
    Variant rows;
    cmd.GetProp(prRowsAffected, rows);
    EXPECT_EQ(rows, Variant(3));
    EXPECT_EQ(cmd.GetCursorState(), TCursorState::csInactive);
    EXPECT_EQ(cmd.SQLResult(), nullptr);
    // Rows of a SELECT run as a statement are read and dropped.
    TMySQLConnection multi;
    OpenMulti(multi, FServer);
    cmd.SetConnection(&multi);
    cmd.SetSQL("SELECT a.id FROM h8_client.t_exec a, h8_client.t_exec b, h8_client.t_exec c, "
               "h8_client.t_exec d; SELECT 1");
    cmd.Execute();
    EXPECT_EQ(cmd.GetCursorState(), TCursorState::csInactive);
    EXPECT_EQ(Scalar(FConnection, "SELECT COUNT(*) FROM t_exec"), "3");
}

// With NO_BACKSLASH_ESCAPES as the server's mode an escaped quote would end
// the string; the session switches the mode off at login, so the value is
// stored as it is and the sentinel table survives.
TEST_F(MariaDb, AValueCannotEndItsStringUnderNoBackslashEscapes) {
    Exec(FConnection, "DROP TABLE IF EXISTS victim");
    Exec(FConnection, "CREATE TABLE victim (id INT)");
    Exec(FConnection, "DROP TABLE IF EXISTS t_quoted");
    Exec(FConnection, "CREATE TABLE t_quoted (v VARCHAR(100))");
    const std::string mode = Scalar(FConnection, "SELECT @@GLOBAL.sql_mode");
    Exec(FConnection, "SET GLOBAL sql_mode = 'NO_BACKSLASH_ESCAPES,STRICT_TRANS_TABLES'");
    TMySQLConnection c;
    try {
        Open(c, FServer);
    } catch (...) {
        Exec(FConnection, "SET GLOBAL sql_mode = '" + mode + "'");
        throw;
    }
    Exec(FConnection, "SET GLOBAL sql_mode = '" + mode + "'");
    EXPECT_EQ(Scalar(c, "SELECT @@SESSION.sql_mode"), "STRICT_TRANS_TABLES");
    // The value as the statement text escapes it: the quote behind a backslash.
    Exec(c, "INSERT INTO h8_client.t_quoted (v) VALUES ('\\'); DROP TABLE victim; -- ')");
    EXPECT_EQ(Scalar(FConnection, "SELECT v FROM t_quoted"), "'); DROP TABLE victim; -- ");
    EXPECT_EQ(Scalar(FConnection, "SELECT COUNT(*) FROM victim"), "0");
}

TEST_F(MariaDb, RaisesTheSecondStatementsErrorAfterTheFirstTookEffect) {
    Exec(FConnection, "DROP TABLE IF EXISTS t_multi");
    Exec(FConnection, "CREATE TABLE t_multi (id INT)");
    TMySQLConnection multi;
    OpenMulti(multi, FServer);
    EMyError e = ErrorOf(multi, "INSERT INTO t_multi VALUES (7); INSERT INTO t_nosuch "
                                "VALUES (8); INSERT INTO t_multi VALUES (9)");
    EXPECT_EQ(e.ErrorCode(), 1146);
    EXPECT_EQ(Scalar(FConnection, "SELECT GROUP_CONCAT(id) FROM t_multi"), "7");
}

TEST_F(MariaDb, ReportsASyntaxErrorWithItsLine) {
    EMyError e = ErrorOf(FConnection, "SELECT 1\nFROM\n  WHERE x = 2");
    EXPECT_EQ(e.ErrorCode(), 1064);
    EXPECT_TRUE(e.Message().starts_with("\r\n#42000You have an error in your SQL syntax"))
        << e.Message();
    EXPECT_EQ(e.LineNumber(), 3) << e.Message();
    EXPECT_EQ(Scalar(FConnection, "SELECT 2"), "2");
}

TEST_F(MariaDb, DescribesColumnsAndReadsValuesByType) {
    Exec(FConnection, "DROP TABLE IF EXISTS t_types");
    Exec(FConnection, "CREATE TABLE t_types (v VARCHAR(64) CHARACTER SET utf8, i INT, "
                      "b BIGINT UNSIGNED, f DOUBLE, t TINYINT(1), d DATE, dt DATETIME, "
                      "tx TEXT, n INT)");
    Exec(FConnection, "INSERT INTO t_types VALUES ('gr\xC3\xBC\xC3\x9F \xE2\x82\xAC', -5, "
                      "12345678901, 2.5, 1, '2024-02-29', '1899-12-31 12:00:00', 'memo', NULL)");
    TMySQLRecordset rs;
    rs.SetConnection(&FConnection);
    rs.SetProp(prFetchAll, true);
    rs.SetSQL("SELECT * FROM t_types");
    rs.Open();
    ASSERT_EQ(rs.FieldCount(), 9);
    EXPECT_EQ(rs.Field(0).Name, "v");
    EXPECT_EQ(rs.Field(0).DataType, dtWideString);
    EXPECT_EQ(rs.Field(0).Length, 64);
    EXPECT_EQ(rs.Field(1).DataType, dtInteger);
    EXPECT_EQ(rs.Field(2).DataType, dtLargeint);
    EXPECT_EQ(rs.Field(3).DataType, dtFloat);
    EXPECT_EQ(rs.Field(4).DataType, dtBoolean);
    EXPECT_EQ(rs.Field(5).DataType, dtDate);
    EXPECT_EQ(rs.Field(6).DataType, dtDateTime);
    EXPECT_EQ(rs.Field(7).DataType, dtWideMemo);
    ASSERT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.GetWideString(0, 0), u"gr\u00FC\u00DF \u20AC");
    EXPECT_EQ(rs.GetFieldAsVariant(0, 1), Variant(-5));
    EXPECT_EQ(rs.GetFieldAsVariant(0, 2), Variant(int64_t{12345678901}));
    EXPECT_EQ(rs.GetFieldAsVariant(0, 3), Variant(2.5));
    EXPECT_EQ(rs.GetFieldAsVariant(0, 4), Variant(true));
    EXPECT_EQ(rs.GetFieldAsVariant(0, 5), Variant(VarDate{45351}));
    EXPECT_EQ(rs.GetFieldAsVariant(0, 6), Variant(VarDate{1.5}));
    EXPECT_EQ(rs.GetFieldAsVariant(0, 7), Variant("memo"));
    EXPECT_TRUE(rs.GetNull(0, 8));
    EXPECT_EQ(rs.Command().GetCursorState(), TCursorState::csFetched);
    rs.Close();
    EXPECT_EQ(Scalar(FConnection, "SELECT 3"), "3");
}

TEST_F(MariaDb, FetchesInBatchesOfTwentyFiveOnAnAdditionalConnection) {
    TMySQLRecordset rs;
    rs.SetConnection(&FConnection);
    rs.SetSQL("SELECT seq FROM seq_1_to_60");
    rs.Open();
    EXPECT_EQ(rs.RecordCount(), 25);
    ASSERT_NE(rs.Command().Connection(), &FConnection);
    EXPECT_TRUE(rs.Command().Connection()->Additional());
    EXPECT_NE(rs.Command().Connection()->GetThreadId(), FConnection.GetThreadId());
    // The main connection stays free while the rows are pending.
    EXPECT_EQ(Scalar(FConnection, "SELECT 6"), "6");
    EXPECT_TRUE(rs.GetNextRecord());
    EXPECT_EQ(rs.RecordCount(), 50);
    EXPECT_TRUE(rs.GetNextRecord());
    EXPECT_FALSE(rs.GetNextRecord());
    EXPECT_EQ(rs.RecordCount(), 60);
    EXPECT_EQ(rs.GetFieldAsVariant(59, 0).AsInt64(), 60);
    EXPECT_EQ(rs.Command().Connection(), &FConnection);
    rs.Close();
}

TEST_F(MariaDb, RefusesResultsItCannotReadAndStaysUsable) {
    const struct {
        const char* sql;
        const char* message;
        const char* after;
    } cases[] = {
        {"SELECT X'41C3'", "incomplete multibyte char", "4"},
        {"DO 1", "Query must return exactly result set - use Execute", "5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        TMySQLRecordset rs;
        rs.SetConnection(&FConnection);
        rs.SetProp(prFetchAll, true);
        rs.SetSQL(c.sql);
        auto e = test::ExpectError<EDAError>([&] { rs.Open(); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->Message(), c.message);
        EXPECT_EQ(Scalar(FConnection, std::string("SELECT ") + c.after), c.after);
    }
}

TEST_F(MariaDb, BreakExecEndsASleepQuicklyWithTheSilentAbort) {
    TMySQLCommand cmd;
    cmd.SetConnection(&FConnection);
    cmd.SetSQL("SELECT SLEEP(30)");
    // The break is sent once a second connection sees the statement running,
    // so it cannot come before the statement reaches the server.
    TMySQLConnection watcher;
    Open(watcher, FServer);
    const std::string running = "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = " +
                                std::to_string(FConnection.GetThreadId()) +
                                " AND INFO = 'SELECT SLEEP(30)'";
    std::atomic<bool> seen{false};
    std::atomic<bool> done{false};
    std::thread breaker([&] {
        for (int i = 0; i < 1000 && !done && !seen; ++i) {
            seen = Scalar(watcher, running) == "1";
            if (!seen)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        cmd.BreakExec();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(cmd.Execute(), EAbort);
    done = true;
    breaker.join();
    EXPECT_TRUE(seen);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(cmd.GetCursorState(), TCursorState::csInactive);
    // A break after the end finds nothing to stop.
    cmd.BreakExec();
}

TEST_F(MariaDb, AKilledConnectionIsAFatalError) {
    TMySQLConnection other;
    Open(other, FServer);
    Exec(other, "KILL " + std::to_string(FConnection.GetThreadId()));
    EMyError e = ErrorOf(FConnection, "SELECT 1");
    EXPECT_TRUE(e.ErrorCode() == 2013 || e.ErrorCode() == 2006) << e.ErrorCode();
    EXPECT_TRUE(e.IsFatalError());
    FConnection.CheckIsValid();
    EXPECT_FALSE(FConnection.IsValid());
}

} // namespace
} // namespace tabellix
