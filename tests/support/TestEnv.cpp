#include "tests/support/TestEnv.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace tabellix::test {
namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

} // namespace

bool InCI() {
    return Env("CI") == "true";
}

std::filesystem::path SourceDir() {
    std::string dir = Env("TABELLIX_SOURCE_DIR");
    return dir.empty() ? std::filesystem::current_path() : std::filesystem::path(dir);
}

std::filesystem::path FixturesDir() {
    return SourceDir() / "tests" / "fixtures";
}

std::optional<std::filesystem::path> SharedWorkbooksDir() {
    auto dir = SourceDir().parent_path() / "shared" / "workbooks" / "real";
    if (std::filesystem::is_directory(dir))
        return dir;
    return std::nullopt;
}

std::optional<MySqlTestServer> TestMySqlServer() {
    std::string port = Env("TABELLIX_MYSQL_PORT");
    if (port.empty())
        return std::nullopt;
    MySqlTestServer s;
    s.host = Env("TABELLIX_MYSQL_HOST");
    if (s.host.empty())
        s.host = "127.0.0.1";
    s.port = std::atoi(port.c_str());
    s.user = Env("TABELLIX_MYSQL_USER");
    s.password = Env("TABELLIX_MYSQL_PASSWORD");
    s.nopassUser = Env("TABELLIX_MYSQL_NOPASS_USER");
    s.socket = Env("TABELLIX_MYSQL_SOCKET");
    s.generalLog = Env("TABELLIX_MYSQL_GENERAL_LOG");
    s.tlsCA = Env("TABELLIX_MYSQL_TLS_CA");
    s.otherCA = Env("TABELLIX_MYSQL_TLS_OTHER_CA");
    s.tlsUser = Env("TABELLIX_MYSQL_TLS_USER");
    s.tlsPassword = Env("TABELLIX_MYSQL_TLS_PASSWORD");
    s.ed25519User = Env("TABELLIX_MYSQL_ED25519_USER");
    s.ed25519Password = Env("TABELLIX_MYSQL_ED25519_PASSWORD");
    if (const std::string limited = Env("TABELLIX_MYSQL_LIMITED_PORT"); !limited.empty())
        s.limitedPort = std::atoi(limited.c_str());
    if (const std::string lax = Env("TABELLIX_MYSQL_LAX_PORT"); !lax.empty())
        s.laxPort = std::atoi(lax.c_str());
    return s;
}

TempDir::TempDir() {
    std::random_device rd;
    auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = base / ("tabellix-test-" + std::to_string(rd()));
        if (std::filesystem::create_directory(candidate)) {
            FPath = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
}

std::string ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

} // namespace tabellix::test
