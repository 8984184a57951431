// The unified-SQL pass: brace escapes ({fn ...}, {date ...}, {if ...},
// macros), double-quoted identifiers and "--" comments rewritten for the
// provider, everything else copied byte for byte.
#pragma once

#include "crbase/CRParser.h"

#include <map>
#include <string>
#include <vector>

namespace tabellix {

// The lexer of the text passes: the generic SQL lexer keeping blanks and
// comments, except that a backslash escapes the next character in a string,
// as the server reads it, so a value such as 'it\'s "x"' passes untouched.
class TUniPassLexer : public TSQLParser {
public:
    explicit TUniPassLexer(const std::string& text);
    // Reads the next lexem; raw is its exact text.
    int Next(std::string& raw);
    // An identifier or a keyword.
    bool IsName(int code) const;

protected:
    size_t SkipQuoted(size_t pos, char quote) const override;
};

class TUniSqlFormatter {
public:
    TUniSqlFormatter() = default;
    virtual ~TUniSqlFormatter() = default;
    virtual std::string ClassName() const { return "TUniSqlFormatter"; }

    // The expanded text; a malformed escape raises Exception with its message.
    std::string Expand(std::string text) const;

    // The connection's own macro table (checked before the predefined one).
    void SetUserMacros(std::vector<std::string> names, std::vector<std::string> values);

protected:
    // Identifier quote of the provider.
    virtual char QuoteChar() const { return '"'; }
    // A function the table does not hold that the provider writes itself;
    // false when it does not know it either.
    virtual bool ConvertFunction(const std::string& name, const std::vector<std::string>& args,
                                 std::string& result) const;
    // Names are kept upper-case.
    void AddFunction(const std::string& name, std::string format);
    void AddPredefinedMacro(const std::string& name, std::string value);

private:
    friend class TUniSqlExpansion;
    const std::string* FindMacro(const std::string& name) const;
    const std::string* FindFunction(const std::string& name) const;

    std::map<std::string, std::string> FFunctions;
    std::map<std::string, std::string> FPredefinedMacros;
    std::vector<std::string> FUserMacroNames;
    std::vector<std::string> FUserMacroValues;
};

} // namespace tabellix
