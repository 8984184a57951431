// The session against the private MariaDB server, plain and compressed.
#include "mysql/protocol/MySqlErrorsUni.h"
#include "mysql/protocol/MySqlSessionUni.h"
#include "tests/support/ExpectError.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

namespace tabellix {
namespace {

class RealServer : public ::testing::TestWithParam<bool> {
protected:
    static constexpr uint32_t Flags = CLIENT_FOUND_ROWS | CLIENT_MULTI_STATEMENTS;

    void Open(TMySqlSession& s, const test::MySqlTestServer& server, const std::string& user,
              const std::string& password, const std::string& db = "") {
        s.SetConnectTimeout(15);
        s.SetCommandTimeout(60);
        s.Connect(server.host, user, password, db, static_cast<unsigned>(server.port), "",
                  Flags | (GetParam() ? CLIENT_COMPRESS : 0));
    }

    static void Query(TMySqlSession& s, const std::string& sql) {
        s.SimpleCommand(TServerCommand::scQuery, reinterpret_cast<const uint8_t*>(sql.data()),
                        static_cast<int>(sql.size()), true);
        s.ReadQueryResult();
    }

    // All rows of the pending result, each column as text ("NULL" for NULL).
    static std::vector<std::vector<std::string>> Rows(TMySqlSession& s) {
        TMySqlResultSet rs(&s);
        s.SetStatus(TMySqlStatus::msUseResult);
        std::vector<std::vector<std::string>> rows;
        while (rs.Read(rs.Bind())) {
            auto& row = rows.emplace_back();
            for (const TMySqlBind& b : rs.Bind()->Binds)
                row.push_back(
                    b.IsNull
                        ? "NULL"
                        : std::string(reinterpret_cast<const char*>(rs.Bind()->Buffer) + b.Offset,
                                      b.Length));
        }
        return rows;
    }

    static std::string One(TMySqlSession& s, const std::string& sql) {
        Query(s, sql);
        auto rows = Rows(s);
        return rows.empty() || rows[0].empty() ? std::string() : rows[0][0];
    }
};

TEST_P(RealServer, LogsInWithAndWithoutPasswordAndRefusesAWrongOne) {
    TABELLIX_REQUIRE_MYSQL(server);
    TMySqlSession s;
    Open(s, server, server.user, server.password);
    EXPECT_TRUE(s.protocol41());
    EXPECT_EQ(s.net().Compress(), GetParam());
    EXPECT_NE(s.ServerVersion(), "");
    EXPECT_EQ(One(s, "SELECT CURRENT_USER()"), server.user + "@%");
    s.Ping();
    EXPECT_NE(s.Statistics().find("Uptime"), std::string::npos);

    TMySqlSession nopass;
    Open(nopass, server, server.nopassUser, "");
    EXPECT_EQ(One(nopass, "SELECT 1"), "1");

    TMySqlSession wrong;
    auto e = test::ExpectError<EMySqlException>(
        [&] { Open(wrong, server, server.user, "not-the-password"); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 1045);
    EXPECT_EQ(e->Message().rfind("\r\n#28000Access denied for user", 0), 0u);
}

TEST_P(RealServer, DatabaseInTheLoginAndSelectDb) {
    TABELLIX_REQUIRE_MYSQL(server);
    TMySqlSession s;
    Open(s, server, server.user, server.password, "mysql");
    EXPECT_EQ(s.Database(), "mysql");
    EXPECT_EQ(One(s, "SELECT DATABASE()"), "mysql");
    s.SelectDb("information_schema");
    EXPECT_EQ(s.Database(), "information_schema");
    EXPECT_EQ(One(s, "SELECT DATABASE()"), "information_schema");
    auto e = test::ExpectError<EMySqlException>([&] { s.SelectDb("no_such_db"); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 1049);
}

TEST_P(RealServer, ShowDatabasesInsertAndServerErrors) {
    TABELLIX_REQUIRE_MYSQL(server);
    TMySqlSession s;
    Open(s, server, server.user, server.password);
    Query(s, "SHOW DATABASES");
    EXPECT_EQ(s.Status(), TMySqlStatus::msGetResult);
    ASSERT_EQ(s.FieldCount(), 1);
    ASSERT_EQ(s.Fields().size(), 1u);
    EXPECT_EQ(s.Fields()[0].Name, "Database");
    auto e = test::ExpectError<EMySqlException>([&] { Query(s, "SELECT 1"); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 2014);
    auto rows = Rows(s);
    bool found = false;
    for (const auto& r : rows)
        found = found || r[0] == "mysql";
    EXPECT_TRUE(found);
    EXPECT_EQ(s.Status(), TMySqlStatus::msReady);

    std::string db = GetParam() ? "h7_compressed" : "h7_plain";
    Query(s, "DROP DATABASE IF EXISTS " + db);
    Query(s, "CREATE DATABASE " + db);
    s.SelectDb(db);
    Query(s, "CREATE TABLE t (id INT AUTO_INCREMENT PRIMARY KEY, v VARCHAR(20)) ENGINE=MyISAM");
    e = test::ExpectError<EMySqlException>([&] { Query(s, "CREATE TABLE t (id INT)"); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 1050);
    EXPECT_EQ(e->Message(), "\r\n#42S01Table 't' already exists");
    EXPECT_EQ(s.Status(), TMySqlStatus::msReady);
    Query(s, "insert into t (v) values ('a'), (NULL)");
    EXPECT_EQ(s.AffectedRows(), 2);
    EXPECT_EQ(s.InsertId(), 1);
    EXPECT_EQ(s.FieldCount(), 0);
    EXPECT_EQ(s.Info(), "Records: 2  Duplicates: 0  Warnings: 0");
    Query(s, "SELECT id, v, '' FROM t ORDER BY id");
    EXPECT_NE(s.Fields()[0].Flags & NUM_FLAG, 0u);
    EXPECT_EQ(s.Fields()[1].Flags & NUM_FLAG, 0u);
    EXPECT_EQ(s.Fields()[1].OrgTable, "t");
    rows = Rows(s);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"1", "a", ""}));
    EXPECT_EQ(rows[1], (std::vector<std::string>{"2", "NULL", ""}));
    Query(s, "SELECT * FROM t");
    s.FreeQuery();
    EXPECT_EQ(One(s, "SELECT COUNT(*) FROM t"), "2");
    Query(s, "DROP DATABASE " + db);
}

TEST_P(RealServer, StatementOverSixteenMegabytes) {
    TABELLIX_REQUIRE_MYSQL(server);
    TMySqlSession s;
    Open(s, server, server.user, server.password);
    std::string value(17 * 1024 * 1024, 'x');
    value[0] = 'a';
    value.back() = 'z';
    Query(s, "SELECT LENGTH('" + value + "'), LEFT('" + value + "', 1), RIGHT('" + value + "', 1)");
    auto rows = Rows(s);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{std::to_string(value.size()), "a", "z"}));
    Query(s, "SELECT REPEAT('y', 17000000)");
    rows = Rows(s);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0].size(), 17000000u);
}

TEST_P(RealServer, ServerKillingTheConnectionInTheMiddleOfAResult) {
    TABELLIX_REQUIRE_MYSQL(server);
    TMySqlSession victim;
    Open(victim, server, server.user, server.password, "mysql");
    TMySqlSession killer;
    Open(killer, server, server.user, server.password);
    // Rows before the sleep fill more than the server's send buffer, so they
    // are on the wire when the connection is killed.
    Query(victim, "SELECT seq, REPEAT('x', 1000), SLEEP(IF(seq = 200, 3, 0)) FROM seq_1_to_400");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    Query(killer, "KILL " + std::to_string(victim.ThreadId()));
    TMySqlResultSet rs(&victim);
    victim.SetStatus(TMySqlStatus::msUseResult);
    int rows = 0;
    auto e = test::ExpectError<EMySqlException>([&] {
        while (rs.Read(rs.Bind()))
            ++rows;
    });
    ASSERT_TRUE(e);
    EXPECT_TRUE(e->ErrorCode() == 2013 || e->ErrorCode() == 1927) << e->Message();
    EXPECT_GT(rows, 0);
    EXPECT_LT(rows, 400);
    // A lost connection has closed the session at once; after the server's
    // own error packet it is the next exchange that finds the connection gone.
    const bool lost = e->ErrorCode() == 2013;
    EXPECT_EQ(victim.IsClosed(), lost);
    victim.SetStatus(TMySqlStatus::msReady);
    e = test::ExpectError<EMySqlException>([&] { Query(victim, "SELECT 1"); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), lost ? 2006 : 2013);
    EXPECT_TRUE(victim.IsClosed());
}

TEST_P(RealServer, CloseSendsOneQuit) {
    TABELLIX_REQUIRE_MYSQL(server);
    TMySqlSession s;
    Open(s, server, server.user, server.password);
    int id = s.ThreadId();
    s.Close();
    s.Close();
    TMySqlSession after;
    Open(after, server, server.user, server.password);
    One(after, "SELECT 1");
    if (server.generalLog.empty())
        TABELLIX_MISSING("The test server's statement log (TABELLIX_MYSQL_GENERAL_LOG)");
    std::ifstream in(server.generalLog);
    std::string line;
    int quits = 0;
    std::string idText = std::to_string(id);
    while (std::getline(in, line))
        if (line.find("Quit") != std::string::npos &&
            line.find(" " + idText + " Quit") != std::string::npos)
            ++quits;
    EXPECT_EQ(quits, 1);
}

TEST_P(RealServer, OldPasswordAccountGetsThePreFourOneScramble) {
    TABELLIX_REQUIRE_MYSQL(server);
    // Both variants run side by side: each has an account of its own, and
    // secure_auth stays off, since turning it back on would refuse the
    // other's login halfway.
    const std::string user = GetParam() ? "h7old_z" : "h7old_p";
    const std::string account = "'" + user + "'@'%'";
    TMySqlSession admin;
    Open(admin, server, server.user, server.password);
    Query(admin, "SET GLOBAL secure_auth = 0");
    Query(admin, "DROP USER IF EXISTS " + account);
    Query(admin, "CREATE USER " + account +
                     " IDENTIFIED VIA mysql_old_password USING "
                     "'5d2e19393cc5ef67'");
    TMySqlSession s;
    s.SetAllowOldPasswords(true);
    Open(s, server, user, "password");
    EXPECT_EQ(One(s, "SELECT 1"), "1");
    TMySqlSession wrong;
    wrong.SetAllowOldPasswords(true);
    EXPECT_THROW(Open(wrong, server, user, "wrong"), EMySqlException);
    Query(admin, "DROP USER " + account);
}

// A TLS session to the test server, verified against `ca` and `host`.
void OpenTls(TMySqlSession& s, const test::MySqlTestServer& server, const std::string& host,
             const std::string& ca, const std::string& user, const std::string& password,
             bool compress, bool verify = true) {
    s.SetConnectTimeout(15);
    s.SetCommandTimeout(60);
    s.SetProtocolType(MYSQL_PROTOCOL_SSL);
    s.SetSSL("", "", ca, "", "");
    s.SetSSLVerify(verify);
    s.Connect(host, user, password, "", static_cast<unsigned>(server.port), "",
              CLIENT_FOUND_ROWS | CLIENT_MULTI_STATEMENTS | (compress ? CLIENT_COMPRESS : 0));
}

TEST_P(RealServer, TlsLoginCarriesStatementsAndRowsInsideTls) {
    TABELLIX_REQUIRE_MYSQL_TLS(server);
    TMySqlSession s;
    OpenTls(s, server, server.host, server.tlsCA, server.tlsUser, server.tlsPassword, GetParam());
    EXPECT_EQ(s.net().Compress(), GetParam());
    Query(s, "SHOW SESSION STATUS LIKE 'Ssl_version'");
    auto rows = Rows(s);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][1].rfind("TLSv1.", 0), 0u) << rows[0][1];
    std::string value(300000, 'v');
    value[0] = 'a';
    Query(s, "SELECT LENGTH('" + value + "'), LEFT('" + value + "', 2), REPEAT('w', 200000)");
    rows = Rows(s);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "300000");
    EXPECT_EQ(rows[0][1], "av");
    EXPECT_EQ(rows[0][2], std::string(200000, 'w'));
    s.Close();
}

TEST_P(RealServer, RequireSslAccountIsRefusedWithoutTls) {
    TABELLIX_REQUIRE_MYSQL_TLS(server);
    TMySqlSession plain;
    auto e = test::ExpectError<EMySqlException>(
        [&] { Open(plain, server, server.tlsUser, server.tlsPassword); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 1045);
}

TEST_P(RealServer, UntrustedCertificateOrWrongHostNameGives2026) {
    TABELLIX_REQUIRE_MYSQL_TLS(server);
    struct Case {
        const char* name;
        std::string host, ca, reason;
    };
    const Case cases[] = {
        {"certificate of another CA", server.host, server.otherCA, "certificate verify failed: "},
        {"host name not in the certificate", "localhost", server.tlsCA,
         "certificate verify failed: hostname mismatch"},
        {"no such CA file", server.host, "/nonexistent/ca.pem",
         "cannot read the CA certificates '/nonexistent/ca.pem'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TMySqlSession s;
        auto e = test::ExpectError<EMySqlException>([&] {
            OpenTls(s, server, c.host, c.ca, server.tlsUser, server.tlsPassword, GetParam());
        });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->ErrorCode(), 2026);
        EXPECT_EQ(e->Message().rfind("SSL connection error\r\n" + c.reason, 0), 0u) << e->Message();
    }
    TMySqlSession unverified;
    OpenTls(unverified, server, "localhost", server.otherCA, server.tlsUser, server.tlsPassword,
            GetParam(), false);
    EXPECT_EQ(One(unverified, "SELECT CURRENT_USER()"), server.tlsUser + "@%");
}

TEST_P(RealServer, Ed25519AccountIsReachedThroughTheSwitchRequest) {
    TABELLIX_REQUIRE_MYSQL_TLS(server);
    TMySqlSession s;
    Open(s, server, server.ed25519User, server.ed25519Password);
    EXPECT_EQ(One(s, "SELECT CURRENT_USER()"), server.ed25519User + "@%");
    TMySqlSession wrong;
    auto e = test::ExpectError<EMySqlException>(
        [&] { Open(wrong, server, server.ed25519User, "not-the-password"); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 1045);
}

INSTANTIATE_TEST_SUITE_P(Protocol, RealServer, ::testing::Bool(), [](const auto& instance) {
    return instance.param ? "Compressed" : "Plain";
});

} // namespace
} // namespace tabellix
