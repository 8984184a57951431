// The client layer's rules that need no server: version parsing, the
// provider error, the wide-text decoder, the API's small rules, the record
// store and the command's parameter scan.
#include "mysql/client/MyClassesUni.h"
#include "mysql/client/MySqlApiDirectUni.h"
#include "mysql/protocol/MySqlSessionUni.h"
#include "tests/support/ExpectError.h"

#include <gtest/gtest.h>

namespace tabellix {
namespace {

TEST(MySqlVersion, ParsesMajorMinorAndReleaseAndRefusesShortTexts) {
    struct Case {
        const char* text;
        int major, minor, release;
    } cases[] = {{"5.7.33-log", 5, 7, 33},
                 {"8.0.26", 8, 0, 26},
                 {"5.0.95", 5, 0, 95},
                 {"10.11.6-MariaDB-0+deb12u1", 10, 11, 6},
                 {"4.1.3 Direct", 4, 1, 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TMySqlVersion v = ParseMySqlVersion(c.text);
        EXPECT_EQ(v.Major, c.major);
        EXPECT_EQ(v.Minor, c.minor);
        EXPECT_EQ(v.Release, c.release);
    }
    for (const char* bad : {"5.7", "x.1.2", "", "5..1"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(ParseMySqlVersion(bad), EConvertError);
    }
}

TEST(MyError, TakesTheLineOfASyntaxErrorAndClassifiesCodes) {
    EMyError syntax(1064, "\r\nYou have an error in your SQL syntax; check the manual near "
                          "'FORM t' at line 3");
    EXPECT_EQ(syntax.LineNumber(), 3);
    EXPECT_EQ(EMyError(1064, "no digits").LineNumber(), 0);
    EXPECT_EQ(EMyError(1146, "at line 7").LineNumber(), 0);
    for (int code : {1053, 1156, 2003, 2006, 2013, 2027})
        EXPECT_TRUE(EMyError(code, "").IsFatalError()) << code;
    for (int code : {1062, 1064, 2014})
        EXPECT_FALSE(EMyError(code, "").IsFatalError()) << code;
    EXPECT_TRUE(EMyError(1062, "").IsKeyViolation());
    EXPECT_FALSE(EMyError(1064, "").IsKeyViolation());
    EXPECT_EQ(EMyError(1062, "dup").ErrorCode(), 1062);
}

std::u16string Decode(const std::string& bytes, size_t capacity = 100) {
    return DecodeUtf8Wide(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), capacity);
}

std::string DecodeError(const std::string& bytes) {
    auto e = test::ExpectError<EDAError>([&] { Decode(bytes); });
    return e ? e->Message() : "no error";
}

TEST(WideText, DecodesOneTwoAndThreeByteSequencesUpToTheCapacity) {
    EXPECT_EQ(Decode("abc"), u"abc");
    EXPECT_EQ(Decode("caf\xC3\xA9"), u"caf\u00E9");
    EXPECT_EQ(Decode("\xE2\x82\xAC!"), u"\u20AC!");
    // Capacity counts the terminating zero.
    EXPECT_EQ(Decode("\xC3\xA9\xC3\xA9\xC3\xA9", 3), u"\u00E9\u00E9");
    EXPECT_EQ(Decode("abc", 1), u"");
}

TEST(WideText, ReportsCutAndMalformedSequences) {
    struct Case {
        const char* name;
        std::string bytes;
        const char* message;
    } cases[] = {
        {"cut two-byte", "a\xC3", "incomplete multibyte char"},
        {"cut three-byte after lead", "\xE2", "incomplete multibyte char"},
        {"cut three-byte after second", "\xE2\x82", "incomplete multibyte char"},
        {"bad second of three", "\xE2\x41\x41", "malformed trail byte or out of range char"},
        {"bad last byte", "\xC3\xC3", "malformed trail byte"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DecodeError(c.bytes), c.message);
    }
}

TEST(DirectApi, CapsLengthsAndSetsTimeoutsAndClientVersion) {
    EXPECT_EQ(TMySQLAPI::CorrectFieldLen(70000), 65535u);
    EXPECT_EQ(TMySQLAPI::CorrectFieldLen(65535), 65535u);
    EXPECT_EQ(TMySQLAPI::CorrectFieldLen(192), 192u);
    TMySQLAPIDirect& api = MyAPIDirect();
    api.CheckMySQLLib();
    EXPECT_EQ(api.ClientVer(), "4.1.3 Direct");
    EXPECT_EQ(api.ClientStructVer(), TClientStructVer::cvDirect);
    PMYSQL mysql = api.mysql_init(nullptr);
    // 0 leaves the wait to the session's read time-out, 60 s unless set.
    api.SetTimeout(mysql, 0);
    EXPECT_EQ(mysql->CommandTimeout(), 0);
    EXPECT_EQ(mysql->ReadTimeout(), 60);
    EXPECT_EQ(api.mysql_options(mysql, MYSQL_OPT_ANSWER_TIMEOUT, 9), 0);
    EXPECT_EQ(mysql->ReadTimeout(), 9);
    api.SetTimeout(mysql, 12);
    EXPECT_EQ(mysql->CommandTimeout(), 12);
    EXPECT_EQ(api.mysql_options(mysql, MYSQL_OPT_CONNECT_TIMEOUT, 7), 0);
    EXPECT_EQ(mysql->ConnectTimeout(), 7);
    EXPECT_EQ(api.mysql_use_result(mysql), nullptr);
    EXPECT_EQ(api.mysql_errno(mysql), 0u);
    EXPECT_EQ(api.mysql_next_result(mysql), -1);
    EXPECT_EQ(api.mysql_affected_rows(mysql), -1);
    mysql->SetStatus(TMySqlStatus::msUseResult);
    EXPECT_EQ(api.mysql_next_result(mysql), 2014);
    EXPECT_TRUE(api.mysql_error(mysql).ends_with("mysql.status = 2")) << api.mysql_error(mysql);
    EXPECT_THROW(api.mysql_character_set_name(mysql), ENotSupportedException);
    api.mysql_close(mysql);
}

TEST(MySQLConnection, RefusesTheLibraryVariantsAtConnect) {
    for (int prop : {prDirect, prEmbedded}) {
        TMySQLConnection c;
        c.SetProp(prop, prop == prEmbedded);
        auto e = test::ExpectError<EDAError>([&] { c.Connect(""); });
        ASSERT_TRUE(e);
        EXPECT_NE(e->Message().find("Only the direct MySQL protocol is available"),
                  std::string::npos);
        EXPECT_FALSE(c.GetConnected());
    }
}

TEST(MySQLCommand, LeavesTextWithoutColonAloneAndScansMarkersOtherwise) {
    TMySQLCommand cmd;
    cmd.AddParam();
    EXPECT_EQ(cmd.ParseSQL("insert into t values ('a?', NULL)", nullptr),
              "insert into t values ('a?', NULL)");
    cmd.SetSQL("insert into t values (1)");
    EXPECT_EQ(cmd.GetParamCount(), 0);
    EXPECT_EQ(cmd.SQL(), "insert into t values (1)");
    cmd.SetSQL("select * from t where a = :a and b = ':b'");
    EXPECT_EQ(cmd.SQL(), "select * from t where a = ? and b = ':b'");
    ASSERT_EQ(cmd.GetParamCount(), 1);
    EXPECT_EQ(cmd.GetParam(0)->Name(), "a");
}

// The short cut for colons inside strings gives what the full scan gives.
TEST(MySQLCommand, ColonsInsideStringsNeedNoScanButOthersDo) {
    struct Case {
        const char* sql;
        const char* sent;
        int params;
    } cases[] = {
        {"insert into t values('08:00','it\\'s :x' );",
         "insert into t values('08:00','it\\'s :x' );", 0},
        {"insert into t values('a\\\\',:p );", "insert into t values('a\\\\',? );", 1},
        {"select ':a' -- ':b\n, :c", "select ':a' -- ':b\n, ?", 1},
        {"select `x:y`, ':z'", "select `x:y`, ':z'", 0},
        {"select \"a:b\", :q", "select \"a:b\", ?", 1},
        {"select 'open :x", "select 'open :x", 0},
        // A lone "-" or "/", or a comment opener, at the very start or end.
        {"select 1 -", "select 1 -", 0},
        {"select 8/", "select 8/", 0},
        {"select 1 --", "select 1 --", 0},
        {"select 2-1, 4/2 :a", "select 2-1, 4/2 ?", 1},
        {"select 1 /* :a", "select 1 /* :a", 0},
        {"-- :a\n:b", "-- :a\n?", 1},
        {"/*:a*/:b", "/*:a*/?", 1},
        // Strings with and without backslashes, closed or not.
        {"select '', ':q'", "select '', ':q'", 0},
        {"select '\\'' :p", "select '\\'' ?", 1},
        {"select 'a\\\\', :p", "select 'a\\\\', ?", 1},
        {"select 'a\\', :p", "select 'a\\', :p", 0},
        {"select 'x\\", "select 'x\\", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sql);
        TMySQLCommand cmd;
        cmd.SetSQL(c.sql);
        EXPECT_EQ(cmd.SQL(), c.sent);
        EXPECT_EQ(cmd.GetParamCount(), c.params);
    }
}

TEST(MemData, KeepsTextInlineOrOutOfRecordWithNulls) {
    TMemData data;
    data.AddField({.Name = "short", .DataType = dtString, .Length = 4});
    data.AddField({.Name = "wide", .DataType = dtWideString, .Length = 2});
    data.AddField({.Name = "long", .DataType = dtString, .Length = 0, .OutOfRecord = true});
    data.AddField({.Name = "n", .DataType = dtLargeint});
    data.InitFields();
    for (int i = 0; i < 30; ++i) {
        TRecordBuffer r = data.AppendRecord();
        const std::string text = "abcdef" + std::to_string(i);
        data.PutBytes(r, 0, reinterpret_cast<const uint8_t*>(text.data()), text.size());
        data.PutWide(r, 1, u"\u00E9t\u00E9");
        if (i % 2 == 0)
            data.PutBytes(r, 2, reinterpret_cast<const uint8_t*>(text.data()), text.size());
        data.PutInt64(r, 3, int64_t{1} << 40 | i);
    }
    ASSERT_EQ(data.RecordCount(), 30);
    EXPECT_EQ(data.GetFieldAsVariant(27, 0), Variant("abcd"));
    EXPECT_EQ(data.GetWideString(27, 1), u"\u00E9t");
    EXPECT_EQ(data.GetFieldAsVariant(27, 1), Variant("\xC3\xA9t"));
    EXPECT_TRUE(data.GetNull(27, 2));
    EXPECT_TRUE(data.GetFieldAsVariant(27, 2).IsNull());
    EXPECT_EQ(data.GetFieldAsVariant(28, 2), Variant("abcdef28"));
    EXPECT_EQ(data.GetFieldAsVariant(29, 3), Variant(int64_t{1} << 40 | 29));
    EXPECT_EQ(data.FindField("LONG"), 2);
    data.CancelRecord();
    EXPECT_EQ(data.RecordCount(), 29);
    EXPECT_THROW(data.GetNull(29, 0), EArgumentException);
}

} // namespace
} // namespace tabellix
