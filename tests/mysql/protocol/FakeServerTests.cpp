// The session against scripted peers, for what a real server will not do:
// old greetings and scrambles, odd exchanges, malformed answers and
// local-file requests.
#include "mysql/protocol/MySqlErrorsUni.h"
#include "mysql/protocol/MySqlLocalFile.h"
#include "mysql/protocol/MySqlNativeAuth.h"
#include "mysql/protocol/MySqlSessionUni.h"
#include "tests/mysql/protocol/FakeServer.h"
#include "tests/support/ExpectError.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tabellix {
namespace {

using test::Column41;
using test::FakeCaps41;
using test::FakeSalt;
using test::FakeServer;
using test::Greeting41;
using test::GreetingPayload;
using test::Lcs;
using test::Le;
using test::LoginOk;
using test::OkPayload;
using test::Packet;
using test::TMemoryVio;

constexpr uint32_t CapsOld = CLIENT_LONG_PASSWORD | CLIENT_LONG_FLAG | CLIENT_CONNECT_WITH_DB;
// 0x3A285 with FOUND_ROWS and CONNECT_WITH_DB, as sent to a 4.1 server.
constexpr uint32_t Flags41 = 0x3A28F;

std::string Bytes(const std::array<uint8_t, 20>& a) {
    return {reinterpret_cast<const char*>(a.data()), a.size()};
}

std::string Login41(const std::string& user, const std::string& auth, const std::string& db) {
    return Le(Flags41, 4) + Le(0x40000000, 4) + '\x08' + std::string(23, '\0') + user + '\0' +
           auth + db;
}

void Connect(TMySqlSession& s, int port, const std::string& password, const std::string& db = "") {
    s.SetConnectTimeout(5);
    s.SetCommandTimeout(5);
    s.Connect("127.0.0.1", "bob", password, db, static_cast<unsigned>(port), "", 0x10002);
}

// A loopback port that nothing listens on.
int UnusedPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    bind(fd, reinterpret_cast<sockaddr*>(&sa), len);
    getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    close(fd);
    return ntohs(sa.sin_port);
}

int ConnectError(const std::string& serverBytes) {
    FakeServer server({FakeServer::Send(serverBytes), FakeServer::Hangup()});
    TMySqlSession s;
    auto e = test::ExpectError<EMySqlException>([&] { Connect(s, server.Port(), "pw"); });
    return e ? e->ErrorCode() : 0;
}

TEST(FakeServerLogin, PreFourOneServerGetsTheShortHeaderAndOldScramble) {
    FakeServer server(FakeServer::Login(Packet(0, GreetingPayload(CapsOld, FakeSalt)),
                                        Packet(2, std::string(3, '\0'))));
    TMySqlSession s;
    s.SetAllowOldPasswords(true);
    Connect(s, server.Port(), "secret", "shop");
    const auto& got = server.Received();
    ASSERT_EQ(got.size(), 1u);
    std::string scramble = ScrambleOld("secret", reinterpret_cast<const uint8_t*>(FakeSalt.data()));
    EXPECT_EQ(got[0], "\x01" + Le(0xA08F, 2) + Le(0, 3) + "bob" + '\0' + scramble + "shop");
    EXPECT_FALSE(s.protocol41());
    EXPECT_EQ(s.ClientFlag(), 0x3A08Fu);
    EXPECT_EQ(s.Database(), "shop");
    EXPECT_EQ(s.ServerVersion(), "5.0.99-fake");
    EXPECT_EQ(s.ThreadId(), 42);
    EXPECT_EQ(s.HostInfo(), "127.0.0.1 via TCP/IP");
}

TEST(FakeServerLogin, EightSaltBytesOnlyMeansPreFourOneLogin) {
    FakeServer server(FakeServer::Login(Packet(0, GreetingPayload(FakeCaps41, FakeSalt, false)),
                                        Packet(2, std::string(3, '\0'))));
    TMySqlSession s;
    s.SetAllowOldPasswords(true);
    Connect(s, server.Port(), "secret", "shop");
    std::string scramble = ScrambleOld("secret", reinterpret_cast<const uint8_t*>(FakeSalt.data()));
    const auto& got = server.Received();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], "\x01" + Le(0xA08F, 2) + Le(0, 3) + "bob" + '\0' + scramble);
    EXPECT_EQ(s.ServerCapabilities(), 0);
    EXPECT_EQ(s.Database(), "");
}

TEST(FakeServerLogin, FourOneLoginEndsWithTheDatabaseOrAZeroByte) {
    struct Case {
        const char* name;
        std::string password, db, auth;
    };
    auto salt = reinterpret_cast<const uint8_t*>(FakeSalt.data());
    const Case cases[] = {
        {"scramble and database", "secret", "shop", "\x14" + Bytes(Scramble41("secret", salt))},
        {"scramble and an empty database field", "secret", "",
         "\x14" + Bytes(Scramble41("secret", salt)) + '\0'},
        {"empty password and database", "", "shop", std::string(1, '\0')},
        {"empty password alone", "", "", std::string(2, '\0')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeServer server(FakeServer::Login());
        TMySqlSession s;
        Connect(s, server.Port(), c.password, c.db);
        const auto& got = server.Received();
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0], "\x01" + Login41("bob", c.auth, c.db));
        EXPECT_TRUE(s.protocol41());
    }
}

TEST(FakeServerLogin, OldPasswordRequestGetsThePreFourOneScramble) {
    FakeServer server(
        FakeServer::Login(Greeting41(), Packet(2, "\xFE"),
                          {FakeServer::Read(), FakeServer::Send(Packet(4, OkPayload()))}));
    TMySqlSession s;
    s.SetAllowOldPasswords(true);
    Connect(s, server.Port(), "secret");
    const auto& got = server.Received();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1],
              "\x03" + ScrambleOld("secret", reinterpret_cast<const uint8_t*>(FakeSalt.data())));
}

TEST(FakeServerLogin, TwentyFourByteExchangeWithAndWithoutStar) {
    const std::string newSalt = "ABCDEFGHIJKLMNOPQRST";
    for (bool star : {false, true}) {
        SCOPED_TRACE(star ? "star" : "new salt");
        std::string answer =
            (star ? std::string("*\x01\x02\x03", 4) : std::string("\x05\x06\x07\x08", 4)) + newSalt;
        FakeServer server(
            FakeServer::Login(Greeting41(), Packet(2, answer),
                              {FakeServer::Read(), FakeServer::Send(Packet(4, OkPayload()))}));
        TMySqlSession s;
        s.SetAllowOldPasswords(true);
        Connect(s, server.Port(), "sec ret");
        const auto& got = server.Received();
        ASSERT_EQ(got.size(), 2u);
        std::string expected;
        if (star) {
            expected = ScrambleOld("sec ret", reinterpret_cast<const uint8_t*>(newSalt.data()));
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.ScrambleBuff()), 20), newSalt);
        } else {
            auto s1 = PasswordHashStage1("secret");
            auto s2 = s1;
            PasswordHashStage2(s2, reinterpret_cast<const uint8_t*>(answer.data()), 0);
            for (size_t i = 0; i < 20; ++i)
                expected += static_cast<char>(newSalt[i] ^ s2[i] ^ s1[i]);
        }
        EXPECT_EQ(got[1], "\x03" + expected);
    }
}

TEST(FakeServerLogin, HostNameIsResolvedWithinTheTimeout) {
    FakeServer server(FakeServer::Login());
    TMySqlSession s;
    s.SetConnectTimeout(5);
    s.Connect("localhost", "bob", "", "", static_cast<unsigned>(server.Port()), "", 0);
    EXPECT_EQ(s.Host(), "localhost");
    EXPECT_EQ(s.HostInfo(), "localhost via TCP/IP");
    EXPECT_EQ(server.Received().size(), 1u);
}

TEST(FakeServerLogin, BadGreetingsRaiseTypedErrors) {
    std::string v9 = GreetingPayload(FakeCaps41, FakeSalt, true, 9);
    FakeServer server({FakeServer::Send(Packet(0, v9)), FakeServer::Hangup()});
    TMySqlSession s;
    auto e = test::ExpectError<EMySqlException>([&] { Connect(s, server.Port(), "pw"); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 2007);
    EXPECT_EQ(e->Message(), "Protocol mismatch. Server Version = 9 Client Version = 10");
    EXPECT_EQ(ConnectError(Packet(1, GreetingPayload(FakeCaps41, FakeSalt))), 1156);
    EXPECT_EQ(ConnectError(Packet(0, "\xFF\x6A\x04Host is not allowed")), 1130);
    EXPECT_EQ(ConnectError(""), 2013);
}

TEST(FakeServerLogin, RefusedPortAndBadPortGive2003) {
    int port = UnusedPort();
    TMySqlSession s;
    auto e = test::ExpectError<EMySqlException>([&] { Connect(s, port, "pw"); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 2003);
    EXPECT_EQ(e->Message().rfind("Can't connect to MySQL server on '127.0.0.1' (10061)\r\n"
                                 "Socket error on connect. WSAGetLastError return ",
                                 0),
              0u);
    e = test::ExpectError<EMySqlException>(
        [&] { s.Connect("127.0.0.1", "bob", "", "", 70000, "", 0); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 2003);
    EXPECT_NE(e->Message().find("70000"), std::string::npos);
}

// A session logged in through an in-memory transport, for answer decoding.
struct MemorySession {
    MemorySession() {
        auto v = std::make_unique<TMemoryVio>(Greeting41() + LoginOk());
        vio = v.get();
        s.net().SetVio(std::move(v));
        s.SetProtocolType(MYSQL_PROTOCOL_SOCKET);
        s.Connect("mem", "bob", "", "", 1, "", 0x10002);
    }
    void Query(const std::string& sql) {
        s.SimpleCommand(TServerCommand::scQuery, reinterpret_cast<const uint8_t*>(sql.data()),
                        static_cast<int>(sql.size()), true);
        s.ReadQueryResult();
    }
    TMySqlSession s;
    TMemoryVio* vio;
};

TEST(FakeServerAnswers, OkPacketFillsTheCounters) {
    MemorySession m;
    m.vio->Serve(Packet(1, std::string("\x00\x01\x07\x22\x00\x03\x00\x0F", 8) + "Rows matched: 1"));
    m.Query("insert into t values (1)");
    EXPECT_EQ(m.s.AffectedRows(), 1);
    EXPECT_EQ(m.s.InsertId(), 7);
    EXPECT_EQ(m.s.ServerStatus(), 0x22);
    EXPECT_EQ(m.s.WarningCount(), 3);
    EXPECT_EQ(m.s.Info(), "Rows matched: 1");
    EXPECT_EQ(m.s.FieldCount(), 0);
    EXPECT_EQ(m.s.Status(), TMySqlStatus::msReady);
}

TEST(FakeServerAnswers, ColumnDescriptionsAndStreamedRows) {
    MemorySession m;
    std::string big(300, 'v');
    m.vio->Serve(Packet(1, "\x04") + Packet(2, Column41("a", 253, 0xFFFFFFFF)) +
                 Packet(3, Column41("ts19", 7, 19)) + Packet(4, Column41("ts14", 7, 14)) +
                 Packet(5, Column41("y", 13, 4)) + Packet(6, "\xFE\x00\x00\x02\x00") +
                 Packet(7, "\xFB" + std::string(1, '\0') + "\xFC\x2C\x01" + big + "\x01x") +
                 Packet(8, std::string("\xFE\x01\x00\x0A\x00", 5)));
    m.Query("select");
    ASSERT_EQ(m.s.Fields().size(), 4u);
    EXPECT_EQ(m.s.Status(), TMySqlStatus::msGetResult);
    const TMySqlFieldInfo& a = m.s.Fields()[0];
    EXPECT_EQ(a.Length, 4294967295u);
    EXPECT_EQ(a._Type, 253);
    EXPECT_EQ(a.Name, "a");
    EXPECT_EQ(a.Database, "db");
    EXPECT_EQ(a.CharsetNr, 33u);
    EXPECT_EQ(a.Flags & NUM_FLAG, 0u);
    EXPECT_EQ(m.s.Fields()[1].Flags & NUM_FLAG, 0u);
    EXPECT_NE(m.s.Fields()[2].Flags & NUM_FLAG, 0u);
    EXPECT_NE(m.s.Fields()[3].Flags & NUM_FLAG, 0u);
    EXPECT_THROW(m.Query("again"), EMySqlException);

    TMySqlResultSet rs(&m.s);
    m.s.SetStatus(TMySqlStatus::msUseResult);
    ASSERT_TRUE(rs.Read(rs.Bind()));
    const auto& b = rs.Bind()->Binds;
    EXPECT_TRUE(b[0].IsNull);
    EXPECT_EQ(b[0].Offset, 0u);
    EXPECT_FALSE(b[1].IsNull);
    EXPECT_EQ(b[1].Length, 0u);
    EXPECT_NE(b[1].Offset, 0u);
    EXPECT_EQ(b[2].Offset, 5u);
    EXPECT_EQ(b[2].Length, 300u);
    EXPECT_EQ(
        std::string(reinterpret_cast<const char*>(rs.Bind()->Buffer) + b[3].Offset, b[3].Length),
        "x");
    EXPECT_FALSE(rs.Read(rs.Bind()));
    EXPECT_EQ(m.s.ServerStatus(), 10);
    EXPECT_EQ(m.s.Status(), TMySqlStatus::msReady);
}

// Each fault closes the session, so the next command reports the server gone
// instead of reading what follows the broken packet.
TEST(FakeServerAnswers, MalformedResultsRaiseTypedErrorsAndCloseTheSession) {
    struct Case {
        const char* name;
        std::string answer;
        int code;
    };
    const Case cases[] = {
        {"fewer descriptions than announced",
         Packet(1, "\x02") + Packet(2, Column41("a", 3, 11)) + Packet(3, "\xFE\x00\x00\x02\x00"),
         2027},
        {"description cut short",
         Packet(1, "\x01") + Packet(2, Lcs("def") + "\x10" + "ab") +
             Packet(3, "\xFE\x00\x00\x02\x00"),
         2027},
        {"column count beyond 32 bits",
         Packet(1, std::string("\xFE\x00\x00\x00\x00\x01\x00\x00\x00", 9)), 2027},
        {"column count of 2^64-1, not a local-file request",
         Packet(1, "\xFE" + std::string(8, '\xFF')), 2027},
        {"more columns than a table can have", Packet(1, "\xFC" + Le(4097, 2)), 2027},
        {"connection lost in the descriptions", Packet(1, "\x01") + Packet(2, "\x03"), 2013},
        {"empty answer", Packet(1, ""), 2027},
        {"OK packet cut before its insert id", Packet(1, std::string("\x00\x01", 2)), 2027},
        {"OK packet cut inside its status", Packet(1, std::string("\x00\x01\x00\x02", 4)), 2027},
        {"answer out of order", Packet(2, OkPayload()), 1156},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemorySession m;
        // A good answer follows the broken one, unless the connection is lost.
        m.vio->Serve(c.answer + (c.code == 2013 ? "" : Packet(1, OkPayload())));
        auto e = test::ExpectError<EMySqlException>([&] { m.Query("select"); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->ErrorCode(), c.code);
        EXPECT_TRUE(m.s.IsClosed());
        EXPECT_EQ(m.s.net().vio(), nullptr);
        e = test::ExpectError<EMySqlException>([&] { m.Query("select 1"); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->ErrorCode(), 2006);
        EXPECT_EQ(e->Message(), "MySQL server has gone away");
    }
    MemorySession m;
    m.vio->Serve(Packet(1, "\x01") + Packet(2, Column41("a", 253, 10)) + Packet(3, "\xFE") +
                 Packet(4, "\x01x") +
                 Packet(5, "\x05"
                           "ab"));
    m.Query("select");
    TMySqlResultSet rs(&m.s);
    auto e = test::ExpectError<EMySqlException>([&] { rs.Read(nullptr); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 2028);
    // A missing row record is the caller's fault, not the stream's.
    EXPECT_FALSE(m.s.IsClosed());
    e = test::ExpectError<EMySqlException>([&] { rs.Read(rs.Bind()); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 2027);
    EXPECT_TRUE(m.s.IsClosed());
}

TEST(FakeServerAnswers, FreeQueryDiscardsRowsAndTheSkipPacket) {
    MemorySession m;
    m.vio->Serve(Packet(1, "\x01") + Packet(2, Column41("a", 253, 10)) +
                 Packet(3, "\xFE\x00\x00\x02\x00") + Packet(4, "\x01x") + Packet(5, "\x01y") +
                 Packet(6, "\xFE\x00\x00\x02\x00") + Packet(7, OkPayload()));
    m.Query("call p()");
    m.s.SetSkipPacket(true);
    m.s.FreeQuery();
    EXPECT_EQ(m.s.Status(), TMySqlStatus::msReady);
    EXPECT_FALSE(m.s.SkipPacket());
    m.s.SetSkipPacket(true);
    m.s.FreeQuery(); // ready: reads nothing
    EXPECT_TRUE(m.s.SkipPacket());
    m.vio->Serve(Packet(1, OkPayload(2)));
    m.Query("delete");
    EXPECT_EQ(m.s.AffectedRows(), 2);
}

TEST(FakeServerAnswers, EveryTruncationOfAGoodExchangeGivesATypedError) {
    std::string greeting = Greeting41();
    std::string answer = Packet(1, "\x01") + Packet(2, Column41("a", 253, 10)) +
                         Packet(3, "\xFE\x00\x00\x02\x00") + Packet(4, "\x01x") +
                         Packet(5, "\xFE\x00\x00\x02\x00");
    for (size_t cut = 0; cut < answer.size(); ++cut) {
        SCOPED_TRACE(cut);
        MemorySession m;
        m.vio->Serve(answer.substr(0, cut));
        EXPECT_THROW(
            {
                m.Query("select");
                TMySqlResultSet rs(&m.s);
                m.s.SetStatus(TMySqlStatus::msUseResult);
                while (rs.Read(rs.Bind())) {
                }
            },
            Exception);
        EXPECT_TRUE(m.s.IsClosed());
        auto next = test::ExpectError<EMySqlException>([&] { m.Query("select 1"); });
        ASSERT_TRUE(next);
        EXPECT_EQ(next->ErrorCode(), 2006);
    }
    for (size_t i = 4; i < greeting.size(); ++i) {
        for (uint8_t flip : {0x00, 0xFF, 0x80}) {
            std::string bad = greeting;
            bad[i] = static_cast<char>(bad[i] ^ flip ^ 0x5A);
            auto v = std::make_unique<TMemoryVio>(bad + LoginOk());
            TMySqlSession s;
            s.net().SetVio(std::move(v));
            s.SetProtocolType(MYSQL_PROTOCOL_SOCKET);
            try {
                s.Connect("mem", "bob", "pw", "db", 1, "", 0);
            } catch (const Exception&) {
            }
        }
    }
}

// The login, a query answered by a local-file request for requested, the
// reads of the client's answer (the file in two packets and the empty one
// when it is sent, the empty one alone otherwise) and the final OK.
std::vector<FakeServer::Step> LocalFileScript(const std::string& requested, bool sent) {
    std::vector<FakeServer::Step> script =
        FakeServer::Login({FakeServer::Read(), FakeServer::Send(Packet(1, "\xFB" + requested))});
    for (int i = 0; i < (sent ? 3 : 1); ++i)
        script.push_back(FakeServer::Read());
    script.push_back(FakeServer::Send(Packet(sent ? 5 : 3, OkPayload(sent ? 1 : 0))));
    return script;
}

// Runs `statement` against LocalFileScript, the session serving `rows` when
// given, and checks the client's answer: `content` in two packets and the
// empty one when sent, the empty packet alone otherwise.
void ExpectLocalFileAnswer(const std::string& statement, const std::string& requested, bool sent,
                           const std::string& content, const TLocalRows* rows = nullptr) {
    FakeServer server(LocalFileScript(requested, sent));
    TMySqlSession s;
    Connect(s, server.Port(), "");
    s.SetLocalRows(rows);
    s.SimpleCommand(TServerCommand::scQuery, reinterpret_cast<const uint8_t*>(statement.data()),
                    static_cast<int>(statement.size()), true);
    s.ReadQueryResult();
    const auto& got = server.Received();
    if (sent) {
        ASSERT_EQ(got.size(), 5u);
        EXPECT_EQ(got[2], "\x02" + content.substr(0, 8192));
        EXPECT_EQ(got[3], "\x03" + content.substr(8192));
        EXPECT_EQ(got[4], "\x04");
    } else {
        ASSERT_EQ(got.size(), 3u);
        EXPECT_EQ(got[2], "\x02");
    }
}

TEST(FakeServerLocalFile, RequestIsHonouredOnlyForTheStatementsOwnFile) {
    test::TempDir dir;
    std::string path = (dir.Path() / "data.csv").string();
    std::string content(10000, 'k');
    std::ofstream(path, std::ios::binary) << content;
    struct Case {
        const char* name;
        std::string statement, requested;
        bool sent;
    };
    const Case cases[] = {
        {"the statement's file", "LOAD DATA LOCAL INFILE '" + path + "' INTO TABLE t", path, true},
        {"low priority, lower case",
         "  load data low_priority local infile \"" + path + "\" into table t", path, true},
        {"another file than named", "LOAD DATA LOCAL INFILE '/nonexistent' INTO TABLE t", path,
         false},
        {"not a load statement", "SELECT 1", path, false},
        {"server-side load", "LOAD DATA INFILE '" + path + "' INTO TABLE t", path, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectLocalFileAnswer(c.statement, c.requested, c.sent, content);
    }
}

// The program's own rows go out for their name, and a file of that very
// name is never read; a request for any other file gets nothing.
TEST(FakeServerLocalFile, RowsFromMemoryAnswerOnlyTheirOwnNameAndNeverTheFileOfThatName) {
    test::TempDir dir;
    const std::string path = (dir.Path() / "rows").string();
    std::ofstream(path, std::ios::binary) << "from disk";
    const std::string data = std::string(9000, 'r');
    const TLocalRows rows{path, data};
    struct Case {
        const char* name;
        std::string requested;
        bool sent;
    };
    const Case cases[] = {{"their own name", path, true},
                          {"another file", (dir.Path() / "other").string(), false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::ofstream(dir.Path() / "other", std::ios::binary) << "other file";
        ExpectLocalFileAnswer("LOAD DATA LOCAL INFILE '" + path + "' INTO TABLE t", c.requested,
                              c.sent, data, &rows);
    }
}

TEST(FakeServerLocalFile, MissingFileIsReportedAfterTheEmptyPacket) {
    std::string statement = "LOAD DATA LOCAL INFILE '/nonexistent/x' INTO TABLE t";
    FakeServer server(
        FakeServer::Login({FakeServer::Read(), FakeServer::Send(Packet(1, "\xFB/nonexistent/x")),
                           FakeServer::Read(), FakeServer::Send(Packet(3, OkPayload()))}));
    TMySqlSession s;
    Connect(s, server.Port(), "");
    s.SimpleCommand(TServerCommand::scQuery, reinterpret_cast<const uint8_t*>(statement.data()),
                    static_cast<int>(statement.size()), true);
    EXPECT_THROW(s.ReadQueryResult(), EOSError);
    ASSERT_EQ(server.Received().size(), 3u);
    EXPECT_EQ(server.Received()[2], "\x02");
}

// An in-memory transport whose writes fail once `left` of them have gone through.
class FailingWritesVio : public TMemoryVio {
public:
    using TMemoryVio::TMemoryVio;
    int Write(const uint8_t* buffer, int offset, int count) override {
        return left-- > 0 ? TMemoryVio::Write(buffer, offset, count) : 0;
    }
    int left = 0;
};

size_t OpenFiles() {
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                             std::filesystem::directory_iterator()));
}

TEST(FakeServerLocalFile, ALostConnectionWhileSendingStillClosesTheFile) {
    test::TempDir dir;
    std::string path = (dir.Path() / "data.csv").string();
    std::ofstream(path, std::ios::binary) << std::string(10000, 'k');
    std::string statement = "LOAD DATA LOCAL INFILE '" + path + "' INTO TABLE t";
    auto v =
        std::make_unique<FailingWritesVio>(Greeting41() + LoginOk() + Packet(1, "\xFB" + path));
    v->left = 2; // the login and the statement
    TMySqlSession s;
    s.net().SetVio(std::move(v));
    s.SetProtocolType(MYSQL_PROTOCOL_SOCKET);
    s.Connect("mem", "bob", "", "", 1, "", 0x10002);
    const size_t before = OpenFiles();
    s.SimpleCommand(TServerCommand::scQuery, reinterpret_cast<const uint8_t*>(statement.data()),
                    static_cast<int>(statement.size()), true);
    auto e = test::ExpectError<EMySqlException>([&] { s.ReadQueryResult(); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 2013);
    EXPECT_EQ(OpenFiles(), before);
    EXPECT_TRUE(s.IsClosed());
}

TEST(FakeServerCommands, CloseSendsOneQuitAndClosesTheTransport) {
    FakeServer server(FakeServer::Login({FakeServer::Read(), FakeServer::Read()}));
    TMySqlSession s;
    Connect(s, server.Port(), "");
    s.Close();
    s.Close();
    EXPECT_EQ(s.net().vio(), nullptr);
    const auto& got = server.Received();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1], std::string("\x00\x01", 2));
    TMySqlSession never;
    never.Close();
}

TEST(LocalInfileStatements, NameIsTakenFromTheLiteral) {
    EXPECT_EQ(LocalInfileName("LOAD DATA LOCAL INFILE 'a''b\\n' INTO TABLE t"), "a'b\n");
    EXPECT_EQ(LocalInfileName("load data concurrent local infile \"x\""), "x");
    EXPECT_EQ(LocalInfileName("LOAD DATA LOCALINFILE 'x'"), std::nullopt);
    EXPECT_EQ(LocalInfileName("LOAD DATA LOCAL INFILE 'unterminated"), std::nullopt);
    EXPECT_EQ(LocalInfileName("/* LOAD DATA LOCAL INFILE 'x' */ SELECT 1"), std::nullopt);
}

} // namespace
} // namespace tabellix
