#include "crbase/MyParserUni.h"

namespace tabellix {

const TLexemList& TMyParser::KeywordList() {
    static const TLexemList list([] {
        std::vector<TLexemList::Entry> entries = TSQLParser::KeywordList().Entries();
        entries.insert(entries.end(),
                       {
                           {"CHARSET", 1000},       {"COLUMNS", 1001},     {"CREATE", 1002},
                           {"CROSS", 1003},         {"DELIMITER", 1004},   {"DESC", 1005},
                           {"DESCRIBE", 1006},      {"EXPLAIN", 1007},     {"FORCE", 1008},
                           {"FUNCTION", 1009},      {"IGNORE", 1010},      {"NATURAL", 1011},
                           {"PRIVILEGES", 1012},    {"PROCEDURE", 1013},   {"REPLACE", 1014},
                           {"SHOW", 1015},          {"SLAVE", 1016},       {"STATUS", 1017},
                           {"STRAIGHT_JOIN", 1018}, {"TRIGGER", 1019},     {"USE", 1020},
                           {"HANDLER", 1021},       {"DISTINCTROW", 1022}, {"ENGINES", 1023},
                           {"PROCESSLIST", 1024},
                       });
        return entries;
    }());
    return list;
}

TMyParser::TMyParser(std::string text) : TSQLParser(std::move(text), KeywordList()) {}

std::unique_ptr<TParser> TMyParser::Create(std::string text) {
    return std::make_unique<TMyParser>(std::move(text));
}

// "#" and "$" are symbols again, as in the base lexer.
bool TMyParser::IsAlpha(unsigned char c) const {
    return TParser::IsAlpha(c);
}

bool TMyParser::IsStringQuote(unsigned char c) const {
    return c == '\'' || c == '"';
}

bool TMyParser::IsIdentQuote(unsigned char c) const {
    return c == '`';
}

bool TMyParser::IsInlineComment(size_t pos) const {
    return Text()[pos] == '#' || MarkerWithMore(pos, "-- ");
}

// A backslash makes the next character ordinary, so "\'" and "\\" stay
// inside the string.
size_t SkipEscapedQuoted(std::string_view text, size_t pos, char quote) {
    size_t i = pos + 1;
    while (i < text.size()) {
        if (text[i] == '\\')
            i += 2;
        else if (text[i] == quote)
            return i + 1;
        else
            ++i;
    }
    return std::string::npos;
}

size_t TMyParser::SkipQuoted(size_t pos, char quote) const {
    return SkipEscapedQuoted(Text(), pos, quote);
}

} // namespace tabellix
