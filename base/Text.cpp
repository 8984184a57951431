#include "base/Text.h"

#include "base/Exception.h"
#include "base/Format.h"

#include <mutex>
#include <unicode/locid.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>

namespace tabellix {

std::string UnicodeLower(std::string_view text) {
    std::string out;
    icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())))
        .toLower(icu::Locale::getRoot())
        .toUTF8String(out);
    return out;
}

std::string UnicodeUpper(std::string_view text) {
    std::string out;
    icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())))
        .toUpper(icu::Locale::getRoot())
        .toUTF8String(out);
    return out;
}

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return out;
}

std::string AsciiUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    return out;
}

int CompareText(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z')
            x += 32;
        if (y >= 'A' && y <= 'Z')
            y += 32;
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareText(a, b) == 0;
}

namespace {

void AppendHex(std::string& out, unsigned char byte) {
    out += "\\x";
    out += "0123456789abcdef"[byte >> 4];
    out += "0123456789abcdef"[byte & 15];
}

} // namespace

std::string EscapeControls(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool c1 = byte == 0xC2 && i + 1 < text.size() &&
                        static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if (c1) {
            AppendHex(out, byte);
            AppendHex(out, static_cast<unsigned char>(text[++i]));
        } else if ((byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') || byte == 0x7F) {
            AppendHex(out, byte);
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string Trim(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ')
        --e;
    return std::string(text.substr(b, e - b));
}

std::string TrimRight(std::string_view text) {
    size_t e = text.size();
    while (e > 0 && static_cast<unsigned char>(text[e - 1]) <= ' ')
        --e;
    return std::string(text.substr(0, e));
}

namespace {

std::optional<int64_t> ParseInteger(std::string_view text, int64_t max) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    } else if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' &&
               (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        return std::nullopt;
    // The magnitude limit allows the one value whose negation is the minimum.
    uint64_t limit = negative ? static_cast<uint64_t>(max) + 1 : static_cast<uint64_t>(max);
    uint64_t value = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        value = value * base + digit;
        if (value > limit)
            return std::nullopt;
    }
    return negative ? static_cast<int64_t>(0 - value) : static_cast<int64_t>(value);
}

[[noreturn]] void InvalidInteger(std::string_view text) {
    throw EConvertError(Format("''%s'' is not a valid integer value", {std::string(text)}));
}

} // namespace

std::optional<int32_t> TryStrToInt(std::string_view text) {
    auto v = ParseInteger(text, INT32_MAX);
    if (!v)
        return std::nullopt;
    return static_cast<int32_t>(*v);
}

std::optional<int64_t> TryStrToInt64(std::string_view text) {
    return ParseInteger(text, INT64_MAX);
}

int32_t StrToInt(std::string_view text) {
    auto v = TryStrToInt(text);
    if (!v)
        InvalidInteger(text);
    return *v;
}

int64_t StrToInt64(std::string_view text) {
    auto v = TryStrToInt64(text);
    if (!v)
        InvalidInteger(text);
    return *v;
}

struct AnsiCodePage::Impl {
    std::mutex lock;
    UConverter* converter = nullptr;
};

namespace {

bool IsUtf8Name(const std::string& name) {
    return SameText(name, "UTF-8") || SameText(name, "UTF8");
}

// A bare C locale reports plain ASCII; on Linux desktops text is UTF-8, so
// that is what such a process is taken to use.
std::string SystemCharsetName() {
    std::string name = ucnv_getDefaultName();
    if (SameText(name, "US-ASCII") || SameText(name, "ANSI_X3.4-1968") || SameText(name, "ASCII"))
        return "UTF-8";
    return name;
}

} // namespace

const AnsiCodePage& AnsiCodePage::System() {
    static const AnsiCodePage page(SystemCharsetName());
    return page;
}

AnsiCodePage::AnsiCodePage(std::string name)
    : FName(std::move(name)), FUtf8(IsUtf8Name(FName)), FImpl(std::make_unique<Impl>()) {
    if (FUtf8)
        return;
    UErrorCode status = U_ZERO_ERROR;
    FImpl->converter = ucnv_open(FName.c_str(), &status);
    if (U_FAILURE(status))
        throw EArgumentException("Unknown code page \"" + FName + "\"");
    status = U_ZERO_ERROR;
    ucnv_setSubstChars(FImpl->converter, "?", 1, &status);
}

AnsiCodePage::~AnsiCodePage() {
    if (FImpl && FImpl->converter)
        ucnv_close(FImpl->converter);
}

std::string AnsiCodePage::FromUtf8(std::string_view text) const {
    if (FUtf8)
        return std::string(text);
    icu::UnicodeString u = icu::UnicodeString::fromUTF8(
        icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    std::lock_guard guard(FImpl->lock);
    UErrorCode status = U_ZERO_ERROR;
    int32_t need =
        ucnv_fromUChars(FImpl->converter, nullptr, 0, u.getBuffer(), u.length(), &status);
    std::string out(static_cast<size_t>(need), '\0');
    status = U_ZERO_ERROR;
    ucnv_fromUChars(FImpl->converter, out.data(), need, u.getBuffer(), u.length(), &status);
    return out;
}

std::string AnsiCodePage::ToUtf8(std::string_view bytes) const {
    if (FUtf8)
        return std::string(bytes);
    std::lock_guard guard(FImpl->lock);
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString u(bytes.data(), static_cast<int32_t>(bytes.size()), FImpl->converter,
                         status);
    std::string out;
    u.toUTF8String(out);
    return out;
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace tabellix
