// Workbooks built to cost a reader time or memory, or to hide damage behind
// lenient reading (tests/fixtures/make_hostile.py writes them at test time,
// the large ones as small compressed files). Each case runs in a forked child
// that is killed past its time bound and, where it has a memory bound, runs
// under that address-space limit, so a regression fails the case instead of
// taking the machine.
#include "automation/WorkbookError.h"
#include "automation/WorkbookReader.h"
#include "tests/support/BoundedRun.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

using namespace tabellix;

namespace {

// The folder of the generated workbooks, written once per test program.
const std::string& HostileDir() {
    static const std::string dir = [] {
        const std::string out = (std::filesystem::temp_directory_path() /
                                 ("tabellix-hostile-" + std::to_string(getpid())))
                                    .string();
        const std::string script = (test::FixturesDir() / "make_hostile.py").string();
        const std::string command = "python3 '" + script + "' '" + out + "'";
        return std::system(command.c_str()) == 0 ? out : std::string();
    }();
    return dir;
}

struct THostileDirCleanup {
    ~THostileDirCleanup() {
        std::error_code ec;
        if (!HostileDir().empty())
            std::filesystem::remove_all(HostileDir(), ec);
    }
};

std::string SheetNames(const TWorkbook& book) {
    std::string names;
    for (int i = 0; i < book.SheetCount(); ++i)
        names += (i ? "," : "") + book.Sheet(i).Name();
    return names;
}

enum class TRead { List, Load };

std::string Read(TRead read, const std::string& file) {
    if (read == TRead::List)
        return SheetNames(*OpenWorkbookFile(file));
    const auto book = LoadWorkbook(file);
    const TSheet& sheet = book->Sheet(0);
    return SheetNames(*book) + " " + std::to_string(sheet.LastRow()) + "x" +
           std::to_string(sheet.LastColumn());
}

} // namespace

TEST(HostileWorkbooks, FailClearlyWithinTheirTimeAndMemory) {
    if (HostileDir().empty())
        TABELLIX_MISSING("python3 for tests/fixtures/make_hostile.py");
    static THostileDirCleanup cleanup;
    struct Case {
        const char* file;
        TRead read;
        const char* outcome; // the start of "ok: ..." or the end of the error message
        int seconds;
        long memoryMiB; // 0: no limit
    } cases[] = {
        // Two cells at the far corners: a small sheet of stored cells.
        {"far-corner.xlsx", TRead::Load, "ok: Sheet1 1048576x16384", 20, 256},
        // Listing reads no shared strings, however many there are.
        {"many-shared-strings.xlsx", TRead::List, "ok: Sheet1", 5, 256},
        {"huge-shared-string.xlsx", TRead::List, "ok: Sheet1", 5, 256},
        {"many-shared-strings.xlsx", TRead::Load,
         "xl/sharedStrings.xml: the workbook lists more than 33554432 shared strings, more than "
         "this program reads",
         120, 512},
        {"huge-shared-string.xlsx", TRead::Load,
         "xl/sharedStrings.xml: shared string 0 is longer than 16777216 bytes, more than this "
         "program reads",
         30, 512},
        {"large-shared-strings.xlsx", TRead::Load,
         "xl/sharedStrings.xml: the shared strings take more than 268435456 bytes, more than this "
         "program reads",
         60, 1024},
        {"huge-cell-text.xlsx", TRead::Load,
         "xl/worksheets/sheet1.xml: cell (1, 2) is longer than 16777216 bytes, more than this "
         "program reads",
         30, 512},
        // References that do not say where a cell goes.
        {"ref-digits-first.xlsx", TRead::Load,
         "xl/worksheets/sheet1.xml: cell reference \"1A\" is not a column and a row", 10, 0},
        {"ref-row-negative.xlsx", TRead::Load,
         "xl/worksheets/sheet1.xml: cell reference \"A-1\" is not a column and a row", 10, 0},
        {"ref-negative.xlsx", TRead::Load,
         "xl/worksheets/sheet1.xml: cell reference \"-5\" is not a column and a row", 10, 0},
        {"ref-row-zero.xlsx", TRead::Load,
         "xl/worksheets/sheet1.xml: cell reference \"A0\" names row 0", 10, 0},
        {"row-zero.xlsx", TRead::Load,
         "xl/worksheets/sheet1.xml: row \"0\" is not a row number from 1 to 1048576", 10, 0},
        // Two parts under one name: which one is the sheet?
        {"duplicate-part.xlsx", TRead::List,
         "the package holds part \"xl/worksheets/sheet1.xml\" twice (names differing only in "
         "letter case count as one)",
         10, 0},
        {"duplicate-part-case.xlsx", TRead::List,
         "the package holds part \"xl/Worksheets/Sheet1.xml\" twice (names differing only in "
         "letter case count as one)",
         10, 0},
    };
    for (const Case& c : cases) {
        const std::string file = HostileDir() + "/" + c.file;
        SCOPED_TRACE(std::string(c.file) + (c.read == TRead::List ? " listed" : " loaded"));
        const test::TBoundedRun run =
            test::RunBounded([&] { return Read(c.read, file); }, c.seconds, c.memoryMiB);
        ASSERT_FALSE(run.TimedOut) << "still running after " << c.seconds << " s";
        const std::string expected = c.outcome;
        if (expected.starts_with("ok: "))
            EXPECT_EQ(run.Outcome, expected);
        else
            EXPECT_TRUE(
                run.Outcome.starts_with("error: Cannot read the workbook \"" + file + "\": ") &&
                run.Outcome.ends_with(expected))
                << run.Outcome;
    }
}

TEST(HostileWorkbooks, ANonRegularFileIsRefusedWithoutBlocking) {
    test::TempDir dir;
    const std::string fifo = (dir.Path() / "book.xlsx").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string folder = (dir.Path() / "folder.xlsx").string();
    std::filesystem::create_directory(folder);
    for (const std::string& file : {fifo, folder}) {
        SCOPED_TRACE(file);
        const test::TBoundedRun run =
            test::RunBounded([&] { return Read(TRead::List, file); }, 10, 0);
        ASSERT_FALSE(run.TimedOut);
        EXPECT_EQ(run.Outcome, "error: Cannot read the workbook \"" + file +
                                   "\": it is not a regular file (a folder, a pipe or a device)");
    }
}
