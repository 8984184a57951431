#include "base/Variant.h"

#include "base/Exception.h"
#include "base/Format.h"
#include "base/Text.h"

#include <cmath>
#include <utility>

namespace tabellix {

Variant Variant::Null() {
    Variant v;
    v.FValue = NullTag{};
    return v;
}

const char* Variant::TypeName(VarType type) {
    switch (type) {
    case VarType::Empty:
        return "Empty";
    case VarType::Null:
        return "Null";
    case VarType::Boolean:
        return "Boolean";
    case VarType::Integer:
        return "Integer";
    case VarType::Int64:
        return "Int64";
    case VarType::Double:
        return "Double";
    case VarType::String:
        return "OleStr";
    case VarType::Bytes:
        return "Array Byte";
    case VarType::Currency:
        return "Currency";
    case VarType::Date:
        return "Date";
    case VarType::Error:
        return "Error";
    }
    return "Unknown";
}

void VarCastError(VarType from, const char* to) {
    throw EConvertError(Format("Could not convert variant of type (%s) into type (%s)",
                               {Variant::TypeName(from), to}));
}

bool Variant::AsBoolean() const {
    switch (Type()) {
    case VarType::Empty:
        return false;
    case VarType::Boolean:
        return Get<bool>();
    case VarType::Integer:
        return Get<int32_t>() != 0;
    case VarType::Int64:
        return Get<int64_t>() != 0;
    case VarType::Double:
        return Get<double>() != 0;
    case VarType::Currency:
        return Get<VarCurrency>().scaled != 0;
    case VarType::String: {
        const std::string& s = Get<std::string>();
        if (SameText(s, "True"))
            return true;
        if (SameText(s, "False"))
            return false;
        if (auto n = TryStrToInt64(s))
            return *n != 0;
        break;
    }
    default:
        break;
    }
    VarCastError(Type(), "Boolean");
}

int64_t Variant::AsInt64() const {
    auto fromDouble = [this](double d) {
        if (!std::isfinite(d) || std::fabs(d) >= 9.2e18)
            VarCastError(Type(), "Int64");
        return static_cast<int64_t>(std::nearbyint(d));
    };
    switch (Type()) {
    case VarType::Empty:
        return 0;
    case VarType::Boolean:
        return Get<bool>() ? -1 : 0;
    case VarType::Integer:
        return Get<int32_t>();
    case VarType::Int64:
        return Get<int64_t>();
    case VarType::Double:
        return fromDouble(Get<double>());
    case VarType::Date:
        return fromDouble(Get<VarDate>().serial);
    case VarType::Currency:
        return fromDouble(static_cast<double>(Get<VarCurrency>().scaled) / 10000.0);
    case VarType::String:
        if (auto n = TryStrToInt64(Get<std::string>()))
            return *n;
        break;
    default:
        break;
    }
    VarCastError(Type(), "Int64");
}

int32_t Variant::AsInteger() const {
    if (Type() == VarType::Integer)
        return Get<int32_t>();
    if (Type() == VarType::String) {
        if (auto n = TryStrToInt(Get<std::string>()))
            return *n;
        VarCastError(Type(), "Integer");
    }
    if (Type() == VarType::Null || Type() == VarType::Error || Type() == VarType::Bytes)
        VarCastError(Type(), "Integer");
    int64_t v = AsInt64();
    if (v < INT32_MIN || v > INT32_MAX)
        VarCastError(Type(), "Integer");
    return static_cast<int32_t>(v);
}

double Variant::AsDouble() const {
    switch (Type()) {
    case VarType::Empty:
        return 0;
    case VarType::Boolean:
        return Get<bool>() ? -1 : 0;
    case VarType::Integer:
        return Get<int32_t>();
    case VarType::Int64:
        return static_cast<double>(Get<int64_t>());
    case VarType::Double:
        return Get<double>();
    case VarType::Date:
        return Get<VarDate>().serial;
    case VarType::Currency:
        return static_cast<double>(Get<VarCurrency>().scaled) / 10000.0;
    case VarType::String: {
        const std::string& s = Get<std::string>();
        char* end = nullptr;
        double d = std::strtod(s.c_str(), &end);
        if (!s.empty() && end == s.c_str() + s.size())
            return d;
        break;
    }
    default:
        break;
    }
    VarCastError(Type(), "Double");
}

std::string Variant::AsString(const TFormatSettings& settings) && {
    if (Type() == VarType::String)
        return std::move(std::get<std::string>(FValue));
    return std::as_const(*this).AsString(settings);
}

std::string Variant::AsString(const TFormatSettings& settings) const& {
    switch (Type()) {
    case VarType::Empty:
        return {};
    case VarType::Boolean:
        return Get<bool>() ? "True" : "False";
    case VarType::Integer:
        return std::to_string(Get<int32_t>());
    case VarType::Int64:
        return std::to_string(Get<int64_t>());
    case VarType::Double:
        return settings.FloatToStr(Get<double>());
    case VarType::String:
        return Get<std::string>();
    case VarType::Bytes: {
        const auto& b = Get<std::vector<uint8_t>>();
        return std::string(b.begin(), b.end());
    }
    case VarType::Currency:
        return settings.CurrToStr(Get<VarCurrency>().scaled);
    case VarType::Date:
        return settings.DateTimeToStr(Get<VarDate>().serial);
    default:
        break;
    }
    VarCastError(Type(), "OleStr");
}

std::vector<uint8_t> Variant::AsBytes() const {
    if (Type() == VarType::Bytes)
        return Get<std::vector<uint8_t>>();
    if (Type() == VarType::String) {
        const std::string& s = Get<std::string>();
        return std::vector<uint8_t>(s.begin(), s.end());
    }
    VarCastError(Type(), "Array Byte");
}

} // namespace tabellix
