// Text helpers: case mapping, ASCII-folded comparison, integer parsing with
// the system's accepted forms, and the conversion between text and the
// bytes of the system's ANSI code page.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tabellix {

// Full Unicode case mapping (a character may map to several).
std::string UnicodeLower(std::string_view text);
std::string UnicodeUpper(std::string_view text);

// ASCII letters only; every other byte stays as it is.
std::string AsciiLower(std::string_view text);
std::string AsciiUpper(std::string_view text);
bool SameText(std::string_view a, std::string_view b);
int CompareText(std::string_view a, std::string_view b);

// text (UTF-8) with each control character but tab, line feed and carriage
// return written as "\x1b", the C1 controls (U+0080 to U+009F) as "\xc2\x9b",
// so that a peer's message cannot drive the terminal showing it.
std::string EscapeControls(std::string_view text);

// Removes leading and trailing characters with a code of 32 or less.
std::string Trim(std::string_view text);
std::string TrimRight(std::string_view text);

// Decimal value of a text: leading blanks, an optional "+" or "-", then
// decimal digits, or hexadecimal digits after "$", "x" or "0x". Anything
// else, or a value outside the type's range, fails.
std::optional<int32_t> TryStrToInt(std::string_view text);
std::optional<int64_t> TryStrToInt64(std::string_view text);
// As above; failure raises EConvertError "''%s'' is not a valid integer value".
int32_t StrToInt(std::string_view text);
int64_t StrToInt64(std::string_view text);

// Appends the UTF-8 bytes of one code point.
void AppendUtf8(std::string& out, uint32_t codePoint);

// A character set for the "ANSI" conversions. System() is the process
// locale's character set; tests can name a single-byte page instead.
// Characters the page cannot hold become "?".
class AnsiCodePage {
public:
    static const AnsiCodePage& System();
    explicit AnsiCodePage(std::string name);
    ~AnsiCodePage();
    AnsiCodePage(const AnsiCodePage&) = delete;
    AnsiCodePage& operator=(const AnsiCodePage&) = delete;

    const std::string& Name() const { return FName; }
    bool IsUtf8() const { return FUtf8; }
    std::string FromUtf8(std::string_view text) const;
    std::string ToUtf8(std::string_view bytes) const;

private:
    struct Impl;
    std::string FName;
    bool FUtf8 = false;
    std::unique_ptr<Impl> FImpl;
};

inline std::string TextToAnsi(std::string_view text,
                              const AnsiCodePage& page = AnsiCodePage::System()) {
    return page.FromUtf8(text);
}
inline std::string AnsiToText(std::string_view bytes,
                              const AnsiCodePage& page = AnsiCodePage::System()) {
    return page.ToUtf8(bytes);
}

} // namespace tabellix
