// What tests need from their surroundings: the source tree, the shared
// real-world workbooks and the private MariaDB server. Under CI=true a
// missing resource fails the test; elsewhere it skips with a message.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

namespace tabellix::test {

bool InCI();
std::filesystem::path SourceDir();
std::filesystem::path FixturesDir();
// ../shared/workbooks/real beside the checkout, if present.
std::optional<std::filesystem::path> SharedWorkbooksDir();

// The server the test script starts (scripts/mariadb-test-server).
struct MySqlTestServer {
    std::string host;
    int port = 0;
    std::string user; // all privileges, with a password
    std::string password;
    std::string nopassUser; // an account without a password
    std::string socket;     // for administration beside the tests
    std::string generalLog; // the server's statement log, when it keeps one
    std::string tlsCA;      // the CA that signed the server's certificate (IP 127.0.0.1 only)
    std::string otherCA;    // a CA that signed nothing the server has
    std::string tlsUser;    // an account that REQUIRE SSL
    std::string tlsPassword;
    std::string ed25519User; // an account IDENTIFIED VIA ed25519
    std::string ed25519Password;
    // A second server beside it, without local files and with a packet
    // limit of 4096 bytes, where the same user logs in; 0 when none.
    int limitedPort = 0;
    // A third server whose sql_mode is empty, where the same user logs in;
    // 0 when none.
    int laxPort = 0;
};
std::optional<MySqlTestServer> TestMySqlServer();

// A fresh temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return FPath; }

private:
    std::filesystem::path FPath;
};

std::string ReadFileBytes(const std::filesystem::path& path);

} // namespace tabellix::test

#define TABELLIX_MISSING(what)                                                                     \
    do {                                                                                           \
        if (::tabellix::test::InCI())                                                              \
            FAIL() << what << " is required under CI=true";                                        \
        GTEST_SKIP() << what << " is not available";                                               \
    } while (0)

// Declares `var` as the shared workbook folder, or fails/skips.
#define TABELLIX_REQUIRE_SHARED_WORKBOOKS(var)                                                     \
    auto var##_opt = ::tabellix::test::SharedWorkbooksDir();                                       \
    if (!var##_opt)                                                                                \
        TABELLIX_MISSING("../shared/workbooks/real");                                              \
    const std::filesystem::path var = *var##_opt

// Declares `var` as the test server, or fails/skips.
#define TABELLIX_REQUIRE_MYSQL(var)                                                                \
    auto var##_opt = ::tabellix::test::TestMySqlServer();                                          \
    if (!var##_opt)                                                                                \
        TABELLIX_MISSING("The MariaDB test server (TABELLIX_MYSQL_PORT)");                         \
    const ::tabellix::test::MySqlTestServer var = *var##_opt

// As TABELLIX_REQUIRE_MYSQL, for a server that also offers TLS and the
// TLS-only and ed25519 accounts.
#define TABELLIX_REQUIRE_MYSQL_TLS(var)                                                            \
    TABELLIX_REQUIRE_MYSQL(var);                                                                   \
    if (var.tlsCA.empty() || var.ed25519User.empty())                                              \
    TABELLIX_MISSING("The test server's TLS set-up (TABELLIX_MYSQL_TLS_CA)")
