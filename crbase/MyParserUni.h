// TMyParser, the MySQL lexer the MySQL command's parameter scan uses:
// backslash escapes inside strings, backquoted identifiers, "#" and "-- "
// line comments.
#pragma once

#include "crbase/CRParser.h"

namespace tabellix {

// The offset just past the closing quote of the quoted run opening at pos, a
// backslash making the next character ordinary; npos when the text ends first.
size_t SkipEscapedQuoted(std::string_view text, size_t pos, char quote);

class TMyParser : public TSQLParser {
public:
    explicit TMyParser(std::string text);
    std::string ClassName() const override { return "TMyParser"; }

    // The generic SQL keywords and the MySQL ones, in one shared list.
    static const TLexemList& KeywordList();
    static std::unique_ptr<TParser> Create(std::string text);

protected:
    bool IsAlpha(unsigned char c) const override;
    bool IsStringQuote(unsigned char c) const override;
    bool IsIdentQuote(unsigned char c) const override;
    bool IsInlineComment(size_t pos) const override;
    size_t SkipQuoted(size_t pos, char quote) const override;
};

} // namespace tabellix
