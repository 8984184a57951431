// The one format routine for message texts: "%s", "%d", "%u", "%x"/"%X",
// "%f", "%g", "%%", with optional index ("%0:s"), left justification,
// width and precision ("%-.64s", "%.2d").
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace tabellix {

class FormatArg {
public:
    FormatArg(int v) : FValue(static_cast<int64_t>(v)) {}
    FormatArg(long v) : FValue(static_cast<int64_t>(v)) {}
    FormatArg(long long v) : FValue(static_cast<int64_t>(v)) {}
    FormatArg(unsigned v) : FValue(static_cast<uint64_t>(v)) {}
    FormatArg(unsigned long v) : FValue(static_cast<uint64_t>(v)) {}
    FormatArg(unsigned long long v) : FValue(static_cast<uint64_t>(v)) {}
    FormatArg(double v) : FValue(v) {}
    FormatArg(const char* v) : FValue(std::string(v)) {}
    FormatArg(std::string v) : FValue(std::move(v)) {}
    FormatArg(std::string_view v) : FValue(std::string(v)) {}

    const std::variant<int64_t, uint64_t, double, std::string>& Value() const { return FValue; }

private:
    std::variant<int64_t, uint64_t, double, std::string> FValue;
};

// Fills the placeholders of fmt from args. A placeholder that does not fit
// its argument, or an argument missing, raises EConvertError.
std::string Format(std::string_view fmt, std::initializer_list<FormatArg> args = {});

} // namespace tabellix
