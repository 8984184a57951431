#include "base/Format.h"

#include "base/Exception.h"

#include <cstdio>
#include <vector>

namespace tabellix {
namespace {

// One format directive: "%-.64s" is left-aligned text of at most 64 characters.
struct TDirective {
    bool left = false;
    int width = -1;
    int precision = -1;
    char type = 0;
};

[[noreturn]] void Invalid(std::string_view fmt) {
    throw EConvertError("Format '" + std::string(fmt) + "' invalid or incompatible with argument");
}

int ReadNumber(std::string_view fmt, size_t& i) {
    int n = 0;
    while (i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9') {
        n = n * 10 + (fmt[i] - '0');
        if (n > 100000)
            Invalid(fmt);
        ++i;
    }
    return n;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Counts UTF-8 characters so that a precision never cuts a sequence apart.
std::string TruncateChars(const std::string& s, int maxChars) {
    size_t i = 0;
    int chars = 0;
    while (i < s.size() && chars < maxChars) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80)
            ++i;
        ++chars;
    }
    return s.substr(0, i);
}

std::string Integer(const FormatArg& arg, const TDirective& directive, std::string_view fmt) {
    const auto& v = arg.Value();
    bool negative = false;
    uint64_t magnitude = 0;
    if (auto p = std::get_if<int64_t>(&v)) {
        negative = *p < 0;
        magnitude = negative ? 0 - static_cast<uint64_t>(*p) : static_cast<uint64_t>(*p);
    } else if (auto u = std::get_if<uint64_t>(&v)) {
        magnitude = *u;
    } else {
        Invalid(fmt);
    }
    char buffer[32];
    if (directive.type == 'x') {
        // Hexadecimal shows the two's complement of a negative 32-bit value.
        uint64_t bits = magnitude;
        if (negative) {
            int64_t s = std::get<int64_t>(v);
            bits = s >= INT32_MIN ? static_cast<uint32_t>(s) : static_cast<uint64_t>(s);
        }
        std::snprintf(buffer, sizeof buffer, "%llX", static_cast<unsigned long long>(bits));
        negative = false;
    } else {
        std::snprintf(buffer, sizeof buffer, "%llu", static_cast<unsigned long long>(magnitude));
    }
    std::string digits = buffer;
    if (directive.precision > 0 && static_cast<int>(digits.size()) < directive.precision)
        digits.insert(0, directive.precision - digits.size(), '0');
    return negative ? "-" + digits : digits;
}

std::string Floating(const FormatArg& arg, const TDirective& directive, std::string_view fmt) {
    const auto& v = arg.Value();
    double d = 0;
    if (auto p = std::get_if<double>(&v))
        d = *p;
    else if (auto i = std::get_if<int64_t>(&v))
        d = static_cast<double>(*i);
    else if (auto u = std::get_if<uint64_t>(&v))
        d = static_cast<double>(*u);
    else
        Invalid(fmt);
    char buffer[512];
    int precision =
        directive.precision >= 0 ? directive.precision : (directive.type == 'f' ? 2 : 15);
    std::snprintf(buffer, sizeof buffer, directive.type == 'f' ? "%.*f" : "%.*G", precision, d);
    return buffer;
}

std::string Text(const FormatArg& arg, const TDirective& directive, std::string_view fmt) {
    auto p = std::get_if<std::string>(&arg.Value());
    if (!p)
        Invalid(fmt);
    return directive.precision >= 0 ? TruncateChars(*p, directive.precision) : *p;
}

} // namespace

std::string Format(std::string_view fmt, std::initializer_list<FormatArg> args) {
    std::vector<const FormatArg*> list;
    for (const auto& a : args)
        list.push_back(&a);
    std::string out;
    size_t next = 0;
    size_t i = 0;
    while (i < fmt.size()) {
        char c = fmt[i++];
        if (c != '%') {
            out += c;
            continue;
        }
        if (i < fmt.size() && fmt[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        TDirective directive;
        size_t save = i;
        if (i < fmt.size() && IsDigit(fmt[i])) {
            int n = ReadNumber(fmt, i);
            if (i < fmt.size() && fmt[i] == ':') {
                next = static_cast<size_t>(n);
                ++i;
            } else {
                i = save;
            }
        }
        if (i < fmt.size() && fmt[i] == '-') {
            directive.left = true;
            ++i;
        }
        if (i < fmt.size() && IsDigit(fmt[i]))
            directive.width = ReadNumber(fmt, i);
        if (i < fmt.size() && fmt[i] == '.') {
            ++i;
            directive.precision = ReadNumber(fmt, i);
        }
        if (i >= fmt.size())
            Invalid(fmt);
        directive.type = static_cast<char>(fmt[i++] | 0x20);
        if (next >= list.size())
            Invalid(fmt);
        const FormatArg& arg = *list[next++];
        std::string piece;
        switch (directive.type) {
        case 'd':
        case 'u':
        case 'x':
            piece = Integer(arg, directive, fmt);
            break;
        case 'f':
        case 'g':
        case 'e':
            piece = Floating(arg, directive, fmt);
            break;
        case 's':
            piece = Text(arg, directive, fmt);
            break;
        default:
            Invalid(fmt);
        }
        if (directive.width > static_cast<int>(piece.size())) {
            std::string pad(directive.width - piece.size(), ' ');
            piece = directive.left ? piece + pad : pad + piece;
        }
        out += piece;
    }
    return out;
}

} // namespace tabellix
