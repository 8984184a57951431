#include "base/Exception.h"
#include "engine/funcs.h"
#include "engine/typed_values.h"
#include "tests/support/ExpectError.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace tabellix;

namespace {

// 2026-12-10 as a serial day.
constexpr double kDay = 46366;

std::string Statement(const myfuns& funs, TValueForm form, Variant value) {
    return funs.get_insert("t", {funs.insert_value(form, std::move(value))});
}

} // namespace

TEST(TypedValues, FormFollowsTheLeadingWordOfTheType) {
    const struct {
        const char* type;
        TValueForm form;
    } cases[] = {
        {"INT", TValueForm::Number},
        {"tinyint", TValueForm::Number},
        {"DECIMAL(12,2)", TValueForm::Number},
        {"dec(5)", TValueForm::Number},
        {"BIGINT UNSIGNED", TValueForm::Number},
        {"Boolean", TValueForm::Number},
        {"BIT", TValueForm::Bit},
        {"bit(8)", TValueForm::Bit},
        {"DOUBLE PRECISION", TValueForm::Number},
        {"DATE", TValueForm::Date},
        {"DateTime(3)", TValueForm::DateTime},
        {"TIMESTAMP", TValueForm::DateTime},
        {"time", TValueForm::Time},
        {"YEAR", TValueForm::Year},
        {"VARCHAR", TValueForm::CellText},
        {"TEXT", TValueForm::CellText},
        {"ENUM('a','b')", TValueForm::CellText},
        {"INTERVAL", TValueForm::CellText},
        {"DATETIMEX", TValueForm::CellText},
        {" INT", TValueForm::CellText},
        {"", TValueForm::CellText},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        EXPECT_EQ(value_form(c.type), c.form);
    }
}

// Under a comma locale, so that every locale text differs from the
// server's form.
TEST(TypedValues, ValuesInTheServersFormWhateverTheLocale) {
    const myfuns comma(TFormatSettings("de_DE"));
    const struct {
        const char* name;
        TValueForm form;
        Variant value;
        const char* sql;
    } cases[] = {
        {"date", TValueForm::Date, VarDate{kDay}, "'2026-12-10'"},
        {"date keeps the day only", TValueForm::Date, VarDate{kDay + 0.75}, "'2026-12-10'"},
        {"leap day", TValueForm::Date, VarDate{45351}, "'2024-02-29'"},
        {"date-time at midnight", TValueForm::DateTime, VarDate{kDay}, "'2026-12-10 00:00:00'"},
        {"date-time", TValueForm::DateTime, VarDate{kDay + 0.5 + 90.0 / 86400},
         "'2026-12-10 12:01:30'"},
        {"fraction of a second", TValueForm::DateTime, VarDate{kDay + 1.25 / 86400},
         "'2026-12-10 00:00:01.25'"},
        {"time", TValueForm::Time, VarDate{0.75}, "'18:00:00'"},
        {"duration past a day", TValueForm::Time, VarDate{1.5}, "'36:00:00'"},
        {"negative duration", TValueForm::Time, VarDate{-0.25}, "'-06:00:00'"},
        {"year", TValueForm::Year, VarDate{kDay}, "'2026'"},
        {"fraction", TValueForm::Number, 2.5, "'2.5'"},
        {"negative", TValueForm::Number, -1234567.125, "'-1234567.125'"},
        {"exponent", TValueForm::Number, 1e16, "'1E16'"},
        {"small exponent", TValueForm::Number, -1.5e-7, "'-1.5E-7'"},
        {"whole", TValueForm::Number, 42.0, "'42'"},
        {"integer kind", TValueForm::Number, int64_t{-9000000000}, "'-9000000000'"},
        {"currency", TValueForm::Number, VarCurrency{12345}, "'1.2345'"},
        {"true", TValueForm::Number, true, "'1'"},
        {"false", TValueForm::Number, false, "'0'"},
        {"not a number", TValueForm::Number, std::nan(""), "'NAN'"},
        // A quoted text would be taken as bits.
        {"bit", TValueForm::Bit, 5.0, "5"},
        {"bit flag", TValueForm::Bit, true, "1"},
        {"bit fraction", TValueForm::Bit, 2.5, "2.5"},
        {"bit not a number", TValueForm::Bit, std::nan(""), "'NAN'"},
        {"empty number", TValueForm::Number, Variant(), "NULL"},
        {"empty date", TValueForm::Date, Variant(), "NULL"},
        {"null time", TValueForm::Time, Variant::Null(), "NULL"},
        // A formula's empty result is an empty cell; '' would be refused.
        {"empty text in a number column", TValueForm::Number, "", "NULL"},
        {"empty text in a date column", TValueForm::Date, "", "NULL"},
        {"empty text untyped", TValueForm::CellText, "", "''"},
        // The user's data for the server to accept or refuse.
        {"text in a number column", TValueForm::Number, "2,5", "'2,5'"},
        {"text in a date column", TValueForm::Date, "next week", "'next week'"},
        {"date in a number column", TValueForm::Number, VarDate{kDay}, "'10.12.2026'"},
        {"number in a date column", TValueForm::Date, 2.5, "'2,5'"},
        {"boolean in a date column", TValueForm::DateTime, true, "'True'"},
        {"untyped number", TValueForm::CellText, 2.5, "'2,5'"},
        {"untyped empty", TValueForm::CellText, Variant(), "''"},
        {"untyped date", TValueForm::CellText, VarDate{kDay}, "'10.12.2026'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Statement(comma, c.form, c.value),
                  std::string("insert into t values(") + c.sql + " );");
    }
}

TEST(TypedValues, AnErrorCellRaisesTheConversionErrorInTypedColumnsToo) {
    const myfuns funs;
    for (TValueForm form : {TValueForm::Number, TValueForm::Date, TValueForm::Time}) {
        auto e = test::ExpectError<EConvertError>(
            [&] { funs.insert_value(form, Variant(VarError{"#N/A"})); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->Message(), "Could not convert variant of type (Error) into type (OleStr)");
    }
}
