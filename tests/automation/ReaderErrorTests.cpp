// Files that cannot be read: each gives its own clear error, and no damage
// to a good workbook crashes or hangs either reader.
#include "automation/WorkbookError.h"
#include "automation/WorkbookReader.h"
#include "tests/support/TestEnv.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tabellix {
namespace {

std::string Fixture(const char* name) {
    return (test::FixturesDir() / "workbooks" / name).string();
}

TEST(ReaderErrors, EachUnreadableFileNamesItselfAndTheCause) {
    struct Case {
        const char* file;
        TWorkbookErrorCode code;
        const char* cause;
    };
    const Case cases[] = {
        {"missing.xlsx", TWorkbookErrorCode::CannotOpen, "No such file"},
        {"not-a-workbook.xlsx", TWorkbookErrorCode::NotWorkbook, "is not a workbook"},
        {"truncated.xlsx", TWorkbookErrorCode::NotWorkbook, "not a valid zip package"},
        {"no-workbook-part.xlsx", TWorkbookErrorCode::MissingPart, "no workbook part"},
        {"bad-shared-index.xlsx", TWorkbookErrorCode::Malformed, "shared string"},
        {"damaged-second-sheet.xlsx", TWorkbookErrorCode::Malformed, "shared string"},
        {"damaged-second-sheet.xls", TWorkbookErrorCode::Malformed, "shared string"},
        {"doctype.xlsx", TWorkbookErrorCode::Malformed, "document type declaration"},
        {"encrypted.xls", TWorkbookErrorCode::Encrypted, "encrypted"},
        {"truncated.xls", TWorkbookErrorCode::MissingPart, "truncated"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        try {
            LoadWorkbook(Fixture(c.file));
            ADD_FAILURE() << "no error";
        } catch (const EWorkbookError& e) {
            EXPECT_EQ(e.Code(), c.code);
            EXPECT_THAT(e.Message(), testing::StartsWith("Cannot read the workbook \"" +
                                                         Fixture(c.file) + "\": "));
            EXPECT_THAT(e.Message(), testing::HasSubstr(c.cause));
        }
    }
}

// Every truncation and a spread of byte flips of a good workbook either
// read or raise the reader's error; nothing else escapes.
void Sweep(const char* name) {
    const std::string good = test::ReadFileBytes(Fixture(name));
    int failures = 0;
    const auto attempt = [&](const std::string& bytes) {
        try {
            LoadWorkbookFromMemory(bytes);
        } catch (const EWorkbookError&) {
            ++failures;
        }
    };
    for (size_t size = 0; size < good.size(); size += 7)
        attempt(good.substr(0, size));
    for (size_t at = 0; at < good.size(); at += 3) {
        std::string bad = good;
        bad[at] = static_cast<char>(bad[at] ^ 0x5A);
        attempt(bad);
    }
    EXPECT_GT(failures, 0);
}

TEST(ReaderErrors, DamagedPackagesRaiseTheReaderErrorOnly) {
    Sweep("kinds.xlsx");
}

TEST(ReaderErrors, DamagedBinaryWorkbooksRaiseTheReaderErrorOnly) {
    Sweep("kinds.xls");
}

} // namespace
} // namespace tabellix
