// The unified-SQL pass: brace escapes ({fn ...}, {date ...}, {if ...},
// macros), double-quoted identifiers and "--" comments rewritten for the
// provider, everything else copied byte for byte.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace tabellix {

class TUniSqlFormatter {
public:
    TUniSqlFormatter() = default;
    virtual ~TUniSqlFormatter() = default;
    virtual std::string ClassName() const { return "TUniSqlFormatter"; }

    // The expanded text; a malformed escape raises Exception with its message.
    std::string Expand(const std::string& text) const;

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
