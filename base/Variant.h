// The tagged value that crosses component boundaries: empty, Null, boolean,
// integers, floating point, text, bytes, and the kinds a workbook cell can
// hold beside those (currency, date, error).
#pragma once

#include "base/FormatSettings.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace tabellix {

enum class VarType {
    Empty,
    Null,
    Boolean,
    Integer,
    Int64,
    Double,
    String,
    Bytes,
    Currency,
    Date,
    Error
};

// A currency amount in units of 1/10000, as the spreadsheet keeps it.
struct VarCurrency {
    int64_t scaled = 0;
    bool operator==(const VarCurrency&) const = default;
};
// A serial date-time: days since 1899-12-30, the fraction the time of day.
struct VarDate {
    double serial = 0;
    bool operator==(const VarDate&) const = default;
};
// A cell error, with its code text ("#N/A", "#DIV/0!", ...).
struct VarError {
    std::string text;
    bool operator==(const VarError&) const = default;
};

class Variant {
public:
    Variant() = default;
    static Variant Null();
    Variant(bool v) : FValue(v) {}
    Variant(int32_t v) : FValue(v) {}
    Variant(int64_t v) : FValue(v) {}
    Variant(double v) : FValue(v) {}
    Variant(std::string v) : FValue(std::move(v)) {}
    Variant(const char* v) : FValue(std::string(v)) {}
    Variant(std::vector<uint8_t> v) : FValue(std::move(v)) {}
    Variant(VarCurrency v) : FValue(v) {}
    Variant(VarDate v) : FValue(v) {}
    Variant(VarError v) : FValue(std::move(v)) {}

    VarType Type() const { return static_cast<VarType>(FValue.index()); }
    bool IsEmpty() const { return Type() == VarType::Empty; }
    bool IsNull() const { return Type() == VarType::Null; }
    // The type's name as conversion errors give it ("Error", "OleStr", ...).
    static const char* TypeName(VarType type);

    // Conversions; a value that cannot be converted raises EConvertError
    // "Could not convert variant of type (%s) into type (%s)".
    bool AsBoolean() const;
    int32_t AsInteger() const;
    int64_t AsInt64() const;
    double AsDouble() const;
    std::string AsString(const TFormatSettings& settings = TFormatSettings::Default()) const&;
    // The same, moving a string value out instead of copying it.
    std::string AsString(const TFormatSettings& settings = TFormatSettings::Default()) &&;
    std::vector<uint8_t> AsBytes() const;

    // Direct access for callers that switched on Type().
    template <class T> const T& Get() const { return std::get<T>(FValue); }

    bool operator==(const Variant&) const = default;

private:
    struct NullTag {
        bool operator==(const NullTag&) const = default;
    };
    std::variant<std::monostate, NullTag, bool, int32_t, int64_t, double, std::string,
                 std::vector<uint8_t>, VarCurrency, VarDate, VarError>
        FValue;
};

// The conversion error for a variant of type from that cannot become to.
[[noreturn]] void VarCastError(VarType from, const char* to);

} // namespace tabellix
