#include "crbase/CRParser.h"

#include "base/Format.h"
#include "base/FormatSettings.h"
#include "base/Text.h"

#include <algorithm>

namespace tabellix {

TLexemList::TLexemList(std::vector<Entry> entries) : FEntries(std::move(entries)) {
    for (auto& e : FEntries)
        e.text = AsciiUpper(e.text);
    std::sort(FEntries.begin(), FEntries.end(),
              [](const Entry& a, const Entry& b) { return a.text < b.text; });
}

int TLexemList::Find(std::string_view text) const {
    std::string key = AsciiUpper(text);
    auto it = std::lower_bound(FEntries.begin(), FEntries.end(), key,
                               [](const Entry& e, const std::string& k) { return e.text < k; });
    return it != FEntries.end() && it->text == key ? it->code : 0;
}

const TLexemList& TParser::SymbolList() {
    static const TLexemList list({{"!", 1},  {"\"", 2}, {"#", 3},  {"$", 4},  {"%", 5},  {"&", 6},
                                  {"'", 7},  {"(", 8},  {")", 9},  {"*", 10}, {"+", 11}, {",", 12},
                                  {"-", 13}, {".", 14}, {"/", 15}, {":", 16}, {";", 17}, {"<", 18},
                                  {"=", 19}, {">", 20}, {"?", 21}, {"@", 22}, {"[", 23}, {"\\", 24},
                                  {"]", 25}, {"^", 26}, {"_", 27}, {"`", 28}});
    return list;
}

const TLexemList& TParser::KeywordList() {
    static const TLexemList list({{"AND", 29}, {"NOT", 30}, {"OR", 31}});
    return list;
}

TParser::TParser(std::string text) : TParser(std::move(text), SymbolList(), KeywordList()) {}

TParser::TParser(std::string text, const TLexemList& symbols, const TLexemList& keywords)
    : FText(std::move(text)), FSymbolLexems(&symbols), FKeywordLexems(&keywords),
      FDecSeparator(TFormatSettings::Default().DecimalSeparator()) {
    ToBegin();
}

void TParser::ToBegin() {
    FPos = 0;
    FLexemPos = 0;
    FLexemIsKeyword = false;
    FCurrLine = 1;
    FCurrBegLine = 0;
}

bool TParser::IsBlank(unsigned char c) const {
    return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}

bool TParser::IsSymbol(unsigned char c) const {
    return (c >= 33 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 94) || c == 96 ||
           (c >= 123 && c <= 126);
}

bool TParser::IsAlpha(unsigned char c) const {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 128;
}

bool TParser::IsNumber(unsigned char c) const {
    return c >= '0' && c <= '9';
}

bool TParser::IsStringQuote(unsigned char c) const {
    return c == '\'' || c == '"';
}

bool TParser::IsIdentQuote(unsigned char) const {
    return false;
}

bool TParser::MarkerWithMore(size_t pos, std::string_view marker) const {
    return FText.size() - pos > marker.size() && FText.compare(pos, marker.size(), marker) == 0;
}

bool TParser::IsInlineComment(size_t pos) const {
    return MarkerWithMore(pos, "//");
}

size_t TParser::SkipQuoted(size_t pos, char quote) const {
    size_t end = FText.find(quote, pos + 1);
    return end == std::string::npos ? end : end + 1;
}

// Moves to offset to, counting the line breaks passed over.
void TParser::Advance(size_t to) {
    for (size_t i = FPos; i < to; ++i) {
        char c = FText[i];
        bool lineBreak =
            c == '\n' || (c == '\r' && (i + 1 >= FText.size() || FText[i + 1] != '\n'));
        if (lineBreak) {
            ++FCurrLine;
            FCurrBegLine = i + 1;
        }
    }
    FPos = to;
}

// The offset just past the comment starting at pos, or 0 when none does.
size_t TParser::CommentEndAt(size_t pos) const {
    if (IsInlineComment(pos)) {
        size_t end = FText.find_first_of("\r\n", pos);
        return end == std::string::npos ? FText.size() : end;
    }
    if (FText.compare(pos, CommentBegin.size(), CommentBegin) == 0) {
        size_t end = FText.find(CommentEnd, pos + CommentBegin.size());
        return end == std::string::npos ? FText.size() : end + CommentEnd.size();
    }
    return 0;
}

// Blanks and comments first: each is a lexem of its own unless omitted.
int TParser::GetNext(std::string& lexem) {
    FLexemIsKeyword = false;
    for (;;) {
        size_t start = FPos;
        size_t blankEnd = start;
        while (blankEnd < FText.size() && IsBlank(static_cast<unsigned char>(FText[blankEnd])))
            ++blankEnd;
        Advance(blankEnd);
        if (FPos > start && !FOmitBlank) {
            FLexemPos = start;
            lexem = FText.substr(start, FPos - start);
            return lcBlank;
        }
        FLexemPos = FPos;
        if (FPos >= FText.size()) {
            lexem.clear();
            return lcEnd;
        }
        size_t commentEnd = CommentEndAt(FPos);
        if (commentEnd == 0)
            break;
        Advance(commentEnd);
        if (!FOmitComment) {
            lexem = FText.substr(FLexemPos, FPos - FLexemPos);
            return lcComment;
        }
    }
    return ReadLexem(lexem);
}

// Classifies the character at FPos, which starts neither blanks nor a comment.
int TParser::ReadLexem(std::string& lexem) {
    auto c = static_cast<unsigned char>(FText[FPos]);
    if (IsStringQuote(c))
        return ReadQuoted(lexem, FQuotedString, lcString);
    if (IsIdentQuote(c))
        return ReadQuoted(lexem, true, lcIdent);
    if (IsAlpha(c) || c == '_')
        return ReadIdent(lexem);
    if (IsNumber(c))
        return ReadNumber(lexem);
    if (!IsSymbol(c))
        UnknownSymbol(c);
    lexem.assign(1, static_cast<char>(c));
    Advance(FPos + 1);
    int code = FSymbolLexems->Find(lexem);
    return code != 0 ? code : lcSymbol;
}

int TParser::ReadQuoted(std::string& lexem, bool keepQuotes, int code) {
    size_t end = SkipQuoted(FPos, FText[FPos]);
    bool closed = end != std::string::npos;
    if (!closed)
        end = FText.size();
    if (keepQuotes)
        lexem = FText.substr(FPos, end - FPos);
    else
        lexem = FText.substr(FPos + 1, end - FPos - (closed ? 2 : 1));
    Advance(end);
    return code;
}

int TParser::ReadIdent(std::string& lexem) {
    size_t end = FPos + 1;
    while (end < FText.size()) {
        auto c = static_cast<unsigned char>(FText[end]);
        if (!IsAlpha(c) && !IsNumber(c) && c != '_')
            break;
        ++end;
    }
    lexem = FText.substr(FPos, end - FPos);
    Advance(end);
    if (FOmitKeywords)
        return lcIdent;
    int code = FKeywordLexems->Find(lexem);
    if (code == 0)
        return lcIdent;
    FLexemIsKeyword = true;
    if (FUppered)
        lexem = AsciiUpper(lexem);
    return code;
}

int TParser::ReadNumber(std::string& lexem) {
    auto digitsFrom = [this](size_t i) {
        while (i < FText.size() && IsNumber(static_cast<unsigned char>(FText[i])))
            ++i;
        return i;
    };
    size_t end = digitsFrom(FPos);
    const std::string& sep = FDecSeparator;
    size_t afterSep = end + sep.size();
    if (!sep.empty() && afterSep < FText.size() && FText.compare(end, sep.size(), sep) == 0 &&
        IsNumber(static_cast<unsigned char>(FText[afterSep])))
        end = digitsFrom(afterSep);
    lexem = FText.substr(FPos, end - FPos);
    Advance(end);
    return lcNumber;
}

void TParser::UnknownSymbol(unsigned char c) const {
    throw EParserError(Format("Parser: The unknown symbol '%s'  $%.4X",
                              {std::string(1, static_cast<char>(c)), static_cast<unsigned>(c)}));
}

bool TParser::ToLexem(std::string_view lexem) {
    std::string current;
    for (;;) {
        int code = GetNext(current);
        if (code == lcEnd)
            return false;
        if (code != lcString && SameText(current, lexem))
            return true;
    }
}

const TLexemList& TSQLParser::SymbolList() {
    static const TLexemList list(
        {{"*", 1}, {"=", 2}, {":", 3}, {",", 4}, {".", 5}, {"/", 6}, {";", 7}});
    return list;
}

// Codes follow the alphabetical order of the words; 107, 118 and 129 are
// left free.
const TLexemList& TSQLParser::KeywordList() {
    static const TLexemList list({
        {"ALL", 100},    {"AND", 101},    {"AS", 102},       {"ASC", 103},    {"BETWEEN", 104},
        {"BY", 105},     {"DELETE", 106}, {"DISTINCT", 108}, {"EXISTS", 109}, {"FOR", 110},
        {"FROM", 111},   {"FULL", 112},   {"GROUP", 113},    {"HAVING", 114}, {"IN", 115},
        {"INNER", 116},  {"INSERT", 117}, {"INTO", 119},     {"IS", 120},     {"JOIN", 121},
        {"KEY", 122},    {"LEFT", 123},   {"LIKE", 124},     {"LIMIT", 125},  {"LOCK", 126},
        {"NOT", 127},    {"NULL", 128},   {"OF", 130},       {"ON", 131},     {"OR", 132},
        {"ORDER", 133},  {"OUTER", 134},  {"PRIMARY", 135},  {"RIGHT", 136},  {"ROLLBACK", 137},
        {"SELECT", 138}, {"SET", 139},    {"TABLE", 140},    {"UNION", 141},  {"UPDATE", 142},
        {"VALUES", 143}, {"WHERE", 144},
    });
    return list;
}

TSQLParser::TSQLParser(std::string text) : TSQLParser(std::move(text), KeywordList()) {}

TSQLParser::TSQLParser(std::string text, const TLexemList& keywords)
    : TParser(std::move(text), SymbolList(), keywords) {}

std::unique_ptr<TParser> TSQLParser::Create(std::string text) {
    return std::make_unique<TSQLParser>(std::move(text));
}

bool TSQLParser::IsAlpha(unsigned char c) const {
    return TParser::IsAlpha(c) || c == '#' || c == '$';
}

bool TSQLParser::IsStringQuote(unsigned char c) const {
    return c == '\'';
}

bool TSQLParser::IsIdentQuote(unsigned char c) const {
    return c == '"';
}

bool TSQLParser::IsInlineComment(size_t pos) const {
    return MarkerWithMore(pos, "--");
}

} // namespace tabellix
