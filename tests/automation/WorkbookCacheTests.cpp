// The workbook kept for the next open of the same unchanged file while a
// cache scope is open, and read afresh when the file changed or vanished.
#include "automation/WorkbookApplication.h"
#include "automation/WorkbookCache.h"
#include "automation/WorkbookError.h"
#include "tests/support/ExpectError.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

namespace tabellix {
namespace {

namespace fs = std::filesystem;

fs::path Fixture(const char* name) {
    return test::FixturesDir() / "workbooks" / name;
}

// A copy of a fixture that the test may change.
class WorkbookCache : public ::testing::Test {
protected:
    void SetUp() override { fs::copy_file(Fixture("sheet-order.xlsx"), File); }

    std::string Name() const { return File.string(); }

    test::TempDir Dir;
    fs::path File = Dir.Path() / "book.xlsx";
};

TEST_F(WorkbookCache, WithoutAScopeEveryOpenReads) {
    const auto first = OpenCachedWorkbook(Name());
    EXPECT_NE(OpenCachedWorkbook(Name()), first);
}

TEST_F(WorkbookCache, AnUnchangedFileIsReadOnceAndItsLoadedSheetsStayLoaded) {
    const TWorkbookCacheScope scope;
    const auto first = OpenCachedWorkbook(Name());
    first->Sheet(1).Load();
    const auto again = OpenCachedWorkbook(Name());
    EXPECT_EQ(again, first);
    EXPECT_TRUE(again->Sheet(1).Loaded());
}

TEST_F(WorkbookCache, AChangedFileIsReadAfresh) {
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> change;
    } cases[] = {
        {"modified, same bytes",
         [](const fs::path& file) {
             const timespec times[2] = {{0, UTIME_OMIT}, {1234567, 0}};
             ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
         }},
        {"permissions changed",
         [](const fs::path& file) {
             fs::permissions(file, fs::perms::owner_write, fs::perm_options::remove);
         }},
        {"replaced by another workbook",
         [](const fs::path& file) {
             const fs::path other = file.string() + ".new";
             fs::copy_file(Fixture("kinds.xlsx"), other);
             fs::rename(other, file);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TWorkbookCacheScope scope;
        fs::remove(File);
        fs::copy_file(Fixture("sheet-order.xlsx"), File);
        const auto first = OpenCachedWorkbook(Name());
        c.change(File);
        EXPECT_NE(OpenCachedWorkbook(Name()), first);
    }
}

TEST_F(WorkbookCache, AVanishedFileFailsAsWithoutTheCache) {
    const fs::path missing = Dir.Path() / "missing.xlsx";
    const auto plain =
        test::ExpectError<EWorkbookError>([&] { OpenCachedWorkbook(missing.string()); });
    ASSERT_TRUE(plain);

    const TWorkbookCacheScope scope;
    fs::copy_file(File, missing);
    OpenCachedWorkbook(missing.string());
    fs::remove(missing);
    const auto cached =
        test::ExpectError<EWorkbookError>([&] { OpenCachedWorkbook(missing.string()); });
    ASSERT_TRUE(cached);
    EXPECT_EQ(cached->Message(), plain->Message());
    EXPECT_EQ(cached->Code(), TWorkbookErrorCode::CannotOpen);
}

TEST_F(WorkbookCache, TheKeptWorkbookGoesWithTheLastScope) {
    std::weak_ptr<TWorkbook> kept;
    {
        const TWorkbookCacheScope outer;
        {
            const TWorkbookCacheScope inner;
            kept = OpenCachedWorkbook(Name());
        }
        EXPECT_FALSE(kept.expired());
    }
    EXPECT_TRUE(kept.expired());
}

TEST_F(WorkbookCache, TheApplicationOpensThroughIt) {
    const TWorkbookCacheScope scope;
    {
        TWorkbookApplication app;
        app.WorkBooks().Open(Name());
        app.Worksheets()(2).activate();
        app.WorkBooks().Close();
    }
    EXPECT_TRUE(OpenCachedWorkbook(Name())->Sheet(1).Loaded());
}

} // namespace
} // namespace tabellix
