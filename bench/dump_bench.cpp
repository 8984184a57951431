// The whole dump of one workbook sheet (grid proposal, CREATE TABLE, one
// insert per row) against xlsx2csv converting the same sheet to CSV, in one
// run: the dump pass in this process, and the whole tabellix-convert dump
// process as a user runs it. Prints both ratios, rows per second and the
// peak memory of each.
// Usage: dump_bench FILE.xlsx OUT_DIR TABELLIX_CONVERT
#include "bench/bench_support.h"
#include "engine/funcs.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using tabellix::bench::SecondsSince;
using tabellix::bench::TClock;

struct TCountingGauge : tabellix::TProgressSink {
    void SetRange(int, int maximum) override { Rows = maximum; }
    void SetPosition(int) override {}
    void ProcessMessages() override { ++Written; }
    int Rows = 0;
    long Written = 0;
};

struct TTimes {
    double Sheets = 0, Grid = 0, Dump = -1;
};

// The three passes the wizard and the command line make, timed apart; the
// dump pass is the one that converts the sheet, as xlsx2csv does.
TTimes DumpOnce(const std::string& book, const std::string& out, long& written) {
    TTimes times;
    const auto start = TClock::now();
    tabellix::myfuns funs;
    tabellix::TListModel sheets;
    funs.loadsheets(book, sheets);
    times.Sheets = SecondsSince(start);
    tabellix::TStringGrid grid = tabellix::MakeColumnGrid();
    if (!funs.load_grid(grid, book, sheets, false))
        return times;
    times.Grid = SecondsSince(start) - times.Sheets;
    const auto dumpStart = TClock::now();
    std::string table = "bench";
    TCountingGauge gauge;
    tabellix::TConversionInput form{&grid, &sheets, &table, "", book, false, &gauge};
    if (!funs.dump_file(out, form))
        return times;
    written = gauge.Written;
    times.Dump = SecondsSince(dumpStart);
    return times;
}

double Xlsx2Csv(const std::string& book, const std::string& out) {
    return tabellix::bench::TimeCommand("xlsx2csv '" + book + "' '" + out + "' 2>/dev/null");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: dump_bench FILE.xlsx OUT_DIR TABELLIX_CONVERT\n");
        return 2;
    }
    const std::string book = argv[1], dir = argv[2], convert = argv[3];
    long written = 0;
    const TTimes times = DumpOnce(book, dir + "/bench.SQL", written);
    const double ours = times.Dump;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto process =
        tabellix::bench::RunProcess({convert, "dump", book, "-o", dir + "/process.SQL", "--force"});
    const double peer = Xlsx2Csv(book, dir + "/bench.csv");
    if (ours < 0 || !process || peer < 0) {
        std::fprintf(stderr, "a run failed (ours %.3f s, process %s, xlsx2csv %.3f s)\n", ours,
                     process ? "ran" : "failed", peer);
        return 1;
    }
    std::printf("sheet listing %.3f s, grid loading %.3f s (not in the ratio)\n", times.Sheets,
                times.Grid);
    std::printf("dump: %.3f s, %ld rows, %.0f rows/s\n", ours, written, written / ours);
    std::printf("xlsx2csv: %.3f s\n", peer);
    std::printf("ratio xlsx2csv/dump: %.2f (target >= 5)\n", peer / ours);
    std::printf("peak memory: %.1f MB (target < 100)\n", usage.ru_maxrss / 1024.0);
    std::printf("whole tabellix-convert dump process: %.3f s, peak memory %.1f MB\n",
                process->Seconds, process->PeakMB);
    std::printf("ratio xlsx2csv/process: %.2f (target >= 6)\n", peer / process->Seconds);
    return 0;
}
