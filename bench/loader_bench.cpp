// The loader against the default road and the stock client, end to end
// (the workbook read included): batched against one statement per row on
// loopback and through a proxy that delays every chunk by 1 ms each way;
// batched against the mariadb client loading a CSV of the sheet made
// beforehand; the extended-insert dump against the one-statement-per-row dump,
// both loaded by the mariadb client. Prints the ratios.
// Usage: loader_bench BOOK_100K BOOK_10K CSV_100K WORK_DIR
#include "automation/WorkbookCache.h"
#include "bench/bench_support.h"
#include "bench/server_bench.h"
#include "dataaccess/MySQLUniProvider.h"
#include "dataaccess/Uni.h"
#include "engine/funcs.h"
#include "engine/server_target.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace tabellix;

namespace {

using bench::SecondsSince;
using bench::TClock;
const char* const kDatabase = "bench_loader";
// The client's table: the engine's columns, named so that the shell leaves them alone.
const char* const kColumns = "(c0 VARCHAR(255), c1 VARCHAR(255), c2 VARCHAR(255), c3 VARCHAR(255), "
                             "c4 VARCHAR(255), c5 VARCHAR(255), c6 VARCHAR(255), c7 VARCHAR(255), "
                             "c8 VARCHAR(255), c9 VARCHAR(255))";

using bench::TNoGauge;
using bench::TSettings;

// Forwards loopback connections to the server, each chunk held 1 ms before
// it goes on, in both directions: a LAN-like round trip of about 2 ms.
class TDelayProxy {
public:
    explicit TDelayProxy(int upstream) : FUpstream(upstream) {
        FListen = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in sa = Loopback(0);
        socklen_t len = sizeof sa;
        if (bind(FListen, reinterpret_cast<sockaddr*>(&sa), len) != 0 || listen(FListen, 4) != 0 ||
            getsockname(FListen, reinterpret_cast<sockaddr*>(&sa), &len) != 0)
            throw std::runtime_error("the proxy cannot listen");
        FPort = ntohs(sa.sin_port);
        FAcceptor = std::thread([this] { Accept(); });
    }
    ~TDelayProxy() {
        FStop = true;
        FAcceptor.join();
        {
            const std::lock_guard<std::mutex> lock(FMutex);
            for (const int fd : FSockets)
                shutdown(fd, SHUT_RDWR);
        }
        for (std::thread& pump : FPumps)
            pump.join();
        for (const int fd : FSockets)
            close(fd);
        close(FListen);
    }
    TDelayProxy(const TDelayProxy&) = delete;
    TDelayProxy& operator=(const TDelayProxy&) = delete;
    int Port() const { return FPort; }

private:
    static sockaddr_in Loopback(int port) {
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        sa.sin_port = htons(static_cast<uint16_t>(port));
        return sa;
    }

    // Waits in steps of 100 ms, so that the destructor's stop is seen.
    void Accept() {
        while (!FStop) {
            pollfd p{FListen, POLLIN, 0};
            if (poll(&p, 1, 100) != 1)
                continue;
            const int client = accept(FListen, nullptr, nullptr);
            const int server = socket(AF_INET, SOCK_STREAM, 0);
            const sockaddr_in sa = Loopback(FUpstream);
            // A client left unanswered sees its connection fail.
            if (client < 0 ||
                connect(server, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
                close(server);
                if (client >= 0)
                    close(client);
                continue;
            }
            const std::lock_guard<std::mutex> lock(FMutex);
            FSockets.insert(FSockets.end(), {client, server});
            FPumps.emplace_back([client, server] { Pump(client, server); });
            FPumps.emplace_back([client, server] { Pump(server, client); });
        }
    }

    // Until the sending side closes.
    static void Pump(int from, int to) {
        std::vector<char> chunk(1 << 16);
        for (ssize_t n; (n = recv(from, chunk.data(), chunk.size(), 0)) > 0;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            for (ssize_t sent = 0, s; sent < n; sent += s)
                if ((s = send(to, chunk.data() + sent, static_cast<size_t>(n - sent),
                              MSG_NOSIGNAL)) <= 0)
                    return;
        }
        shutdown(to, SHUT_WR);
    }

    int FUpstream;
    int FListen = -1;
    int FPort = 0;
    std::atomic<bool> FStop{false};
    std::thread FAcceptor;
    std::mutex FMutex;
    std::vector<int> FSockets;
    std::vector<std::thread> FPumps;
};

void Admin(const TSettings& s, const std::string& sql) {
    TUniConnection con;
    set_up_connection(con);
    connect_server(con, {s.Host, std::to_string(s.Port), s.User, s.Password});
    con.ExecSQL(sql, {Variant::Null()});
}

void FreshTable(const TSettings& s) {
    Admin(s, std::string("CREATE DATABASE IF NOT EXISTS ") + kDatabase);
    Admin(s, std::string("DROP TABLE IF EXISTS ") + kDatabase + ".bench");
}

// The whole conversion as the command line runs it: the workbook listed
// and its grid proposed, then the transfer over a new connection, the
// workbook read once for both.
double Transfer(const TSettings& s, int port, const std::string& book, const TLoaderOptions& loader,
                const std::string& engine = "") {
    FreshTable(s);
    const auto start = TClock::now();
    const TWorkbookCacheScope cache;
    myfuns funs;
    funs.Loader = loader;
    funs.TableOptions.Engine = engine;
    TListModel sheets;
    funs.loadsheets(book, sheets);
    TStringGrid grid = MakeColumnGrid();
    funs.load_grid(grid, book, sheets, false);
    TUniConnection con1;
    set_up_connection(con1);
    connect_server(con1, {s.Host, std::to_string(port), s.User, s.Password});
    con1.SetDatabase(kDatabase);
    std::string table = "bench";
    TNoGauge gauge;
    TConversionInput form{&grid, &sheets, &table, "", book, false, &gauge};
    funs.start_transfer(form, con1);
    return SecondsSince(start);
}

std::string Client(const TSettings& s) {
    return "mariadb --no-defaults --local-infile=1 -h " + s.Host + " -P " + std::to_string(s.Port) +
           " -u " + s.User + " -p" + s.Password + " " + kDatabase;
}

double Timed(const std::string& command) {
    const double seconds = bench::TimeCommand(command);
    if (seconds < 0)
        throw std::runtime_error("failed: " + command);
    return seconds;
}

double ClientLoadData(const TSettings& s, const std::string& csv) {
    FreshTable(s);
    return Timed(Client(s) + " -e \"CREATE TABLE bench " + kColumns +
                 " ENGINE=MyISAM DEFAULT CHARSET=utf8; LOAD DATA LOCAL INFILE '" + csv +
                 "' INTO TABLE bench CHARACTER SET utf8mb4 FIELDS TERMINATED BY ',' OPTIONALLY "
                 "ENCLOSED BY '\\\"'\"");
}

// The dump file of the sheet without its byte order mark, for the client.
std::string Dump(const std::string& book, const std::string& dir, const TLoaderOptions& loader) {
    const std::string plain = dir + (loader.Active() ? "/extended.sql" : "/per-row.sql");
    std::ofstream(plain, std::ios::binary) << bench::DumpText(book, dir, loader);
    return plain;
}

double ClientDump(const TSettings& s, const std::string& file) {
    FreshTable(s);
    return Timed(Client(s) + " < '" + file + "'");
}

void Ratio(const char* name, double peer, double ours, double target) {
    std::printf("%-58s %7.2f  (%.3f s / %.3f s, target >= %.1f)\n", name, peer / ours, peer, ours,
                target);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: loader_bench BOOK_100K BOOK_10K CSV_100K WORK_DIR\n");
        return 2;
    }
    const std::string book = argv[1], small = argv[2], csv = argv[3], dir = argv[4];
    const TSettings s = bench::SettingsFromEnv();
    const TProviderRegistration units;
    const TLoaderOptions perRow;
    TLoaderOptions batch;
    batch.Method = TLoadMethod::Batch;
    try {
        const double rowByRow = Transfer(s, s.Port, book, perRow);
        const double batched = Transfer(s, s.Port, book, batch);
        const double client = ClientLoadData(s, csv);
        Ratio("100,000 rows: per-row / batched", rowByRow, batched, 5);
        Ratio("100,000 rows: client LOAD DATA of a CSV / batched", client, batched, 0.5);
        {
            const TDelayProxy proxy(s.Port);
            const double lanRows = Transfer(s, proxy.Port(), small, perRow);
            const double lanBatched = Transfer(s, proxy.Port(), small, batch);
            Ratio("10,000 rows, 1 ms each way: per-row / batched", lanRows, lanBatched, 50);
        }
        const double perRowDump = ClientDump(s, Dump(book, dir, perRow));
        const double extendedDump = ClientDump(s, Dump(book, dir, batch));
        Ratio("client loading the dump: per-row / extended-insert", perRowDump, extendedDump, 5);
        // InnoDB commits every row of the default road on its own.
        TLoaderOptions loadData;
        loadData.Method = TLoadMethod::LoadData;
        const double innoRows = Transfer(s, s.Port, book, perRow, "InnoDB");
        const double innoBatched = Transfer(s, s.Port, book, batch, "InnoDB");
        const double innoLoad = Transfer(s, s.Port, book, loadData, "InnoDB");
        Ratio("100,000 rows into InnoDB: per-row / batched", innoRows, innoBatched, 5);
        Ratio("100,000 rows into InnoDB: per-row / LOAD DATA", innoRows, innoLoad, 5);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "loader_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
