// Arbitrary bytes through the three lexers and the parameter scan on both
// SQL lexers: every lexem moves on, the lexems rebuild the text, and the scan
// keeps every byte outside the markers it replaces.
#include "crbase/CRAccess.h"
#include "crbase/MyParserUni.h"
#include "tests/crbase/TestProviders.h"

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace tabellix;

void Check(bool condition) {
    if (!condition)
        std::abort();
}

void CheckLexer(TParser& parser) {
    parser.SetOmitBlank(false);
    parser.SetQuotedString(true);
    parser.SetUppered(false);
    std::string rebuilt;
    std::string lexem;
    try {
        for (;;) {
            int before = parser.CurrPos();
            if (parser.GetNext(lexem) == lcEnd)
                break;
            Check(parser.PrevPos() == before && parser.CurrPos() > before);
            rebuilt += lexem;
        }
    } catch (const EParserError&) {
        return;
    }
    Check(rebuilt == parser.Text());
}

// Remembers the input span of each marker that named a parameter.
template <class Command> class SpanCommand : public Command {
public:
    bool ParseSQLParam(std::string& result, TParser& parser, TParamDescs* params) override {
        int colon = parser.CurrPos() - 1;
        bool named = Command::ParseSQLParam(result, parser, params);
        if (named)
            spans.emplace_back(colon, parser.CurrPos());
        return named;
    }
    std::vector<std::pair<int, int>> spans;
};

template <class Command> void CheckScan(const std::string& text) {
    SpanCommand<Command> command;
    TParamDescs params;
    std::string output;
    try {
        output = command.ParseSQL(text, &params);
    } catch (const EParserError&) {
        return;
    }
    Check(params.size() == command.spans.size());
    std::string expected;
    int copied = 0;
    for (auto [from, to] : command.spans) {
        Check(text[static_cast<size_t>(from)] == ':' && from >= copied && to > from + 1);
        expected.append(text, static_cast<size_t>(copied), static_cast<size_t>(from - copied));
        expected += '?';
        copied = to;
    }
    expected.append(text, static_cast<size_t>(copied));
    Check(output == expected);
    Check(command.ParseSQL(text, nullptr) == text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    TParser base(text);
    CheckLexer(base);
    TSQLParser generic(text);
    CheckLexer(generic);
    TMyParser mysql(text);
    CheckLexer(mysql);
    CheckScan<test::GenericCommand>(text);
    CheckScan<test::MyCommand>(text);
    return 0;
}
