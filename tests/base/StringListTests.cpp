#include "base/StringList.h"

#include <gtest/gtest.h>

using namespace tabellix;

TEST(StringList, NameValueAccessIgnoresLetterCase) {
    TStringList list{"MySQL.UseUnicode=True", "Port=3306", "plain"};
    EXPECT_EQ(list.IndexOfName("mysql.useunicode"), 0);
    EXPECT_EQ(list.Values("PORT"), "3306");
    EXPECT_EQ(list.Values("plain"), "");
    EXPECT_EQ(list.Names(1), "Port");
    EXPECT_EQ(list.ValueFromIndex(0), "True");
    list.SetValues("useunicode", "True");
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Strings(3), "useunicode=True");
    list.SetValues("PORT", "3307");
    EXPECT_EQ(list.Strings(1), "PORT=3307");
    list.SetValues("port", "");
    EXPECT_EQ(list.IndexOfName("port"), -1);
}

TEST(StringList, NotifiesBeforeAndAfterEachChangeAndMarksItModified) {
    TStringList list;
    std::string log;
    list.OnChanging = [&] { log += "<" + std::to_string(list.Count()); };
    list.OnChange = [&] { log += ">" + std::to_string(list.Count()); };
    EXPECT_FALSE(list.Modified());
    list.Add("a");
    list.SetValues("a", "1");
    list.Delete(0);
    EXPECT_EQ(log, "<0>1<1>2<2>1");
    EXPECT_TRUE(list.Modified());
    log.clear();
    list.BeginUpdate();
    list.Add("x");
    list.Add("y");
    list.EndUpdate();
    EXPECT_EQ(log, ">3");
}

TEST(StringList, TextSplitsOnAnyLineBreak) {
    TStringList list;
    list.SetText("a=1\r\nb=2\nc");
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Values("b"), "2");
    EXPECT_EQ(list.Text(), "a=1\nb=2\nc\n");
}
