// The transfer of one workbook sheet into MariaDB, end to end, against the
// same statements sent one by one through libmariadb and against the mariadb
// client reading the dump file of the same sheet. Alternating runs; prints
// peer time / our time (1.0 or more: ours is at least as fast), median and
// spread. Usage: transfer_bench FILE.xlsx WORK_DIR [REPEATS]
#include "bench/bench_support.h"
#include "bench/server_bench.h"
#include "dataaccess/MySQLUniProvider.h"
#include "dataaccess/Uni.h"
#include "engine/funcs.h"

#include <mysql.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

using namespace tabellix;

namespace {

using bench::SecondsSince;
using bench::TClock;
const char* const kDatabase = "bench_transfer";

using bench::TNoGauge;
using bench::TSettings;

class TPeer {
public:
    explicit TPeer(const TSettings& s) : FMysql(mysql_init(nullptr)) {
        if (!mysql_real_connect(FMysql, s.Host.c_str(), s.User.c_str(), s.Password.c_str(), nullptr,
                                static_cast<unsigned>(s.Port), nullptr, 0))
            throw std::runtime_error(mysql_error(FMysql));
    }
    ~TPeer() { mysql_close(FMysql); }
    TPeer(const TPeer&) = delete;
    TPeer& operator=(const TPeer&) = delete;
    void Query(const std::string& sql) {
        if (mysql_real_query(FMysql, sql.data(), sql.size()) != 0)
            throw std::runtime_error(mysql_error(FMysql));
    }

private:
    MYSQL* FMysql;
};

// The sheet as the engine proposes it, dumped once: the statements the
// peers send.
struct TSheetStatements {
    std::string DumpFile; // without the byte order mark, for the client
    std::vector<std::string> Statements;
};

TSheetStatements DumpSheet(const std::string& book, const std::string& dir) {
    const std::string all = bench::DumpText(book, dir);
    TSheetStatements result{dir + "/bench-plain.sql", {}};
    std::ofstream(result.DumpFile, std::ios::binary) << all;
    // The generated values hold no ";insert into", so the statements split
    // where the next one begins.
    size_t start = 0;
    for (size_t next; (next = all.find(";insert into ", start)) != std::string::npos;
         start = next + 1)
        result.Statements.push_back(all.substr(start, next + 1 - start));
    result.Statements.push_back(all.substr(start));
    return result;
}

double Ours(const TSettings& s, const std::string& book) {
    TUniConnection con1;
    con1.SetProviderName("MySQL");
    con1.SpecificOptions().Add("MySQL.UseUnicode=True");
    con1.SetServer(s.Host);
    con1.SetUsername(s.User);
    con1.SetPassword(s.Password);
    con1.SetPort(s.Port);
    con1.Open();
    con1.SetDatabase(kDatabase);
    myfuns funs;
    TListModel sheets;
    funs.loadsheets(book, sheets);
    TStringGrid grid = MakeColumnGrid();
    funs.load_grid(grid, book, sheets, false);
    // The transfer pass itself: it opens the workbook, creates the table and
    // sends the rows.
    const auto start = TClock::now();
    std::string table = "bench";
    TNoGauge gauge;
    TConversionInput form{&grid, &sheets, &table, "", book, false, &gauge};
    funs.start_transfer(form, con1);
    return SecondsSince(start);
}

double PeerStatements(const TSettings& s, const std::vector<std::string>& statements) {
    TPeer peer(s);
    peer.Query(std::string("USE ") + kDatabase);
    const auto start = TClock::now();
    for (const std::string& sql : statements)
        peer.Query(sql);
    return SecondsSince(start);
}

double PeerClient(const TSettings& s, const std::string& dumpFile) {
    const std::string command = "mariadb --no-defaults -h " + s.Host + " -P " +
                                std::to_string(s.Port) + " -u " + s.User + " -p" + s.Password +
                                " " + kDatabase + " < '" + dumpFile + "'";
    const double seconds = bench::TimeCommand(command);
    if (seconds < 0)
        throw std::runtime_error("the mariadb client failed");
    return seconds;
}

void DropTable(const TSettings& s) {
    TPeer peer(s);
    peer.Query(std::string("CREATE DATABASE IF NOT EXISTS ") + kDatabase);
    peer.Query(std::string("DROP TABLE IF EXISTS ") + kDatabase + ".bench");
}

void Report(const char* name, std::vector<double> ratios) {
    std::sort(ratios.begin(), ratios.end());
    std::printf("%s: median %.3f, spread %.3f to %.3f\n", name, ratios[ratios.size() / 2],
                ratios.front(), ratios.back());
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: transfer_bench FILE.xlsx WORK_DIR [REPEATS]\n");
        return 2;
    }
    const std::string book = argv[1], dir = argv[2];
    const int repeats = argc > 3 ? std::atoi(argv[3]) : 3;
    const TSettings s = bench::SettingsFromEnv();
    TUniProviders::Instance().RegisterProvider(TMySQLUniProvider::Class());
    try {
        const TSheetStatements sheet = DumpSheet(book, dir);
        std::vector<double> vsLibrary, vsClient;
        for (int i = 0; i < repeats; ++i) {
            DropTable(s);
            const double ours = Ours(s, book);
            DropTable(s);
            const double library = PeerStatements(s, sheet.Statements);
            DropTable(s);
            const double client = PeerClient(s, sheet.DumpFile);
            std::printf("run %d: ours %.3f s, libmariadb %.3f s, mariadb client %.3f s\n", i + 1,
                        ours, library, client);
            vsLibrary.push_back(library / ours);
            vsClient.push_back(client / ours);
        }
        std::printf("%zu statements per run\n", sheet.Statements.size());
        Report("libmariadb / ours (target >= 0.95)", vsLibrary);
        Report("mariadb client / ours (target >= 1.0)", vsClient);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "transfer_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
