// What the connection sends where a real server cannot show it: the exact
// packets after login, a server without the 4.1 protocol, and one
// init-database for a name set twice.
#include "mysql/client/MyClassesUni.h"
#include "mysql/client/MyMetaDataUni.h"
#include "mysql/protocol/MySqlSessionUni.h"
#include "tests/mysql/protocol/FakeServer.h"
#include "tests/support/ExpectError.h"

#include <gtest/gtest.h>

namespace tabellix {
namespace {

using test::FakeSalt;
using test::FakeServer;
using test::Greeting41;
using test::GreetingPayload;
using test::LoginOk;
using test::OkPayload;
using test::Packet;

constexpr uint32_t CapsOld =
    CLIENT_LONG_PASSWORD | CLIENT_LONG_FLAG | CLIENT_CONNECT_WITH_DB | CLIENT_TRANSACTIONS;

// The fake greeting announces 5.0.99; the same text for a 4.0 server.
std::string Greeting40() {
    std::string p = GreetingPayload(CapsOld, FakeSalt);
    return p.replace(1, 11, "4.0.30-fake");
}

// The greeting, the login's OK, one command's OK, and the quit read.
std::vector<FakeServer::Step> LoginAndOneCommand() {
    return FakeServer::Login(
        {FakeServer::Read(), FakeServer::Send(Packet(1, OkPayload())), FakeServer::Read()});
}

void Configure(TMySQLConnection& c, int port) {
    c.SetServer("127.0.0.1");
    c.SetUsername("root");
    c.SetPassword("secret");
    c.SetProp(prPort, port);
    c.SetProp(prConnectionTimeout, 5);
}

TEST(FakeServerConnection, SendsTheLoginThenSetNamesUtf8AndNothingElse) {
    FakeServer server(LoginAndOneCommand());
    {
        TMySQLConnection c;
        Configure(c, server.Port());
        c.SetProp(prUseUnicode, true);
        c.Connect("");
        EXPECT_TRUE(c.GetConnected());
        EXPECT_EQ(c.GetServerVersion(), "5.0.99");
        EXPECT_EQ(c.GetServerVersionFull(), "5.0.99-fake");
        EXPECT_EQ(c.GetClientVersion(), "4.1.3 Direct");
        // Setting the value it already has sends nothing.
        c.SetProp(prUseUnicode, true);
        c.SetProp(prCharset, "latin1");
    }
    const auto& received = server.Received();
    ASSERT_EQ(received.size(), 3u);
    // Login: sequence 1, client flags with FOUND_ROWS and without MULTI_STATEMENTS.
    ASSERT_GE(received[0].size(), 5u);
    EXPECT_EQ(received[0][0], '\x01');
    const uint32_t flags = static_cast<uint8_t>(received[0][1]) |
                           static_cast<uint8_t>(received[0][2]) << 8 |
                           static_cast<uint8_t>(received[0][3]) << 16;
    EXPECT_EQ(flags & 65538u, 2u);
    EXPECT_EQ(flags & CLIENT_COMPRESS, 0u);
    EXPECT_EQ(received[1], std::string("\x00\x03SET NAMES utf8", 16));
    EXPECT_EQ(received[2], std::string("\x00\x01", 2));
}

TEST(FakeServerConnection, AServerBefore41GetsNoSetNamesAndUseUnicodeReadsFalse) {
    FakeServer server(FakeServer::Login(Packet(0, Greeting40()), LoginOk(), {FakeServer::Read()}));
    {
        TMySQLConnection c;
        Configure(c, server.Port());
        c.SetProp(prUseUnicode, true);
        c.SetProp(prAllowOldPasswords, true);
        c.Connect("");
        EXPECT_EQ(c.GetServerVersion(), "4.0.30");
        EXPECT_FALSE(c.IsServer41());
        Variant v;
        c.GetProp(prUseUnicode, v);
        EXPECT_EQ(v, Variant(false));
    }
    const auto& received = server.Received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[1], std::string("\x00\x01", 2));
}

// The login's collation byte: utf8mb4_general_ci for a utf8mb4 session,
// latin1 for every other (the session's character set follows with SET NAMES).
TEST(FakeServerConnection, TheLoginAnnouncesUtf8mb4OnlyForAUtf8mb4Session) {
    struct Case {
        const char* charset;
        uint8_t collation;
        std::string statement;
    };
    const Case cases[] = {{"", 8, std::string("\x00\x01", 2)},
                          {"latin1", 8, std::string("\x00\x03SET NAMES latin1", 18)},
                          {"utf8mb4", 45, std::string("\x00\x03SET NAMES utf8mb4", 19)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.charset);
        FakeServer server(LoginAndOneCommand());
        {
            TMySQLConnection conn;
            Configure(conn, server.Port());
            conn.SetProp(prCharset, std::string(c.charset));
            conn.Connect("");
        }
        const auto& received = server.Received();
        ASSERT_GE(received.size(), 2u);
        // Sequence number, flags and maximum packet size come before it.
        ASSERT_GE(received[0].size(), 10u);
        EXPECT_EQ(static_cast<uint8_t>(received[0][9]), c.collation);
        EXPECT_EQ(received[1], c.statement);
    }
}

TEST(FakeServerConnection, ChangingToTheSameDatabaseTwiceSendsOneInitDb) {
    FakeServer server(LoginAndOneCommand());
    {
        TMySQLConnection c;
        Configure(c, server.Port());
        c.Connect("");
        c.SetProp(prDatabase, "sales");
        c.SetProp(prDatabase, "sales");
        Variant v;
        c.GetProp(prDatabase, v);
        EXPECT_EQ(v, Variant("sales"));
    }
    const auto& received = server.Received();
    ASSERT_EQ(received.size(), 3u);
    EXPECT_EQ(received[1], std::string("\x00\x02sales", 7));
    EXPECT_EQ(received[2], std::string("\x00\x01", 2));
}

TEST(FakeServerConnection, AFailedLoginLeavesTheConnectionClosedWithTheServersError) {
    std::string error = "\xFF" + test::Le(1045, 2) + "#28000Access denied for user 'root'";
    FakeServer server(FakeServer::Login(Greeting41(), Packet(2, error)));
    TMySQLConnection c;
    Configure(c, server.Port());
    auto e = test::ExpectError<EMyError>([&] { c.Connect(""); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 1045);
    EXPECT_NE(e->Message().find("Access denied for user 'root'"), std::string::npos);
    EXPECT_FALSE(c.GetConnected());
    EXPECT_EQ(c.Handle(), nullptr);
}

// A broken answer costs the connection: the packet after it is never read,
// the next statement and the validity check find the server gone.
TEST(FakeServerConnection, AMalformedAnswerIsFatalAndTheNextStatementFindsTheServerGone) {
    FakeServer server(FakeServer::Login(
        {FakeServer::Read(),
         // An OK packet cut before its insert id, then one that must stay unread.
         FakeServer::Send(Packet(1, std::string("\x00\x01", 2)) + Packet(1, OkPayload(5))),
         FakeServer::Read()}));
    TMySQLConnection c;
    Configure(c, server.Port());
    c.Connect("");
    TMySQLCommand cmd;
    cmd.SetConnection(&c);
    cmd.SetSQL("insert into t values (1)");
    auto e = test::ExpectError<EMyError>([&] { cmd.Execute(); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 2027);
    EXPECT_EQ(e->Message(), "Malformed packet");
    EXPECT_TRUE(e->IsFatalError());
    e = test::ExpectError<EMyError>([&] { cmd.Execute(); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 2006);
    EXPECT_TRUE(e->IsFatalError());
    c.CheckIsValid();
    EXPECT_FALSE(c.IsValid());
    const auto& received = server.Received();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[1], std::string("\x00\x03insert into t values (1)", 26));
}

// A list of databases keeps at most 100000 names: an endless list is
// refused with 2008 instead of filling the memory.
TEST(FakeServerConnection, AnEndlessListOfDatabasesStopsAtItsCap) {
    const auto lcs = [](const std::string& text) { return static_cast<char>(text.size()) + text; };
    const std::string column = lcs("def") + lcs("") + lcs("") + lcs("") + lcs("Database") +
                               lcs("Database") + '\x0C' + test::Le(33, 2) + test::Le(256, 4) +
                               '\xFD' + test::Le(0, 2) + '\0' + test::Le(0, 2);
    std::string rows = Packet(1, "\x01") + Packet(2, column) + Packet(3, "\xFE\x00\x00\x02\x00");
    for (int i = 0; i <= 100000; ++i)
        rows += Packet(static_cast<uint8_t>(4 + i), "\x02"
                                                    "db");
    FakeServer server(FakeServer::Login({FakeServer::Read(), FakeServer::Send(rows)}));
    TMySQLConnection c;
    Configure(c, server.Port());
    c.Connect("");
    TMySQLMetaData meta;
    auto e = test::ExpectError<EMyError>(
        [&] { meta.GetMetaData(&c, nullptr, "Databases", TStringList()); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 2008);
    EXPECT_EQ(e->Message(), "MySQL client run out of memory\r\nthe server sends more than 100000 "
                            "rows, the most this list keeps");
    EXPECT_TRUE(c.Handle()->IsClosed());
}

} // namespace
} // namespace tabellix
