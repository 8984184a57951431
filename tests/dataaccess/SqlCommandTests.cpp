// The SQL command's text handling, without a server: the final text, "&"
// macros and the parameters found in the text.
#include "dataaccess/MySQLUniProvider.h"
#include "dataaccess/Uni.h"

#include <gtest/gtest.h>

namespace tabellix {
namespace {

class SqlCommandText : public ::testing::Test {
protected:
    void SetUp() override {
        TUniProviders::Instance().RegisterProvider(TMySQLUniProvider::Class());
        Con.SetProviderName("MySQL");
        Sql = Con.CreateSQL();
    }
    TUniConnection Con;
    std::unique_ptr<TCustomDASQL> Sql;
};

TEST_F(SqlCommandText, FinalTextTrimsTheEndAndRunsBothPasses) {
    struct Case {
        const char* text;
        const char* final;
    } cases[] = {
        {"  select 1 \t\r\n ", "  select 1"},
        {"insert into t values('a','b' );", "insert into t values('a','b' );"},
        {"select \"name\" from t", "select `name` from t"},
        {"select 1 -- note", "select 1 /* note*/"},
        {"select &tbl", "select "},
        {"select 'a&b', &1", "select 'a&b', &1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Sql->SetSQL(c.text);
        EXPECT_EQ(Sql->GetFinalSQL(), c.final);
        EXPECT_EQ(Sql->ICommand()->SQL(), c.final);
    }
}

TEST_F(SqlCommandText, MacrosAreFoundInOrderAndKeepTheirValues) {
    Sql->SetSQL("select &cols from &tbl where &cols > 0");
    ASSERT_EQ(Sql->Macros().Count(), 2);
    EXPECT_EQ(Sql->Macros().Item(0).Name(), "cols");
    EXPECT_EQ(Sql->Macros().Item(1).Name(), "tbl");
    Sql->Macros().MacroByName("tbl").SetValue("t1");
    Sql->Macros().MacroByName("COLS").SetValue("a");
    EXPECT_EQ(Sql->GetFinalSQL(), "select a from t1 where a > 0");
    Sql->Macros().MacroByName("cols").SetActive(false);
    EXPECT_EQ(Sql->GetFinalSQL(), "select  from t1 where  > 0");

    Sql->SetSQL("select * from &tbl");
    ASSERT_EQ(Sql->Macros().Count(), 1);
    EXPECT_EQ(Sql->Macros().Item(0).Value(), "t1");
    Sql->SetSQL("select 1");
    EXPECT_EQ(Sql->Macros().Count(), 0);
    EXPECT_THROW(Sql->Macros().MacroByName("tbl"), EDAError);
}

TEST_F(SqlCommandText, ParametersAreRebuiltOnEveryAssignmentAndKeepValuesByName) {
    Sql->SetSQL("select :a, :b");
    ASSERT_EQ(Sql->Params().Count(), 2);
    Sql->ParamByName("b").SetValue(Variant(7));
    Sql->SetSQL("select :b, :c");
    ASSERT_EQ(Sql->Params().Count(), 2);
    EXPECT_EQ(Sql->Params().Item(0).Value(), Variant(7));
    EXPECT_TRUE(Sql->Params().Item(1).Value().IsNull());
    Sql->SetSQL("insert into t values('it\\'s :x' );");
    EXPECT_EQ(Sql->Params().Count(), 0);
    EXPECT_THROW(Sql->ParamByName("x"), EDAError);
}

TEST_F(SqlCommandText, UnifiedSqlErrorsStopTheAssignment) {
    EXPECT_THROW(Sql->SetSQL("select {fn FOO(1)}"), Exception);
}

} // namespace
} // namespace tabellix
