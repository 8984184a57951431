// What the benchmarks against a private server share: its login from the
// environment scripts/mariadb-test-server sets, and a gauge that shows
// nothing.
#pragma once

#include "engine/models.h"

#include <cstdlib>
#include <string>

namespace tabellix::bench {

struct TSettings {
    std::string Host, User, Password;
    int Port = 3306;
};

inline std::string Env(const char* name, const char* fallback) {
    const char* v = std::getenv(name);
    return v && *v ? v : fallback;
}

inline TSettings SettingsFromEnv() {
    return {Env("TABELLIX_MYSQL_HOST", "127.0.0.1"), Env("TABELLIX_MYSQL_USER", "root"),
            Env("TABELLIX_MYSQL_PASSWORD", ""),
            std::atoi(Env("TABELLIX_MYSQL_PORT", "3306").c_str())};
}

struct TNoGauge : TProgressSink {
    void SetRange(int, int) override {}
    void SetPosition(int) override {}
    void ProcessMessages() override {}
};

} // namespace tabellix::bench
