// What the benchmarks against a private server share: its login from the
// environment scripts/mariadb-test-server sets, and a gauge that shows
// nothing.
#pragma once

#include "engine/funcs.h"
#include "engine/models.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
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

// The dump of the sheet with the grid load_grid proposes, as the table
// "bench", without its byte order mark, for the client; written through a
// file in dir as the dump pass writes it.
inline std::string DumpText(const std::string& book, const std::string& dir,
                            const TLoaderOptions& loader = {}) {
    myfuns funs;
    funs.Loader = loader;
    TListModel sheets;
    funs.loadsheets(book, sheets);
    TStringGrid grid = MakeColumnGrid();
    funs.load_grid(grid, book, sheets, false);
    std::string table = "bench";
    TConversionInput form{&grid, &sheets, &table, "", book, false, nullptr};
    const std::string withBom = dir + "/bench.SQL";
    funs.dump_file(withBom, form);
    std::ifstream in(withBom, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str().substr(3);
}

} // namespace tabellix::bench
