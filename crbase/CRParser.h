// The lexer family of the data-access layer: TParser, the base over one
// text, and TSQLParser, the generic SQL lexer the command text passes and
// the provider-neutral parameter scan use.
#pragma once

#include "base/Exception.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tabellix {

// Lexem codes; symbols and keywords return their own list code (1 and up).
constexpr int lcEnd = 0;
constexpr int lcSymbol = -102; // a symbol character not in the symbol list
constexpr int lcIdent = -103;  // identifier, or quoted identifier with its quotes
constexpr int lcNumber = -105;
constexpr int lcString = -106;
constexpr int lcBlank = -107;   // only when blanks are not omitted
constexpr int lcComment = -108; // only when comments are not omitted

// A character the lexer has no class for ("Parser: The unknown symbol '").
TABELLIX_EXCEPTION(EParserError, Exception);

// A table of lexems with their codes, sorted by the ordinal value of the
// upper-case entries and searched by bisection with ASCII letters folded.
class TLexemList {
public:
    struct Entry {
        std::string text;
        int code;
    };
    explicit TLexemList(std::vector<Entry> entries);

    // The code of text, or 0 when it is no entry.
    int Find(std::string_view text) const;
    const std::vector<Entry>& Entries() const { return FEntries; }

private:
    std::vector<Entry> FEntries;
};

// Positions count bytes of the UTF-8 text where the lexer's model counts
// characters. Every byte from 128 up is a letter, so a multi-byte character
// never splits a lexem: it stays whole inside an identifier, string or comment.
class TParser {
public:
    explicit TParser(std::string text);
    virtual ~TParser() = default;
    TParser(const TParser&) = delete;
    TParser& operator=(const TParser&) = delete;

    virtual std::string ClassName() const { return "TParser"; }

    // The shared lists of this class (built once, on first use).
    static const TLexemList& SymbolList();
    static const TLexemList& KeywordList();

    // Back to the first character and line 1.
    void ToBegin();
    // Reads the next lexem; returns its code (lcEnd with an empty lexem at
    // the end of the text). A control character outside any string,
    // identifier or comment raises EParserError.
    int GetNext(std::string& lexem);
    // Reads lexems up to one equal to lexem (ASCII letters folded); a
    // string lexem never matches. False when the text ended first.
    bool ToLexem(std::string_view lexem);

    // 0-based offset of the next byte to read.
    int CurrPos() const { return static_cast<int>(FPos); }
    // 0-based offset where the last lexem began.
    int PrevPos() const { return static_cast<int>(FLexemPos); }
    // 1-based line of the next byte (a CR LF pair counts once).
    int CurrLine() const { return FCurrLine; }
    // 0-based offset of the next byte within its line.
    int CurrCol() const { return static_cast<int>(FPos - FCurrBegLine); }
    // True when the last lexem came from the keyword list.
    bool LexemIsKeyword() const { return FLexemIsKeyword; }

    const std::string& Text() const { return FText; }
    int TextLength() const { return static_cast<int>(FText.size()); }

    bool OmitBlank() const { return FOmitBlank; }
    void SetOmitBlank(bool value) { FOmitBlank = value; }
    bool OmitComment() const { return FOmitComment; }
    void SetOmitComment(bool value) { FOmitComment = value; }
    bool Uppered() const { return FUppered; }
    void SetUppered(bool value) { FUppered = value; }
    bool QuotedString() const { return FQuotedString; }
    void SetQuotedString(bool value) { FQuotedString = value; }
    bool OmitKeywords() const { return FOmitKeywords; }
    void SetOmitKeywords(bool value) { FOmitKeywords = value; }
    const std::string& DecSeparator() const { return FDecSeparator; }
    void SetDecSeparator(std::string value) { FDecSeparator = std::move(value); }

protected:
    TParser(std::string text, const TLexemList& symbols, const TLexemList& keywords);

    // Character classes; c is one byte of the text.
    virtual bool IsBlank(unsigned char c) const;
    virtual bool IsSymbol(unsigned char c) const;
    virtual bool IsAlpha(unsigned char c) const;
    virtual bool IsNumber(unsigned char c) const;
    virtual bool IsStringQuote(unsigned char c) const;
    virtual bool IsIdentQuote(unsigned char c) const;
    // Whether a line comment starts at pos.
    virtual bool IsInlineComment(size_t pos) const;
    // The offset just past the closing quote of the quoted run that opens
    // at pos, or std::string::npos when the text ends first.
    virtual size_t SkipQuoted(size_t pos, char quote) const;

    // True when marker starts at pos and at least one more byte follows it.
    bool MarkerWithMore(size_t pos, std::string_view marker) const;

private:
    size_t CommentEndAt(size_t pos) const;
    void Advance(size_t to);
    int ReadLexem(std::string& lexem);
    int ReadQuoted(std::string& lexem, bool keepQuotes, int code);
    int ReadIdent(std::string& lexem);
    int ReadNumber(std::string& lexem);
    [[noreturn]] void UnknownSymbol(unsigned char c) const;

    std::string FText;
    size_t FPos = 0;
    bool FOmitBlank = true;
    bool FOmitComment = false;
    bool FUppered = true;
    bool FQuotedString = false;
    bool FOmitKeywords = false;
    const TLexemList* FSymbolLexems;
    const TLexemList* FKeywordLexems;
    std::string CommentBegin = "/*";
    std::string CommentEnd = "*/";
    std::string FDecSeparator;
    size_t FLexemPos = 0;
    bool FLexemIsKeyword = false;
    int FCurrLine = 1;
    size_t FCurrBegLine = 0;
};

// A parser class reference: makes a lexer of that class over a text.
using TParserClass = std::unique_ptr<TParser> (*)(std::string text);

// The generic SQL lexer: "#" and "$" are letters, only "'" quotes strings,
// `"` quotes identifiers, "--" opens a line comment.
class TSQLParser : public TParser {
public:
    explicit TSQLParser(std::string text);
    std::string ClassName() const override { return "TSQLParser"; }

    static const TLexemList& SymbolList();
    static const TLexemList& KeywordList();
    static std::unique_ptr<TParser> Create(std::string text);

protected:
    TSQLParser(std::string text, const TLexemList& keywords);

    bool IsAlpha(unsigned char c) const override;
    bool IsStringQuote(unsigned char c) const override;
    bool IsIdentQuote(unsigned char c) const override;
    bool IsInlineComment(size_t pos) const override;
};

} // namespace tabellix
