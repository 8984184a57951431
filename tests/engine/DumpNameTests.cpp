#include "engine/dump_name.h"
#include "tests/support/TestEnv.h"

#include <fstream>
#include <gtest/gtest.h>

using namespace tabellix;

TEST(DumpName, OnlyATrailingSqlSuffixIsReplaced) {
    struct Case {
        const char* chosen;
        const char* settled;
    } cases[] = {
        {"C:\\out\\data.sql", "C:\\out\\data.SQL"},
        {"C:\\out\\data", "C:\\out\\data.SQL"},
        {"C:\\out\\data.SqL", "C:\\out\\data.SQL"},
        {"C:\\my.sql.files\\x", "C:\\my.sql.files\\x.SQL"},
        {"/home/u/dump.sql.sql", "/home/u/dump.sql.SQL"},
        {"/home/u/x.SQL", "/home/u/x.SQL"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.chosen);
        EXPECT_EQ(settle_dump_file_name(c.chosen), c.settled);
    }
}

TEST(DumpName, OverwriteQuestionIsAskedAboutTheSettledName) {
    test::TempDir dir;
    std::string base = (dir.Path() / "data").string();
    std::ofstream(base + ".SQL") << "old";
    int asked = 0;
    auto no = [&](const std::string& q) {
        ++asked;
        EXPECT_EQ(q, "The file aleady exists, overwrite it?");
        return false;
    };
    auto yes = [&](const std::string&) {
        ++asked;
        return true;
    };
    EXPECT_EQ(choose_dump_file(base, no), std::nullopt);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(choose_dump_file(base + ".sql", yes), base + ".SQL");
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(choose_dump_file((dir.Path() / "fresh").string(), no),
              (dir.Path() / "fresh.SQL").string());
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(choose_dump_file("", yes), std::nullopt);
}
