#include "base/Exception.h"
#include "engine/field_edit.h"
#include "tests/support/ExpectError.h"

#include <gtest/gtest.h>

using namespace tabellix;

namespace {

TStringGrid Grid(std::initializer_list<std::string> names) {
    TStringGrid grid = MakeColumnGrid();
    grid.SetRowCount(static_cast<int>(names.size()) + 1);
    int r = 1;
    for (const auto& n : names) {
        grid.SetCell(0, r, n);
        grid.SetCell(1, r, "VARCHAR");
        grid.SetCell(2, r, "255");
        ++r;
    }
    return grid;
}

} // namespace

TEST(FieldEdit, TypeListAndDefaultLengths) {
    ASSERT_EQ(field_types().size(), 19u);
    EXPECT_EQ(field_types().front(), "VARCHAR");
    EXPECT_EQ(field_types().back(), "LONGTEXT");
    EXPECT_EQ(default_field_length("INT"), "11");
    EXPECT_EQ(default_field_length("CHAR"), "50");
    EXPECT_EQ(default_field_length("YEAR"), "4");
    EXPECT_EQ(default_field_length("DATE"), std::nullopt);
    EXPECT_EQ(default_field_length("int"), std::nullopt);
}

TEST(FieldEdit, ChecksInOrderWithTheirMessagesAndFocus) {
    myfuns funs;
    struct Case {
        const char* name;
        TFieldEdit edit;
        const char* message;
        TFieldFocus focus;
    } cases[] = {
        {"empty name",
         {"", "VARCHAR", "255", 2},
         "Please input the Field Name!",
         TFieldFocus::Name},
        {"invalid name",
         {"1abc", "VARCHAR", "", 2},
         "Please input a valid Field Name!",
         TFieldFocus::Name},
        {"varchar needs a length",
         {"x", "VARCHAR", "", 2},
         "Please input field Length!",
         TFieldFocus::Type},
        {"char needs a length",
         {"x", "CHAR", "", 2},
         "Please input field Length!",
         TFieldFocus::Type},
        {"negative length",
         {"x", "VARCHAR", "-3", 2},
         "Please input a valid field Length!",
         TFieldFocus::Type},
        {"zero length",
         {"x", "VARCHAR", "0", 2},
         "Please input a valid field Length!",
         TFieldFocus::Type},
        {"name of another row",
         {"name", "VARCHAR", "5", 2},
         "Field name already exists!",
         TFieldFocus::None},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        TStringGrid grid = Grid({"name", "other"});
        TFieldCheck check = apply_field_edit(funs, c.edit, grid, c.edit.lindex);
        EXPECT_FALSE(check.accepted);
        EXPECT_EQ(check.message, c.message);
        EXPECT_EQ(check.focus, c.focus);
        EXPECT_EQ(grid.Cell(0, 2), "other");
    }
}

TEST(FieldEdit, AcceptedEditsAreNormalisedAndWrittenBack) {
    myfuns funs;
    struct Case {
        const char* name;
        TFieldEdit edit;
        const char* storedName;
        const char* storedType;
        const char* storedLength;
    } cases[] = {
        {"trimmed decimal length", {"x", "VARCHAR", " 020 ", 2}, "x", "VARCHAR", "20"},
        {"hexadecimal length", {"x", "INT", "$FF", 2}, "x", "INT", "255"},
        {"plus sign", {"x", "INT", "+5", 2}, "x", "INT", "5"},
        {"date without length", {"born", "DATE", "", 2}, "born", "DATE", ""},
        {"typed lower-case type", {"t", "text", "", 2}, "t", "text", ""},
        {"differently cased name is unique-ified",
         {"Name", "VARCHAR", "9", 2},
         "name_1",
         "VARCHAR",
         "9"},
        {"own name kept", {"other", "VARCHAR", "9", 2}, "other", "VARCHAR", "9"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        TStringGrid grid = Grid({"name", "other"});
        TFieldCheck check = apply_field_edit(funs, c.edit, grid, 2);
        EXPECT_TRUE(check.accepted) << check.message;
        EXPECT_EQ(grid.Cell(0, 2), c.storedName);
        EXPECT_EQ(grid.Cell(1, 2), c.storedType);
        EXPECT_EQ(grid.Cell(2, 2), c.storedLength);
    }
}

TEST(FieldEdit, LengthThatIsNoNumberRaisesTheIntegerError) {
    myfuns funs;
    TStringGrid grid = Grid({"a"});
    TFieldEdit edit{"a", "VARCHAR", "abc", 1};
    auto e = test::ExpectError<EConvertError>([&] { apply_field_edit(funs, edit, grid, 1); });
    ASSERT_TRUE(e);
    EXPECT_STREQ(e->what(), "''abc'' is not a valid integer value");
}
