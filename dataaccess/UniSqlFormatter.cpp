#include "dataaccess/UniSqlFormatter.h"

#include "base/Exception.h"
#include "base/Format.h"
#include "base/Text.h"
#include "crbase/MyParserUni.h"

#include <string_view>

namespace tabellix {

TUniPassLexer::TUniPassLexer(const std::string& text) : TSQLParser(text) {
    SetOmitBlank(false);
    SetOmitComment(false);
    SetUppered(false);
}

int TUniPassLexer::Next(std::string& raw) {
    std::string lexem;
    const int code = GetNext(lexem);
    raw = Text().substr(static_cast<size_t>(PrevPos()), static_cast<size_t>(CurrPos() - PrevPos()));
    return code;
}

bool TUniPassLexer::IsName(int code) const {
    return code == lcIdent || LexemIsKeyword();
}

size_t TUniPassLexer::SkipQuoted(size_t pos, char quote) const {
    return SkipEscapedQuoted(Text(), pos, quote);
}

namespace {

struct TBraceEscape {
    std::string Name;
    std::string Body;
};

// After "{": the name, then "}" or a blank and the body up to the matching
// "}".
TBraceEscape ReadBraceEscape(TUniPassLexer& lexer) {
    TBraceEscape escape;
    std::string raw;
    if (!lexer.IsName(lexer.Next(raw)))
        throw Exception("Empty macro or function name");
    escape.Name = raw;
    int code = lexer.Next(raw);
    if (raw == "}")
        return escape;
    if (code != lcBlank)
        throw Exception("Unexpected character");
    const int bodyStart = lexer.CurrPos();
    for (int depth = 1;;) {
        if (lexer.Next(raw) == lcEnd)
            throw Exception("Unexpected character");
        depth += raw == "{" ? 1 : raw == "}" ? -1 : 0;
        if (depth == 0)
            break;
    }
    escape.Body = lexer.Text().substr(static_cast<size_t>(bodyStart),
                                      static_cast<size_t>(lexer.PrevPos() - bodyStart));
    return escape;
}

struct TFunctionCall {
    std::string Name;
    std::vector<std::string> Args;
};

TFunctionCall ReadFunctionCall(const std::string& body) {
    TUniPassLexer lexer(body);
    std::string raw;
    int code = lexer.Next(raw);
    if (code == lcBlank)
        code = lexer.Next(raw);
    if (!lexer.IsName(code))
        throw Exception("Empty function name");
    TFunctionCall call{raw, {}};
    code = lexer.Next(raw);
    if (code == lcEnd)
        return call;
    if (raw != "(")
        throw Exception("Unexpected character");
    int argStart = lexer.CurrPos();
    for (int depth = 1; depth > 0;) {
        if (lexer.Next(raw) == lcEnd)
            throw Exception("Invalid bracket count in function call");
        depth += raw == "(" ? 1 : raw == ")" ? -1 : 0;
        if ((raw == "," && depth == 1) || depth == 0) {
            call.Args.push_back(body.substr(static_cast<size_t>(argStart),
                                            static_cast<size_t>(lexer.PrevPos() - argStart)));
            argStart = lexer.CurrPos();
        }
    }
    if (call.Args.size() == 1 && Trim(call.Args[0]).empty())
        call.Args.clear();
    return call;
}

std::string FillTemplate(const std::string& format, const std::vector<std::string>& a) {
    switch (a.size()) {
    case 0:
        return format;
    case 1:
        return Format(format, {a[0]});
    case 2:
        return Format(format, {a[0], a[1]});
    default:
        return Format(format, {a[0], a[1], a[2]});
    }
}

} // namespace

// One run of the pass over a text, with its stack of open conditions.
class TUniSqlExpansion {
public:
    explicit TUniSqlExpansion(const TUniSqlFormatter& formatter) : F(formatter) {}

    std::string Run(const std::string& text) {
        TUniPassLexer lexer(text);
        std::string out, raw;
        for (int code; (code = lexer.Next(raw)) != lcEnd;) {
            if (raw == "{")
                Escape(ReadBraceEscape(lexer), out);
            else if (Active())
                out += Rewrite(code, raw);
        }
        if (!FConditions.empty())
            throw Exception("{if} statement not completed");
        return out;
    }

private:
    struct TCondition {
        bool Holds;
        bool SeenElse;
    };

    bool Active() const {
        for (const TCondition& c : FConditions)
            if (!c.Holds)
                return false;
        return true;
    }

    std::string Rewrite(int code, const std::string& raw) const {
        if (code == lcIdent && raw.size() > 1 && raw.front() == '"' && raw.back() == '"')
            return F.QuoteChar() + raw.substr(1, raw.size() - 2) + F.QuoteChar();
        if (code == lcComment && raw.rfind("--", 0) == 0 && raw.find("*/") == std::string::npos)
            return "/*" + raw.substr(2) + "*/";
        return raw;
    }

    void Escape(const TBraceEscape& escape, std::string& out) {
        const std::string name = AsciiUpper(escape.Name);
        const std::string body = TUniSqlExpansion(F).Run(escape.Body);
        if (name == "IF")
            FConditions.push_back({ConditionHolds(body), false});
        else if (name == "ELSE")
            Else();
        else if (name == "ENDIF")
            EndIf();
        else if (Active())
            out += Output(name, escape.Name, body);
    }

    bool ConditionHolds(const std::string& body) const {
        const std::string macro = AsciiUpper(Trim(body));
        return macro.empty() || F.FindMacro(macro) != nullptr;
    }

    void Else() {
        if (FConditions.empty() || FConditions.back().SeenElse)
            throw Exception("Unexpected {else}");
        FConditions.back().Holds = !FConditions.back().Holds;
        FConditions.back().SeenElse = true;
    }

    void EndIf() {
        if (FConditions.empty())
            throw Exception("Unexpected {endif}");
        FConditions.pop_back();
    }

    std::string Output(const std::string& name, const std::string& written,
                       const std::string& body) const {
        if (name == "FN")
            return Function(ReadFunctionCall(body));
        if (name == "DATE")
            return Literal(body, "__DATE_LITERAL",
                           "Invalid year-month-day string. The format is {date 'yyyy-mm-dd'}");
        if (name == "TIME")
            return Literal(body, "__TIME_LITERAL",
                           "Invalid hour-minute-second string. The format is {time 'hh:mm:ss'}");
        if (name == "TIMESTAMP")
            return Literal(body, "__DATE_TIME_LITERAL",
                           "Invalid timestamp string. The format is {timestamp 'yyyy-mm-dd "
                           "hh:mm:ss'}");
        const std::string* value = F.FindMacro(written);
        std::string output = value ? *value : std::string();
        if (!body.empty())
            output += " " + body;
        return TUniSqlExpansion(F).Run(output);
    }

    std::string Function(const TFunctionCall& call) const {
        const std::string* format = F.FindFunction(call.Name);
        if (!format) {
            std::string converted;
            if (F.ConvertFunction(call.Name, call.Args, converted))
                return converted;
            throw Exception(Format("Unknown function: %s", {call.Name}));
        }
        if (call.Args.size() > 3)
            throw Exception(Format("Wrong argument count for function: %s", {call.Name}));
        try {
            return FillTemplate(*format, call.Args);
        } catch (const EConvertError&) {
            // A template wanting more arguments than were given.
            throw Exception(Format("Wrong argument count for function: %s", {call.Name}));
        }
    }

    std::string Literal(const std::string& body, const char* function, const char* error) const {
        const std::string value = Trim(body);
        if (value.size() <= 1 || value.front() != '\'' || value.back() != '\'')
            throw Exception(error);
        return Format(*F.FindFunction(function), {value});
    }

    const TUniSqlFormatter& F;
    std::vector<TCondition> FConditions;
};

namespace {

// Only "{", "\"" and "--" can start a rewrite. Each search is one vector
// scan of the text, where a search for either of two characters would test
// every byte on its own.
bool MayNeedRewrite(std::string_view text) {
    return text.find('{') != std::string_view::npos || text.find('"') != std::string_view::npos ||
           text.find("--") != std::string_view::npos;
}

} // namespace

std::string TUniSqlFormatter::Expand(std::string text) const {
    // Statements without those characters, the transfer's inserts among
    // them, pass as they are.
    if (!MayNeedRewrite(text))
        return text;
    return TUniSqlExpansion(*this).Run(text);
}

void TUniSqlFormatter::SetUserMacros(std::vector<std::string> names,
                                     std::vector<std::string> values) {
    FUserMacroNames = std::move(names);
    FUserMacroValues = std::move(values);
}

bool TUniSqlFormatter::ConvertFunction(const std::string&, const std::vector<std::string>&,
                                       std::string&) const {
    return false;
}

void TUniSqlFormatter::AddFunction(const std::string& name, std::string format) {
    FFunctions[AsciiUpper(name)] = std::move(format);
}

void TUniSqlFormatter::AddPredefinedMacro(const std::string& name, std::string value) {
    FPredefinedMacros[AsciiUpper(name)] = std::move(value);
}

const std::string* TUniSqlFormatter::FindMacro(const std::string& name) const {
    for (size_t i = 0; i < FUserMacroNames.size() && i < FUserMacroValues.size(); ++i)
        if (SameText(FUserMacroNames[i], name))
            return &FUserMacroValues[i];
    auto it = FPredefinedMacros.find(AsciiUpper(name));
    return it == FPredefinedMacros.end() ? nullptr : &it->second;
}

const std::string* TUniSqlFormatter::FindFunction(const std::string& name) const {
    auto it = FFunctions.find(AsciiUpper(name));
    return it == FFunctions.end() ? nullptr : &it->second;
}

} // namespace tabellix
