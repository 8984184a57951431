#include "crbase/CRParser.h"
#include "crbase/MyParserUni.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

using namespace tabellix;

namespace {

using Lexems = std::vector<std::pair<int, std::string>>;

enum class Kind { Base, Generic, MySQL };

std::unique_ptr<TParser> MakeParser(Kind kind, std::string text) {
    switch (kind) {
    case Kind::Base:
        return std::make_unique<TParser>(std::move(text));
    case Kind::Generic:
        return std::make_unique<TSQLParser>(std::move(text));
    case Kind::MySQL:
        return std::make_unique<TMyParser>(std::move(text));
    }
    return nullptr;
}

Lexems LexAll(TParser& parser) {
    Lexems out;
    std::string lexem;
    for (int code; (code = parser.GetNext(lexem)) != lcEnd;)
        out.emplace_back(code, lexem);
    return out;
}

bool IsSortedUpper(const TLexemList& list) {
    const auto& e = list.Entries();
    for (size_t i = 1; i < e.size(); ++i) {
        if (!(e[i - 1].text < e[i].text))
            return false;
    }
    return true;
}

std::set<int> Codes(const TLexemList& list) {
    std::set<int> codes;
    for (const auto& e : list.Entries())
        codes.insert(e.code);
    return codes;
}

} // namespace

TEST(LexemLists, BaseLexerHas28SymbolsAndThreeKeywords) {
    const auto& symbols = TParser::SymbolList();
    ASSERT_EQ(symbols.Entries().size(), 28u);
    const char* order = "!\"#$%&'()*+,-./:;<=>?@[\\]^_`";
    for (int i = 0; i < 28; ++i)
        EXPECT_EQ(symbols.Find(std::string(1, order[i])), i + 1) << order[i];
    EXPECT_EQ(TParser::KeywordList().Find("and"), 29);
    EXPECT_EQ(TParser::KeywordList().Find("Not"), 30);
    EXPECT_EQ(TParser::KeywordList().Find("OR"), 31);
    EXPECT_EQ(TParser::KeywordList().Entries().size(), 3u);
}

TEST(LexemLists, GenericKeywordsAreCoded100To144InAlphabeticalOrder) {
    const auto& keywords = TSQLParser::KeywordList();
    ASSERT_EQ(keywords.Entries().size(), 42u);
    EXPECT_TRUE(IsSortedUpper(keywords));
    int previous = 0;
    for (const auto& e : keywords.Entries()) {
        EXPECT_GT(e.code, previous) << e.text;
        previous = e.code;
    }
    std::set<int> codes = Codes(keywords);
    for (int free : {107, 118, 129})
        EXPECT_EQ(codes.count(free), 0u) << free;
    EXPECT_EQ(*codes.begin(), 100);
    EXPECT_EQ(*codes.rbegin(), 144);
    std::pair<const char*, int> named[] = {{"ALL", 100},    {"AND", 101},  {"AS", 102},
                                           {"INSERT", 117}, {"INTO", 119}, {"SELECT", 138},
                                           {"WHERE", 144}};
    for (auto [word, code] : named)
        EXPECT_EQ(keywords.Find(word), code) << word;
    EXPECT_EQ(TSQLParser::SymbolList().Entries().size(), 7u);
    EXPECT_EQ(TSQLParser::SymbolList().Find(":"), 3);
}

TEST(LexemLists, MySQLKeywordsAreTheGenericOnesAndTwentyFiveMore) {
    const auto& keywords = TMyParser::KeywordList();
    ASSERT_EQ(keywords.Entries().size(), 67u);
    EXPECT_TRUE(IsSortedUpper(keywords));
    for (const auto& e : TSQLParser::KeywordList().Entries())
        EXPECT_EQ(keywords.Find(e.text), e.code) << e.text;
    std::set<int> codes = Codes(keywords);
    for (int code = 1000; code <= 1024; ++code)
        EXPECT_EQ(codes.count(code), 1u) << code;
    EXPECT_EQ(keywords.Find("straight_join"), 1018);
    EXPECT_EQ(keywords.Find("ProcessList"), 1024);
}

TEST(LexemLists, LookUpFoldsOnlyAsciiLetters) {
    const auto& keywords = TSQLParser::KeywordList();
    EXPECT_EQ(keywords.Find("sElEcT"), 138);
    EXPECT_EQ(keywords.Find("SELECTS"), 0);
    EXPECT_EQ(keywords.Find("SELEC"), 0);
    EXPECT_EQ(keywords.Find("s\xC3\xA9lect"), 0);
    EXPECT_EQ(keywords.Find(""), 0);
}

TEST(Lexer, SplitsTextByEachLexersClasses) {
    struct Case {
        const char* name;
        Kind kind;
        std::string text;
        Lexems expected;
    } cases[] = {
        {"generic statement",
         Kind::Generic,
         "select a from \"t\" where x='y'",
         {{138, "SELECT"},
          {-103, "a"},
          {111, "FROM"},
          {-103, "\"t\""},
          {144, "WHERE"},
          {-103, "x"},
          {2, "="},
          {-106, "y"}}},
        {"base: both quotes make strings",
         Kind::Base,
         "a \"b\" 'c'",
         {{-103, "a"}, {-106, "b"}, {-106, "c"}}},
        {"base: # and $ are symbols",
         Kind::Base,
         "#$_x and{",
         {{3, "#"}, {4, "$"}, {-103, "_x"}, {29, "AND"}, {-102, "{"}}},
        {"generic: # and $ are letters", Kind::Generic, "#a$b $", {{-103, "#a$b"}, {-103, "$"}}},
        {"generic: double quotes make an identifier",
         Kind::Generic,
         "\"a:b\"",
         {{-103, "\"a:b\""}}},
        {"generic: backslash ends nothing", Kind::Generic, "'a\\'b", {{-106, "a\\"}, {-103, "b"}}},
        {"mysql: double quotes make a string", Kind::MySQL, "\"a:b\"", {{-106, "a:b"}}},
        {"mysql: backquotes make an identifier", Kind::MySQL, "`x y`", {{-103, "`x y`"}}},
        {"mysql: $ is a symbol off the list", Kind::MySQL, "$a", {{-102, "$"}, {-103, "a"}}},
        {"mysql: backslash escapes inside strings",
         Kind::MySQL,
         "'it\\'s' 'C:\\\\' x",
         {{-106, "it\\'s"}, {-106, "C:\\\\"}, {-103, "x"}}},
        {"mysql: keyword of its own",
         Kind::MySQL,
         "show Tables",
         {{1015, "SHOW"}, {-103, "Tables"}}},
        {"unterminated string runs to the end", Kind::MySQL, "'abc :p", {{-106, "abc :p"}}},
        {"unterminated escape at the end", Kind::MySQL, "'ab\\", {{-106, "ab\\"}}},
        {"multi-byte letters stay in identifiers",
         Kind::Generic,
         "caf\xC3\xA9 \xC3\x96l\xC3\xA9_2",
         {{-103, "caf\xC3\xA9"}, {-103, "\xC3\x96l\xC3\xA9_2"}}},
        {"non-ASCII word is no keyword", Kind::Generic, "s\xC3\xA9lect", {{-103, "s\xC3\xA9lect"}}},
        {"numbers", Kind::Base, "12 3a", {{-105, "12"}, {-105, "3"}, {-103, "a"}}},
        {"base line comment", Kind::Base, "a // c\nb", {{-103, "a"}, {-108, "// c"}, {-103, "b"}}},
        {"base // at the very end is two symbols",
         Kind::Base,
         "a //",
         {{-103, "a"}, {15, "/"}, {15, "/"}}},
        {"generic -- comment",
         Kind::Generic,
         "a -- x\r\nb",
         {{-103, "a"}, {-108, "-- x"}, {-103, "b"}}},
        {"generic -- at the very end", Kind::Generic, "--", {{-102, "-"}, {-102, "-"}}},
        {"generic --x is a comment", Kind::Generic, "--x", {{-108, "--x"}}},
        {"generic # is no comment", Kind::Generic, "# x", {{-103, "#"}, {-103, "x"}}},
        {"mysql # comment", Kind::MySQL, "a # x\nb", {{-103, "a"}, {-108, "# x"}, {-103, "b"}}},
        {"mysql lone # is a comment", Kind::MySQL, "#", {{-108, "#"}}},
        {"mysql --x is no comment", Kind::MySQL, "--x", {{-102, "-"}, {-102, "-"}, {-103, "x"}}},
        {"mysql -- and blank at the very end", Kind::MySQL, "-- ", {{-102, "-"}, {-102, "-"}}},
        {"mysql -- x comment", Kind::MySQL, "-- x", {{-108, "-- x"}}},
        {"block comment", Kind::MySQL, "/* a */b", {{-108, "/* a */"}, {-103, "b"}}},
        {"block comment needs its own end",
         Kind::Generic,
         "/*/ x */y",
         {{-108, "/*/ x */"}, {-103, "y"}}},
        {"open block comment runs to the end",
         Kind::Generic,
         "a /* b",
         {{-103, "a"}, {-108, "/* b"}}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto parser = MakeParser(c.kind, c.text);
        EXPECT_EQ(LexAll(*parser), c.expected);
    }
}

TEST(Lexer, NumbersTakeTheDecimalSeparatorOnlyBeforeADigit) {
    TSQLParser parser("1.5 2. 3.x 4.5.6 7,8");
    parser.SetDecSeparator(".");
    Lexems expected = {{-105, "1.5"}, {-105, "2"}, {5, "."},    {-105, "3"}, {5, "."}, {-103, "x"},
                       {-105, "4.5"}, {5, "."},    {-105, "6"}, {-105, "7"}, {4, ","}, {-105, "8"}};
    EXPECT_EQ(LexAll(parser), expected);
    TSQLParser comma("7,8");
    comma.SetDecSeparator(",");
    EXPECT_EQ(LexAll(comma), (Lexems{{-105, "7,8"}}));
}

TEST(Lexer, OptionsKeepBlanksQuotesAndKeywordCase) {
    TMyParser parser("Select \t'a'\r\n/*c*/ x");
    parser.SetOmitBlank(false);
    parser.SetOmitComment(true);
    parser.SetQuotedString(true);
    parser.SetUppered(false);
    Lexems expected = {{138, "Select"}, {-107, " \t"}, {-106, "'a'"},
                       {-107, "\r\n"},  {-107, " "},   {-103, "x"}};
    EXPECT_EQ(LexAll(parser), expected);

    TMyParser plain("select");
    plain.SetOmitKeywords(true);
    EXPECT_EQ(LexAll(plain), (Lexems{{-103, "select"}}));
}

TEST(Lexer, LexemsWithEverythingKeptRebuildTheText) {
    std::string text = "insert into `t` values('it\\'s', \"x\") -- c\r\n# d\n/* e */ 1.5:p";
    TMyParser parser(text);
    parser.SetOmitBlank(false);
    parser.SetQuotedString(true);
    parser.SetUppered(false);
    std::string rebuilt;
    for (const auto& [code, lexem] : LexAll(parser))
        rebuilt += lexem;
    EXPECT_EQ(rebuilt, text);
}

TEST(Lexer, ControlCharacterOutsideStringsIsAnUnknownSymbol) {
    struct Case {
        std::string text;
        std::string message;
    } cases[] = {
        {"select \f1", "Parser: The unknown symbol '\f'  $000C"},
        {"a\x7F", "Parser: The unknown symbol '\x7F'  $007F"},
        {std::string("a\0", 2), std::string("Parser: The unknown symbol '") + '\0' + "'  $0000"},
        {"\x1B", "Parser: The unknown symbol '\x1B'  $001B"},
    };
    for (auto kind : {Kind::Base, Kind::Generic, Kind::MySQL}) {
        for (const auto& c : cases) {
            auto parser = MakeParser(kind, c.text);
            try {
                LexAll(*parser);
                ADD_FAILURE() << "no error for " << c.text;
            } catch (const EParserError& e) {
                EXPECT_EQ(e.Message(), c.message);
            }
        }
    }
    for (const char* fine : {"'\f'", "/* \f */", "`a\fb`"}) {
        TMyParser parser(fine);
        EXPECT_NO_THROW(LexAll(parser)) << fine;
    }
}

TEST(Lexer, PositionsAndLines) {
    TSQLParser parser("ab\r\n cd\nef\rg /* x\n */ h");
    std::string lexem;
    parser.GetNext(lexem);
    EXPECT_EQ(parser.PrevPos(), 0);
    EXPECT_EQ(parser.CurrPos(), 2);
    EXPECT_EQ(parser.CurrLine(), 1);
    parser.GetNext(lexem);
    EXPECT_EQ(lexem, "cd");
    EXPECT_EQ(parser.PrevPos(), 5);
    EXPECT_EQ(parser.CurrLine(), 2);
    EXPECT_EQ(parser.CurrCol(), 3);
    parser.GetNext(lexem);
    EXPECT_EQ(parser.CurrLine(), 3);
    parser.GetNext(lexem);
    EXPECT_EQ(lexem, "g");
    EXPECT_EQ(parser.CurrLine(), 4);
    parser.GetNext(lexem); // the comment spans a line break
    parser.GetNext(lexem);
    EXPECT_EQ(lexem, "h");
    EXPECT_EQ(parser.CurrLine(), 5);
    EXPECT_EQ(parser.GetNext(lexem), lcEnd);
    EXPECT_EQ(parser.CurrPos(), parser.TextLength());
    parser.ToBegin();
    EXPECT_EQ(parser.CurrPos(), 0);
    EXPECT_EQ(parser.CurrLine(), 1);
    parser.GetNext(lexem);
    EXPECT_EQ(lexem, "ab");
}

TEST(Lexer, ToLexemSkipsStringsAndFoldsCase) {
    TMyParser parser("x ':' `:` /* : */ y : select");
    EXPECT_TRUE(parser.ToLexem(":"));
    EXPECT_EQ(parser.PrevPos(), 20);
    EXPECT_TRUE(parser.ToLexem("Select"));
    EXPECT_FALSE(parser.ToLexem(":"));
    EXPECT_EQ(parser.CurrPos(), parser.TextLength());
}
