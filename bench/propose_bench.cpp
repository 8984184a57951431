// The type proposal of one workbook sheet against the dump pass of the same
// sheet, in one run: both open the workbook afresh and visit every stored
// cell once. Prints the best of a few runs of each and their ratio.
// Usage: propose_bench FILE.xlsx OUT_DIR [REPEATS]
#include "bench/bench_support.h"
#include "engine/funcs.h"
#include "engine/type_proposal.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using tabellix::bench::SecondsSince;
using tabellix::bench::TClock;

struct TSheet {
    tabellix::myfuns Funs;
    tabellix::TListModel Sheets;
    tabellix::TStringGrid Grid = tabellix::MakeColumnGrid();
};

double DumpPass(TSheet& sheet, const std::string& book, const std::string& out) {
    std::string table = "bench";
    tabellix::TConversionInput form{&sheet.Grid, &sheet.Sheets, &table, "", book, false, nullptr};
    const auto start = TClock::now();
    return sheet.Funs.dump_file(out, form) ? SecondsSince(start) : -1;
}

double Proposal(TSheet& sheet, const std::string& book) {
    const auto start = TClock::now();
    tabellix::propose_types(sheet.Funs, sheet.Grid, book, sheet.Sheets, false);
    return SecondsSince(start);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: propose_bench FILE.xlsx OUT_DIR [REPEATS]\n");
        return 2;
    }
    const std::string book = argv[1], out = std::string(argv[2]) + "/bench.SQL";
    const int repeats = argc == 4 ? std::max(1, std::atoi(argv[3])) : 3;
    TSheet sheet;
    sheet.Funs.loadsheets(book, sheet.Sheets);
    if (!sheet.Funs.load_grid(sheet.Grid, book, sheet.Sheets, false))
        return 1;
    double dump = 1e9, proposal = 1e9;
    for (int i = 0; i < repeats; ++i) {
        // The dump of the grid as loaded, every column VARCHAR(255).
        tabellix::TStringGrid loaded = sheet.Grid;
        const double d = DumpPass(sheet, book, out);
        if (d < 0)
            return 1;
        dump = std::min(dump, d);
        proposal = std::min(proposal, Proposal(sheet, book));
        sheet.Grid = loaded;
    }
    std::printf("dump pass: %.3f s, proposal: %.3f s (best of %d)\n", dump, proposal, repeats);
    tabellix::propose_types(sheet.Funs, sheet.Grid, book, sheet.Sheets, false);
    for (int r = 1; r < sheet.Grid.RowCount(); ++r) {
        const std::string& length = sheet.Grid.Cell(2, r);
        std::printf("  %s %s%s\n", sheet.Grid.Cell(0, r).c_str(), sheet.Grid.Cell(1, r).c_str(),
                    length.empty() ? "" : ("(" + length + ")").c_str());
    }
    std::printf("ratio proposal/dump: %.2f (target <= 1.2)\n", proposal / dump);
    return 0;
}
