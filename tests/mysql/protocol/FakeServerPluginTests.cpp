// Plugin authentication and TLS against scripted peers, for what the test
// MariaDB does not do: MySQL 8.4 greetings naming caching_sha2_password, its
// fast and full paths, sha256_password, switches, and the refusals.
#include "mysql/protocol/MySqlAuthCrypto.h"
#include "mysql/protocol/MySqlErrorsUni.h"
#include "mysql/protocol/MySqlNativeAuth.h"
#include "mysql/protocol/MySqlSessionUni.h"
#include "tests/mysql/protocol/FakeServer.h"
#include "tests/mysql/protocol/TestTls.h"
#include "tests/support/ExpectError.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tabellix {
namespace {

using test::FakeCaps41;
using test::FakeSalt;
using test::FakeServer;
using test::Le;
using test::LoginOk;
using test::OkPayload;
using test::Packet;
using test::PluginGreetingPayload;

constexpr uint32_t Caps84 = FakeCaps41 | CLIENT_PLUGIN_AUTH | CLIENT_PLUGIN_AUTH_LENENC_CLIENT_DATA;
// 0x3A28F (as sent to a 4.1 server) with the two plugin flags.
constexpr uint32_t Flags84 = 0x2BA28F;
const std::string NewSalt = "ABCDEFGHIJKLMNOPQRST";

template <class Array> std::string Str(const Array& a) {
    return {reinterpret_cast<const char*>(a.data()), a.size()};
}

std::string Greeting(const std::string& plugin, uint32_t extraCaps = 0) {
    return Packet(0, PluginGreetingPayload(Caps84 | extraCaps, FakeSalt, plugin));
}

std::string Login(const std::string& auth, const std::string& plugin, uint32_t extraFlags = 0) {
    return Le(Flags84 | extraFlags, 4) + Le(0x40000000, 4) + '\x08' + std::string(23, '\0') +
           "bob" + '\0' + static_cast<char>(auth.size()) + auth + "shop" + '\0' + plugin + '\0';
}

std::string Sha2(const std::string& password, const std::string& nonce) {
    return Str(CachingSha2Scramble(password, nonce));
}

std::string Xored(const std::string& password, const std::string& nonce) {
    std::string plain = password + '\0';
    for (size_t i = 0; i < plain.size(); ++i)
        plain[i] = static_cast<char>(plain[i] ^ nonce[i % nonce.size()]);
    return plain;
}

struct Options {
    bool tls = false;
    bool getKey = false;
    std::string keyFile;
};

Options WithTls() {
    Options o;
    o.tls = true;
    return o;
}
Options MayFetchKey() {
    Options o;
    o.getKey = true;
    return o;
}
Options KeyFromFile(const std::string& path) {
    Options o;
    o.keyFile = path;
    return o;
}

void Connect(TMySqlSession& s, int port, const std::string& password, const Options& o = {},
             const std::string& caFile = "") {
    s.SetConnectTimeout(5);
    s.SetCommandTimeout(5);
    if (o.tls) {
        s.SetProtocolType(MYSQL_PROTOCOL_SSL);
        s.SetSSL("", "", caFile, "", "");
    }
    s.SetGetServerPublicKey(o.getKey);
    s.SetServerPublicKeyFile(o.keyFile);
    s.Connect("127.0.0.1", "bob", password, "shop", static_cast<unsigned>(port), "", 0x10002);
}

TEST(FakeServerPlugins, LoginPacketNamesTheGreetingsPluginWithItsFirstAnswer) {
    auto salt = reinterpret_cast<const uint8_t*>(FakeSalt.data());
    struct Case {
        const char* name;
        std::string greetingPlugin, password, auth, sentPlugin;
    };
    const Case cases[] = {
        {"caching_sha2 scramble", "caching_sha2_password", "secret", Sha2("secret", FakeSalt),
         "caching_sha2_password"},
        {"caching_sha2 empty password", "caching_sha2_password", "", "", "caching_sha2_password"},
        {"native scramble", "mysql_native_password", "secret", Str(Scramble41("secret", salt)),
         "mysql_native_password"},
        {"unknown plugin: native instead", "authentication_kerberos_client", "secret",
         Str(Scramble41("secret", salt)), "mysql_native_password"},
        {"sha256 empty password", "sha256_password", "", std::string(1, '\0'), "sha256_password"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeServer server(FakeServer::Login(Greeting(c.greetingPlugin), LoginOk()));
        TMySqlSession s;
        Connect(s, server.Port(), c.password);
        const auto& got = server.Received();
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0], "\x01" + Login(c.auth, c.sentPlugin));
        EXPECT_EQ(s.ClientFlag(), Flags84);
        EXPECT_EQ(s.Database(), "shop");
    }
}

TEST(FakeServerPlugins, CachingSha2FastPathAndSwitchFromNative) {
    FakeServer fast(FakeServer::Login(Greeting("caching_sha2_password"), Packet(2, "\x01\x03"),
                                      {FakeServer::Send(Packet(3, OkPayload()))}));
    TMySqlSession s;
    Connect(s, fast.Port(), "secret");
    EXPECT_EQ(fast.Received().size(), 1u);

    FakeServer switched(FakeServer::Login(
        Greeting("mysql_native_password"),
        Packet(2, std::string("\xFE") + "caching_sha2_password" + '\0' + NewSalt + '\0'),
        {FakeServer::Read(), FakeServer::Send(Packet(4, "\x01\x03")),
         FakeServer::Send(Packet(5, OkPayload()))}));
    TMySqlSession t;
    Connect(t, switched.Port(), "secret");
    const auto& got = switched.Received();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1], "\x03" + Sha2("secret", NewSalt));
}

TEST(FakeServerPlugins, FullAuthenticationEncryptsWithTheServersKeyOnlyWhenAllowed) {
    const auto& key = test::TestRsaKey::Get();
    test::TempDir dir;
    const std::string keyFile = (dir.Path() / "server-key.pem").string();
    std::ofstream(keyFile) << key.PublicPem();
    const std::string full = "\x01\x04";

    // Fetched from the server when allowed: 0x02 asks, more data brings the PEM.
    FakeServer fetched(FakeServer::Login(
        Greeting("caching_sha2_password"), Packet(2, full),
        {FakeServer::Read(), FakeServer::Send(Packet(4, "\x01" + key.PublicPem())),
         FakeServer::Read(), FakeServer::Send(Packet(6, OkPayload()))}));
    TMySqlSession a;
    Connect(a, fetched.Port(), "secret", MayFetchKey());
    auto got = fetched.Received();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[1], "\x03\x02");
    ASSERT_EQ(got[2][0], '\x05');
    EXPECT_EQ(key.Decrypt(got[2].substr(1)), Xored("secret", FakeSalt));

    // From the user's file: no request, the encrypted password at once.
    FakeServer fromFile(
        FakeServer::Login(Greeting("caching_sha2_password"), Packet(2, full),
                          {FakeServer::Read(), FakeServer::Send(Packet(4, OkPayload()))}));
    TMySqlSession b;
    Connect(b, fromFile.Port(), "secret", KeyFromFile(keyFile));
    got = fromFile.Received();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(key.Decrypt(got[1].substr(1)), Xored("secret", FakeSalt));

    // sha256_password asks with 0x01 in its first answer.
    FakeServer sha256(
        FakeServer::Login(Greeting("sha256_password"), Packet(2, "\x01" + key.PublicPem()),
                          {FakeServer::Read(), FakeServer::Send(Packet(4, OkPayload()))}));
    TMySqlSession c;
    Connect(c, sha256.Port(), "secret", MayFetchKey());
    got = sha256.Received();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], "\x01" + Login("\x01", "sha256_password"));
    EXPECT_EQ(key.Decrypt(got[1].substr(1)), Xored("secret", FakeSalt));
}

TEST(FakeServerPlugins, RefusalsSendNothingFurther) {
    struct Case {
        const char* name;
        std::string greetingPlugin, answer;
        int code;
        std::string message;
    };
    const Case cases[] = {
        {"RSA key not allowed", "caching_sha2_password", "\x01\x04", 2061,
         "Authentication plugin 'caching_sha2_password' reported error: Authentication "
         "requires secure connection."},
        {"unknown plugin", "mysql_native_password",
         std::string("\xFE") + "dialog" + '\0' + "Password: ", 2059,
         "Authentication plugin 'dialog' cannot be loaded"},
        {"clear password on plain TCP", "mysql_native_password",
         std::string("\xFE") + "mysql_clear_password" + '\0', 2061,
         "Authentication plugin 'mysql_clear_password' reported error: Authentication "
         "requires secure connection."},
        {"unexpected packet", "mysql_native_password", "\x07", 2027, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeServer server(FakeServer::Login(Greeting(c.greetingPlugin), Packet(2, c.answer),
                                            {FakeServer::Read()}));
        auto e = test::ExpectError<EMySqlException>([&] {
            TMySqlSession s;
            Connect(s, server.Port(), "secret");
        });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->ErrorCode(), c.code);
        if (!c.message.empty()) {
            EXPECT_EQ(e->Message(), c.message);
        }
        EXPECT_EQ(e->Message().find("secret"), std::string::npos);
        EXPECT_EQ(server.Received().size(), 1u);
    }
}

TEST(FakeServerPlugins, FullPathAndClearPasswordOverTls) {
    test::TestCertificates certs;
    for (const std::string& plugin :
         {std::string("caching_sha2_password"), std::string("mysql_clear_password")}) {
        SCOPED_TRACE(plugin);
        bool sha2 = plugin == "caching_sha2_password";
        std::string switchRequest = std::string("\xFE") + plugin + '\0';
        FakeServer server(
            {FakeServer::Send(Greeting("caching_sha2_password", CLIENT_SSL)), FakeServer::Read(),
             FakeServer::StartTls(certs.CertFile(), certs.KeyFile()), FakeServer::Read(),
             FakeServer::Send(Packet(3, sha2 ? std::string("\x01\x04") : switchRequest)),
             FakeServer::Read(), FakeServer::Send(Packet(5, OkPayload()))});
        TMySqlSession s;
        Connect(s, server.Port(), "secret", WithTls(), certs.CAFile());
        const auto& got = server.Received();
        ASSERT_EQ(got.size(), 3u);
        EXPECT_EQ(got[0], "\x01" + Le(Flags84 | CLIENT_SSL, 4) + Le(0x40000000, 4) + '\x08' +
                              std::string(23, '\0'));
        EXPECT_EQ(got[1],
                  "\x02" + Login(Sha2("secret", FakeSalt), "caching_sha2_password", CLIENT_SSL));
        EXPECT_EQ(got[2], "\x04" + std::string("secret") + '\0');
    }
}

TEST(FakeServerPlugins, TlsRequiredButNotOfferedGives2026) {
    FakeServer server({FakeServer::Send(Greeting("caching_sha2_password")), FakeServer::Read()});
    auto e = test::ExpectError<EMySqlException>([&] {
        TMySqlSession s;
        Connect(s, server.Port(), "secret", WithTls());
    });
    ASSERT_TRUE(e);
    EXPECT_EQ(e->ErrorCode(), 2026);
    EXPECT_EQ(e->Message(),
              "SSL connection error\r\nSSL is required but the server doesn't support it");
    EXPECT_TRUE(server.Received().empty());
}

} // namespace
} // namespace tabellix
