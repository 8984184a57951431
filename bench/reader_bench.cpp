// The workbook reader against two peers on one generated package: a probe
// that only inflates the sheet and its shared strings and counts cells with
// a SAX parse, and the xlsx2csv converter. Prints both ratios and the peak
// memory. Usage: reader_bench FILE.xlsx
#include "automation/Automation.h"
#include "engine/funcs.h"

#include <expat.h>
#include <sys/resource.h>
#include <zip.h>

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

double ReadAllCells(const char* fileName, long& cells, size_t& textBytes) {
    const auto start = TClock::now();
    const tabellix::myfuns funs;
    auto app = tabellix::CreateOleObject(tabellix::SpreadsheetProgID);
    app->SetVisible(false);
    app->WorkBooks().Open(fileName);
    tabellix::TWorksheet sheet = app->Worksheets()(1);
    sheet.activate();
    const int columns = sheet.UsedRange().Columns().Count();
    const int rows = sheet.UsedRange().Rows().Count();
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
    return SecondsSince(start);
}

double Converter(const char* fileName) {
    const std::string command = std::string("xlsx2csv '") + fileName + "' /dev/null";
    const auto start = TClock::now();
    if (std::system(command.c_str()) != 0)
        return -1;
    return SecondsSince(start);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: reader_bench FILE.xlsx\n");
        return 2;
    }
    long probeCells = 0, readCells = 0;
    size_t textBytes = 0;
    const double probe = Probe(argv[1], probeCells);
    const double reader = ReadAllCells(argv[1], readCells, textBytes);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double converter = Converter(argv[1]);
    if (probe < 0 || converter < 0) {
        std::fprintf(stderr, "the probe or xlsx2csv failed\n");
        return 1;
    }
    std::printf("cells: probe %ld, reader %ld (%zu text bytes)\n", probeCells, readCells,
                textBytes);
    std::printf("probe %.3f s, reader %.3f s, xlsx2csv %.3f s\n", probe, reader, converter);
    std::printf("reader / probe = %.2f (at most 1.5)\n", reader / probe);
    std::printf("xlsx2csv / reader = %.2f (at least 5)\n", converter / reader);
    std::printf("peak memory %.1f MB (under 100)\n", static_cast<double>(usage.ru_maxrss) / 1024);
    return 0;
}
