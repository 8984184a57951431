#include "engine/identifier_rules.h"

#include "base/Text.h"

#include <string_view>

namespace tabellix {
namespace {

constexpr std::string_view kLetters = "qwertyuiopasdfghjklzxcvbnm";
constexpr std::string_view kIdentifierChars = "qwertyuiopasdfghjklzxcvbnm0123456789_ ";

bool IsLetter(char c) {
    return kLetters.find(c) != std::string_view::npos;
}

// The first character of text, lower-cased with full case mapping, is a
// letter of the set. Every byte of a multi-byte character is 128 or above,
// so the first byte of the mapping decides.
bool StartsWithLetter(const std::string& text) {
    if (text.empty())
        return false;
    size_t len = 1;
    while (len < text.size() && (static_cast<unsigned char>(text[len]) & 0xC0) == 0x80)
        ++len;
    std::string first = UnicodeLower(std::string_view(text).substr(0, len));
    return !first.empty() && IsLetter(first[0]);
}

} // namespace

std::string spchar_filter(const std::string& text) {
    // Trimming happens before filtering, so a dropped character can leave a
    // space at either end that then becomes "_".
    std::string lower = UnicodeLower(Trim(text));
    std::string out;
    for (char c : lower) {
        if (kIdentifierChars.find(c) == std::string_view::npos)
            continue;
        out += c == ' ' ? '_' : c;
    }
    return out;
}

bool valid_start(const std::string& text) {
    return StartsWithLetter(text) && StartsWithLetter(spchar_filter(text));
}

bool isnumeric(const std::string& text) {
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

} // namespace tabellix
