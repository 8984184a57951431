// sheets and inspect, called as main calls them.
#include "base/FormatSettings.h"
#include "cli/commands.h"
#include "tests/support/TestEnv.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

namespace tabellix::cli {
namespace {

std::string Fixture(const char* name) {
    return (test::FixturesDir() / "workbooks" / name).string();
}

std::string Output(int (*command)(const TArgs&, std::ostream&, std::ostream&), const TArgs& args) {
    std::ostringstream out, err;
    EXPECT_EQ(command(args, out, err), 0);
    return out.str();
}

TEST(Sheets, ListsTheWorksheetNamesInWorkbookOrder) {
    EXPECT_EQ(Output(RunSheets, {Fixture("sheet-order.xlsx")}),
              "Zeta\nAlpha \xC3\x89t\xC3\xA9\nSecret\n");
}

TEST(Inspect, PrintsTheCountsThenEveryNonEmptyCellAsJson) {
    const auto& locale = TFormatSettings::Default();
    const std::string out = Output(RunInspect, {Fixture("kinds.xls")});
    std::istringstream lines(out);
    std::string line;
    std::vector<std::string> got;
    while (std::getline(lines, line))
        got.push_back(line);
    ASSERT_EQ(got.size(), 22u);
    EXPECT_EQ(got[0], "{\"columns\": 3, \"rows\": 7}");
    EXPECT_EQ(got[1],
              "{\"row\": 1, \"column\": 1, \"kind\": \"text\", \"text\": \"Name\", \"value\": "
              "\"Name\"}");
    EXPECT_EQ(got[3], "{\"row\": 1, \"column\": 3, \"kind\": \"number\", \"text\": \"" +
                          locale.FloatToStr(2.5) + "\", \"value\": 2.5}");
    EXPECT_EQ(got[4], "{\"row\": 2, \"column\": 1, \"kind\": \"date\", \"text\": \"" +
                          locale.DateTimeToStr(45352) + "\", \"value\": 45352}");
    EXPECT_EQ(got[7], "{\"row\": 3, \"column\": 1, \"kind\": \"currency\", \"text\": \"" +
                          locale.CurrToStr(125000) + "\", \"value\": 12.5}");
    EXPECT_EQ(got[10], "{\"row\": 4, \"column\": 1, \"kind\": \"boolean\", \"text\": \"True\", "
                       "\"value\": true}");
    EXPECT_EQ(got[11], "{\"row\": 4, \"column\": 2, \"kind\": \"error\", \"value\": \"#DIV/0!\"}");
}

TEST(Inspect, CountsFromA1AndEscapesTexts) {
    EXPECT_EQ(Output(RunInspect, {Fixture("offset-range.xlsx")}),
              "{\"columns\": 5, \"rows\": 5}\n"
              "{\"row\": 3, \"column\": 4, \"kind\": \"number\", \"text\": \"1\", \"value\": 1}\n"
              "{\"row\": 4, \"column\": 3, \"kind\": \"number\", \"text\": \"2\", \"value\": 2}\n");
    const std::string text = Output(RunInspect, {Fixture("text-features.xlsx"), "--sheet", "1"});
    EXPECT_THAT(text, testing::HasSubstr("\"value\": \"line\\rbreak_x0041_\"}"));
}

TEST(Inspect, RefusesBadArgumentsAndUnreadableFiles) {
    std::ostringstream out, err;
    EXPECT_THROW(RunInspect({}, out, err), EUsageError);
    EXPECT_THROW(RunInspect({Fixture("kinds.xlsx"), "--sheet", "0"}, out, err), EUsageError);
    EXPECT_THROW(RunInspect({Fixture("kinds.xlsx"), "--bogus"}, out, err), EUsageError);
    EXPECT_THROW(RunSheets({Fixture("kinds.xlsx"), "--sheet", "1"}, out, err), EUsageError);
    try {
        RunInspect({Fixture("kinds.xlsx"), "--sheet", "2"}, out, err);
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_THAT(e.Message(), testing::HasSubstr("no worksheet 2"));
    }
    EXPECT_THROW(RunSheets({Fixture("encrypted.xls")}, out, err), Exception);
}

} // namespace
} // namespace tabellix::cli
