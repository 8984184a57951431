// Single-row inserts and a large result read over loopback, through
// TMySqlSession and through libmariadb's mysql_real_query side by side,
// alternating runs. Prints peer time / our time (1.0 or more: ours is at
// least as fast) as median with its spread.
#include "mysql/protocol/MySqlSessionUni.h"

#include <mysql.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace tabellix;

namespace {

struct Settings {
    std::string host = "127.0.0.1";
    int port = 3306;
    std::string user = "root";
    std::string password;
    int rows = 100000;
    int repeats = 5;
};

std::string Env(const char* name, const std::string& fallback) {
    const char* v = std::getenv(name);
    return v && *v ? v : fallback;
}

// The insert statement shape of the transfer: quoted values, no column list.
std::string InsertText(const std::string& table, int i) {
    return "insert into " + table + " values('O\\'Brien " + std::to_string(i) + "','" +
           std::to_string(i * 7) + "','2024-01-" + std::to_string(1 + i % 28) + "' );";
}

class Ours {
public:
    explicit Ours(const Settings& s) {
        FSession.SetConnectTimeout(15);
        FSession.Connect(s.host, s.user, s.password, "", static_cast<unsigned>(s.port), "",
                         CLIENT_FOUND_ROWS | CLIENT_MULTI_STATEMENTS);
    }
    void Query(const std::string& sql) {
        FSession.SimpleCommand(TServerCommand::scQuery,
                               reinterpret_cast<const uint8_t*>(sql.data()),
                               static_cast<int>(sql.size()), true);
        FSession.ReadQueryResult();
    }
    size_t ReadAll(const std::string& sql) {
        Query(sql);
        TMySqlResultSet rs(&FSession);
        FSession.SetStatus(TMySqlStatus::msUseResult);
        size_t bytes = 0;
        while (rs.Read(rs.Bind()))
            for (const TMySqlBind& b : rs.Bind()->Binds)
                bytes += b.Length;
        return bytes;
    }

private:
    TMySqlSession FSession;
};

class Peer {
public:
    explicit Peer(const Settings& s) : FMysql(mysql_init(nullptr)) {
        if (!mysql_real_connect(FMysql, s.host.c_str(), s.user.c_str(), s.password.c_str(), nullptr,
                                static_cast<unsigned>(s.port), nullptr,
                                CLIENT_FOUND_ROWS | CLIENT_MULTI_STATEMENTS))
            throw std::runtime_error(mysql_error(FMysql));
    }
    ~Peer() { mysql_close(FMysql); }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;
    void Query(const std::string& sql) {
        if (mysql_real_query(FMysql, sql.data(), sql.size()) != 0)
            throw std::runtime_error(mysql_error(FMysql));
        // Drain every result, as the client layer does.
        do {
            if (MYSQL_RES* r = mysql_use_result(FMysql)) {
                while (mysql_fetch_row(r)) {
                }
                mysql_free_result(r);
            }
        } while (mysql_next_result(FMysql) == 0);
    }
    size_t ReadAll(const std::string& sql) {
        if (mysql_real_query(FMysql, sql.data(), sql.size()) != 0)
            throw std::runtime_error(mysql_error(FMysql));
        MYSQL_RES* r = mysql_use_result(FMysql);
        unsigned columns = mysql_num_fields(r);
        size_t bytes = 0;
        while (mysql_fetch_row(r)) {
            unsigned long* lengths = mysql_fetch_lengths(r);
            for (unsigned c = 0; c < columns; ++c)
                bytes += lengths[c];
        }
        mysql_free_result(r);
        return bytes;
    }

private:
    MYSQL* FMysql;
};

double Seconds(const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

template <class Client> double Inserts(Client& c, const std::string& table, int rows) {
    c.Query("TRUNCATE TABLE " + table);
    std::vector<std::string> statements;
    statements.reserve(static_cast<size_t>(rows));
    for (int i = 0; i < rows; ++i)
        statements.push_back(InsertText(table, i));
    return Seconds([&] {
        for (const std::string& s : statements)
            c.Query(s);
    });
}

void Report(const char* what, std::vector<double> ratios, double ourMedian, double peerMedian,
            int rows) {
    std::sort(ratios.begin(), ratios.end());
    std::printf("%-8s ratio %.3f (spread %.3f .. %.3f)  ours %.1f us/row  peer %.1f us/row\n", what,
                ratios[ratios.size() / 2], ratios.front(), ratios.back(), ourMedian * 1e6 / rows,
                peerMedian * 1e6 / rows);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    Settings s;
    s.host = Env("TABELLIX_MYSQL_HOST", s.host);
    s.port = std::atoi(Env("TABELLIX_MYSQL_PORT", std::to_string(s.port)).c_str());
    s.user = Env("TABELLIX_MYSQL_USER", s.user);
    s.password = Env("TABELLIX_MYSQL_PASSWORD", "");
    if (argc > 1)
        s.rows = std::max(1, std::atoi(argv[1]));
    if (argc > 2)
        s.repeats = std::max(1, std::atoi(argv[2]));
    try {
        Ours ours(s);
        Peer peer(s);
        ours.Query("CREATE DATABASE IF NOT EXISTS tabellix_bench");
        const std::string columns = " (`name` VARCHAR(255), `num` VARCHAR(255), `born` "
                                    "VARCHAR(255)) ENGINE=MyISAM DEFAULT CHARSET=utf8";
        for (const char* t : {"tabellix_bench.ours", "tabellix_bench.peer"}) {
            ours.Query(std::string("DROP TABLE IF EXISTS ") + t);
            ours.Query(std::string("CREATE TABLE ") + t + columns);
        }
        std::vector<double> insertRatio, readRatio, oursIns, peerIns, oursRead, peerRead;
        for (int r = 0; r < s.repeats; ++r) {
            // Alternate which client goes first so drift hits both alike.
            double o, p;
            if (r % 2 == 0) {
                o = Inserts(ours, "tabellix_bench.ours", s.rows);
                p = Inserts(peer, "tabellix_bench.peer", s.rows);
            } else {
                p = Inserts(peer, "tabellix_bench.peer", s.rows);
                o = Inserts(ours, "tabellix_bench.ours", s.rows);
            }
            oursIns.push_back(o);
            peerIns.push_back(p);
            insertRatio.push_back(p / o);
            const std::string select = "SELECT * FROM tabellix_bench.ours";
            size_t ob = 0, pb = 0;
            double ro = 0, rp = 0;
            if (r % 2 == 0) {
                ro = Seconds([&] { ob = ours.ReadAll(select); });
                rp = Seconds([&] { pb = peer.ReadAll(select); });
            } else {
                rp = Seconds([&] { pb = peer.ReadAll(select); });
                ro = Seconds([&] { ob = ours.ReadAll(select); });
            }
            if (ob != pb)
                throw std::runtime_error("the two clients read different results");
            oursRead.push_back(ro);
            peerRead.push_back(rp);
            readRatio.push_back(rp / ro);
        }
        std::printf("%d rows, %d alternating runs (ratio = peer time / our time)\n", s.rows,
                    s.repeats);
        Report("insert", insertRatio, Median(oursIns), Median(peerIns), s.rows);
        Report("read", readRatio, Median(oursRead), Median(peerRead), s.rows);
        ours.Query("DROP DATABASE tabellix_bench");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "protocol_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
