// The session against hostile or failing servers: the old scramble refused
// unless allowed, cut greetings, oversized login packets, the server's
// NO_BACKSLASH_ESCAPES undone, and a server that falls silent.
#include "mysql/protocol/MySqlErrorsUni.h"
#include "mysql/protocol/MySqlNativeAuth.h"
#include "mysql/protocol/MySqlSessionUni.h"
#include "tests/mysql/protocol/FakeServer.h"
#include "tests/support/ExpectError.h"

#include <gtest/gtest.h>

namespace tabellix {
namespace {

using test::FakeCaps41;
using test::FakeSalt;
using test::FakeServer;
using test::Greeting41;
using test::GreetingPayload;
using test::Le;
using test::LoginOk;
using test::OkPayload;
using test::Packet;
using test::PluginGreetingPayload;
using test::TMemoryVio;

constexpr uint32_t CapsOld = CLIENT_LONG_PASSWORD | CLIENT_LONG_FLAG | CLIENT_CONNECT_WITH_DB;

// Logs in over an in-memory transport serving `bytes`; what was written is kept.
struct MemoryLogin {
    explicit MemoryLogin(const std::string& bytes, bool allowOld = false) {
        auto v = std::make_unique<TMemoryVio>(bytes);
        vio = v.get();
        s.net().SetVio(std::move(v));
        s.SetProtocolType(MYSQL_PROTOCOL_SOCKET);
        s.SetAllowOldPasswords(allowOld);
    }
    void Connect(const std::string& password = "secret") {
        s.Connect("mem", "bob", password, "", 1, "", 0x2);
    }
    TMySqlSession s;
    TMemoryVio* vio;
};

TEST(HostileServer, OldScrambleRoadsAreRefusedUnlessAllowed) {
    const std::string greeting = Greeting41();
    struct Case {
        const char* name;
        std::string bytes;
        int code;
    };
    const Case cases[] = {
        {"greeting without SECURE_CONNECTION",
         Packet(0, GreetingPayload(CapsOld, FakeSalt)) + Packet(2, std::string(3, '\0')), 2049},
        {"greeting with the first salt bytes only",
         Packet(0, GreetingPayload(FakeCaps41, FakeSalt, false)) + Packet(2, std::string(3, '\0')),
         2049},
        {"one-byte 0xFE after the login", greeting + Packet(2, "\xFE") + Packet(4, OkPayload()),
         2049},
        {"24-byte answer asking for the old scramble",
         greeting + Packet(2, "*\x01\x02\x03" + FakeSalt) + Packet(4, OkPayload()), 2049},
        {"one-byte 0xFE in a plugin exchange",
         Packet(0, PluginGreetingPayload(FakeCaps41 | CLIENT_PLUGIN_AUTH, FakeSalt,
                                         "mysql_native_password")) +
             Packet(2, "\xFE") + Packet(4, OkPayload()),
         2049},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryLogin refused(c.bytes);
        auto e = test::ExpectError<EMySqlException>([&] { refused.Connect(); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->ErrorCode(), c.code);
        EXPECT_NE(e->Message().find("AllowOldPasswords"), std::string::npos) << e->Message();
        EXPECT_TRUE(refused.s.IsClosed());

        MemoryLogin allowed(c.bytes, true);
        allowed.Connect();
        EXPECT_EQ(allowed.s.Status(), TMySqlStatus::msReady);
    }
}

TEST(HostileServer, CutGreetingsAreMalformed) {
    std::string cutInSalt = GreetingPayload(FakeCaps41, FakeSalt);
    cutInSalt.resize(cutInSalt.size() - 6);
    struct Case {
        const char* name;
        std::string payload;
    };
    const Case cases[] = {
        {"four bytes", "\x0A\x35\x2E\x37"},
        {"version without its zero byte", "\x0A" + std::string(40, '5')},
        {"cut inside the first salt bytes",
         GreetingPayload(FakeCaps41, FakeSalt, false).substr(0, 20)},
        {"cut inside the rest of the salt", cutInSalt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryLogin m(Packet(0, c.payload));
        auto e = test::ExpectError<EMySqlException>([&] { m.Connect(); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->ErrorCode(), 2027);
        EXPECT_NE(e->Message().find("the server's greeting is cut short"), std::string::npos)
            << e->Message();
        EXPECT_TRUE(m.s.IsClosed());
    }
}

TEST(HostileServer, LoginPacketsOver64KiBAreRefusedBeforeTheirBytes) {
    const std::string greeting = Greeting41();
    const std::string header = Le(TMySqlNet::MaxPacketSize, 3) + '\0';
    const std::string answerHeader = Le(65537, 3) + '\x02';
    for (const std::string& bytes : {header, greeting + answerHeader}) {
        MemoryLogin m(bytes + std::string(1000, 'g'));
        auto e = test::ExpectError<EMySqlException>([&] { m.Connect(); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->ErrorCode(), 2020);
        EXPECT_NE(e->Message().find("more than the 65536 allowed here"), std::string::npos)
            << e->Message();
        EXPECT_LT(m.s.net().Length(), 65536);
    }
    // After the login the limit is the chosen one, 64 MiB unless set, never
    // more than the 1 GiB the login announces.
    for (const size_t chosen : {size_t{0}, size_t{1} << 20, size_t{4} << 30}) {
        MemoryLogin m(greeting + LoginOk());
        if (chosen != 0)
            m.s.SetMaxPacket(chosen);
        m.Connect();
        EXPECT_EQ(m.s.net().PacketLimit(),
                  chosen == 0 ? size_t{64} << 20
                              : std::min<size_t>(chosen, TMySqlNet::LoginMaxPacketSize));
    }
}

constexpr std::string_view KeepBackslashes =
    "SET SESSION sql_mode = TRIM(BOTH ',' FROM REPLACE(CONCAT(',', @@SESSION.sql_mode, ','), "
    "',NO_BACKSLASH_ESCAPES,', ','))";

TEST(HostileServer, NoBackslashEscapesInTheLoginsStatusIsSwitchedOffFirst) {
    const std::string greeting = Greeting41();
    MemoryLogin m(greeting + Packet(2, OkPayload(0, 0, 0x0202)) +
                  Packet(1, OkPayload(0, 0, 0x0002)));
    m.Connect("");
    ASSERT_EQ(m.vio->Writes.size(), 2u);
    EXPECT_EQ(m.vio->Writes[1], Packet(0, "\x03" + std::string(KeepBackslashes)));
    EXPECT_EQ(m.s.ServerStatus(), 2);
    // Without the bit nothing is sent after the login, and no multi-statements are asked for.
    MemoryLogin plain(greeting + Packet(2, OkPayload(0, 0, 0x0002)));
    plain.Connect("");
    EXPECT_EQ(plain.vio->Writes.size(), 1u);
    EXPECT_EQ(plain.s.ClientFlag() & CLIENT_MULTI_STATEMENTS, 0u);
    // A server that keeps the mode ends the session.
    MemoryLogin stubborn(greeting + Packet(2, OkPayload(0, 0, 0x0202)) +
                         Packet(1, OkPayload(0, 0, 0x0202)));
    auto e = test::ExpectError<EMySqlException>([&] { stubborn.Connect(""); });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 2027);
    EXPECT_TRUE(stubborn.s.IsClosed());
}

// A command's answer may take long if it keeps coming; silence longer than
// the read time-out ends the session with 2013. The pauses stay far from the
// time-out either way, so a slow machine cannot turn one case into the other.
TEST(HostileServer, SilenceLongerThanTheReadTimeoutEndsTheSession) {
    constexpr int TimeoutSeconds = 3;
    const std::string ok = Packet(1, OkPayload());
    // One byte at a time, 300 ms before each: 3.3 s in all, longer than the time-out.
    std::vector<FakeServer::Step> drip;
    for (const char byte : ok) {
        drip.push_back(FakeServer::Pause(300));
        drip.push_back(FakeServer::Send(std::string(1, byte)));
    }
    ASSERT_GT(300 * ok.size(), TimeoutSeconds * 1000u);
    struct Case {
        const char* name;
        std::vector<FakeServer::Step> answer;
        int code;
    };
    const Case cases[] = {
        // Answering only after 5 s: the time-out passes once, and is not waited out twice.
        {"silent server", {FakeServer::Pause(5000), FakeServer::Send(ok)}, 2013},
        {"slow but steady server", drip, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<FakeServer::Step> script = FakeServer::Login({FakeServer::Read()});
        script.insert(script.end(), c.answer.begin(), c.answer.end());
        FakeServer server(script);
        TMySqlSession s;
        s.SetConnectTimeout(5);
        s.SetReadTimeout(TimeoutSeconds);
        s.Connect("127.0.0.1", "bob", "", "", static_cast<unsigned>(server.Port()), "", 0x2);
        const std::string sql = "select sleep(0)";
        auto run = [&] {
            s.SimpleCommand(TServerCommand::scQuery, reinterpret_cast<const uint8_t*>(sql.data()),
                            static_cast<int>(sql.size()), true);
            s.ReadQueryResult();
        };
        if (c.code == 0) {
            run();
            EXPECT_EQ(s.Status(), TMySqlStatus::msReady);
            continue;
        }
        auto e = test::ExpectError<EMySqlException>(run);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->ErrorCode(), c.code);
        EXPECT_EQ(e->Message().rfind("Lost connection to MySQL server during query", 0), 0u);
        EXPECT_TRUE(s.IsClosed());
    }
}

} // namespace
} // namespace tabellix
