// The workbook reader against two peers on one generated package: a probe
// that only inflates the sheet and its shared strings and counts cells with
// a SAX parse, and the xlsx2csv converter. Prints every round, both ratios
// of the medians and the peak memory. Usage: reader_bench FILE.xlsx
#include "automation/Automation.h"
#include "engine/funcs.h"

#include <expat.h>
#include <sys/resource.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

double SecondsSince(TClock::time_point start) {
    return std::chrono::duration<double>(TClock::now() - start).count();
}

void OnStart(void* count, const XML_Char* name, const XML_Char**) {
    if (std::strcmp(name, "c") == 0)
        ++*static_cast<long*>(count);
}

long InflateAndCount(zip_t* zip, const char* part) {
    zip_file_t* file = zip_fopen(zip, part, 0);
    if (!file)
        return -1;
    XML_Parser parser = XML_ParserCreate(nullptr);
    long count = 0;
    XML_SetUserData(parser, &count);
    XML_SetStartElementHandler(parser, OnStart);
    std::vector<char> buffer(1 << 16);
    zip_int64_t got;
    while ((got = zip_fread(file, buffer.data(), buffer.size())) > 0)
        XML_Parse(parser, buffer.data(), static_cast<int>(got), XML_FALSE);
    XML_Parse(parser, "", 0, XML_TRUE);
    XML_ParserFree(parser);
    zip_fclose(file);
    return count;
}

double Probe(const char* fileName, long& cells) {
    const auto start = TClock::now();
    int error = 0;
    zip_t* zip = zip_open(fileName, ZIP_RDONLY, &error);
    if (!zip)
        return -1;
    InflateAndCount(zip, "xl/sharedStrings.xml");
    cells = InflateAndCount(zip, "xl/worksheets/sheet1.xml");
    zip_discard(zip);
    return SecondsSince(start);
}

struct TReaderTimes {
    double Load = 0;  // open to the used range: the sheet's cells read
    double Total = 0; // and every cell's value and text fetched
};

TReaderTimes ReadAllCells(const char* fileName, long& cells, size_t& textBytes) {
    const auto start = TClock::now();
    // Settings of their own, so that no round finds the texts of another in
    // the cache the default settings share.
    const tabellix::myfuns funs(
        tabellix::TFormatSettings(tabellix::TFormatSettings::Default().LocaleName()));
    auto app = tabellix::CreateOleObject(tabellix::SpreadsheetProgID);
    app->SetVisible(false);
    app->WorkBooks().Open(fileName);
    tabellix::TWorksheet sheet = app->Worksheets()(1);
    sheet.activate();
    const int columns = sheet.UsedRange().Columns().Count();
    const int rows = sheet.UsedRange().Rows().Count();
    TReaderTimes times;
    times.Load = SecondsSince(start);
    cells = 0;
    textBytes = 0;
    for (int r = 1; r <= rows; ++r)
        for (int c = 1; c <= columns; ++c) {
            const tabellix::Variant value = app->Cells(r, c).value();
            if (!value.IsEmpty())
                ++cells;
            textBytes += funs.cell_text(value).size();
        }
    app->SetDisplayAlerts(false);
    app->WorkBooks().Close();
    app->Quit();
    times.Total = SecondsSince(start);
    return times;
}

double Converter(const char* fileName) {
    const std::string command = std::string("xlsx2csv '") + fileName + "' /dev/null";
    const auto start = TClock::now();
    if (std::system(command.c_str()) != 0)
        return -1;
    return SecondsSince(start);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: reader_bench FILE.xlsx\n");
        return 2;
    }
    // The machine may be shared: each side runs a few times, alternating,
    // and the medians are compared.
    constexpr int kRounds = 3;
    long probeCells = 0, readCells = 0;
    size_t textBytes = 0;
    std::vector<double> probes, loads, readers;
    for (int round = 1; round <= kRounds; ++round) {
        probes.push_back(Probe(argv[1], probeCells));
        if (probes.back() < 0) {
            std::fprintf(stderr, "the probe failed\n");
            return 1;
        }
        const TReaderTimes times = ReadAllCells(argv[1], readCells, textBytes);
        loads.push_back(times.Load);
        readers.push_back(times.Total);
        std::printf("round %d: probe %.3f s, reader %.3f s (loading %.3f s), ratio %.2f\n", round,
                    probes.back(), readers.back(), loads.back(), readers.back() / probes.back());
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double converter = Converter(argv[1]);
    if (converter < 0) {
        std::fprintf(stderr, "xlsx2csv failed\n");
        return 1;
    }
    const double probe = Median(probes), reader = Median(readers), load = Median(loads);
    std::printf("cells: probe %ld, reader %ld (%zu text bytes)\n", probeCells, readCells,
                textBytes);
    std::printf("medians: probe %.3f s, reader %.3f s (loading %.3f s), xlsx2csv %.3f s\n", probe,
                reader, load, converter);
    std::printf("loading / probe = %.2f\n", load / probe);
    std::printf("reader / probe = %.2f (at most 1.5)\n", reader / probe);
    std::printf("xlsx2csv / reader = %.2f (at least 5)\n", converter / reader);
    std::printf("peak memory %.1f MB (under 100)\n", static_cast<double>(usage.ru_maxrss) / 1024);
    return 0;
}
