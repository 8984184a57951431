#include "engine/typed_values.h"

#include "base/CivilDate.h"
#include "base/Text.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <string_view>
#include <utility>

namespace tabellix {
namespace {

struct TFormName {
    const char* word;
    TValueForm form;
};

constexpr TFormName kForms[] = {
    {"TINYINT", TValueForm::Number},     {"SMALLINT", TValueForm::Number},
    {"MEDIUMINT", TValueForm::Number},   {"INT", TValueForm::Number},
    {"INTEGER", TValueForm::Number},     {"BIGINT", TValueForm::Number},
    {"DECIMAL", TValueForm::Number},     {"DEC", TValueForm::Number},
    {"NUMERIC", TValueForm::Number},     {"FIXED", TValueForm::Number},
    {"FLOAT", TValueForm::Number},       {"DOUBLE", TValueForm::Number},
    {"REAL", TValueForm::Number},        {"BIT", TValueForm::Bit},
    {"BOOL", TValueForm::Number},        {"BOOLEAN", TValueForm::Number},
    {"DATE", TValueForm::Date},          {"DATETIME", TValueForm::DateTime},
    {"TIMESTAMP", TValueForm::DateTime}, {"TIME", TValueForm::Time},
    {"YEAR", TValueForm::Year},
};

constexpr int64_t kMsPerDay = 86400000;

// A number text as the server reads a numeric literal: an optional "-",
// digits, an optional fraction, an optional exponent.
bool IsNumericLiteral(std::string_view text) {
    size_t i = text.starts_with('-') ? 1 : 0;
    auto digits = [&] {
        const size_t from = i;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
            ++i;
        return i > from;
    };
    if (!digits())
        return false;
    if (i < text.size() && text[i] == '.' && (++i, !digits()))
        return false;
    if (i < text.size() && text[i] == 'E') {
        ++i;
        if (i < text.size() && text[i] == '-')
            ++i;
        if (!digits())
            return false;
    }
    return i == text.size();
}

// A locale number text with "." for the locale's decimal separator (the
// texts have no grouping), quoted like every value, or bare for a BIT
// column.
TInsertValue NumberLiteral(std::string text, bool bare, const TFormatSettings& settings) {
    text = with_decimal_point(std::move(text), settings.DecimalSeparator());
    if (bare && IsNumericLiteral(text))
        return TInsertValue::Bare(std::move(text));
    return TInsertValue(std::move(text));
}

std::optional<TInsertValue> NumberValue(const Variant& value, bool bare,
                                        const TFormatSettings& settings) {
    switch (value.Type()) {
    case VarType::Double:
        return NumberLiteral(settings.FloatToStr(value.Get<double>()), bare, settings);
    case VarType::Currency:
        return NumberLiteral(settings.CurrToStr(value.Get<VarCurrency>().scaled), bare, settings);
    case VarType::Integer:
    case VarType::Int64:
        return NumberLiteral(std::to_string(value.AsInt64()), bare, settings);
    case VarType::Boolean:
        return NumberLiteral(value.Get<bool>() ? "1" : "0", bare, settings);
    default:
        return std::nullopt;
    }
}

// The day as "YYYY-MM-DD", or its year alone as "YYYY".
std::string DateText(int64_t day, bool yearOnly = false) {
    int year = 0, month = 0, dayOfMonth = 0;
    CivilFromSerial(day, year, month, dayOfMonth);
    char buffer[32];
    if (yearOnly)
        std::snprintf(buffer, sizeof buffer, "%04d", year);
    else
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", year, month, dayOfMonth);
    return buffer;
}

// Hours, minutes and seconds of ms milliseconds, then the fraction of a
// second when there is one.
std::string ClockText(int64_t ms) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%02lld:%02lld:%02lld",
                  static_cast<long long>(ms / 3600000), static_cast<long long>(ms / 60000 % 60),
                  static_cast<long long>(ms / 1000 % 60));
    std::string text = buffer;
    if (ms % 1000 != 0) {
        std::snprintf(buffer, sizeof buffer, ".%03lld", static_cast<long long>(ms % 1000));
        text += buffer;
        while (text.back() == '0')
            text.pop_back();
    }
    return text;
}

std::string DateValue(TValueForm form, double serial) {
    const TDayTime split = split_serial(serial);
    switch (form) {
    case TValueForm::Date:
        return DateText(split.day);
    case TValueForm::DateTime:
        return DateText(split.day) + " " + ClockText(split.ms);
    case TValueForm::Year:
        return DateText(split.day, true);
    default: {
        // A duration: the whole serial in hours, past 24 when it is longer.
        const int64_t total = std::llround(serial * kMsPerDay);
        return (total < 0 ? "-" : "") + ClockText(total < 0 ? -total : total);
    }
    }
}

} // namespace

TInsertValue TInsertValue::Bare(std::string literal) {
    TInsertValue value(std::move(literal));
    value.Kind = TKind::Bare;
    return value;
}

TInsertValue TInsertValue::Null() {
    TInsertValue value;
    value.Kind = TKind::Null;
    return value;
}

TValueForm value_form(const std::string& typeText) {
    size_t end = 0;
    while (end < typeText.size() && std::isalpha(static_cast<unsigned char>(typeText[end])))
        ++end;
    const std::string_view word = std::string_view(typeText).substr(0, end);
    for (const TFormName& name : kForms)
        if (SameText(word, name.word))
            return name.form;
    return TValueForm::CellText;
}

std::optional<TInsertValue> typed_value(TValueForm form, const Variant& value,
                                        const TFormatSettings& settings) {
    if (form == TValueForm::CellText)
        return std::nullopt;
    // An empty text is an empty cell: '' would be refused by a number or
    // date column.
    if (value.IsEmpty() || value.IsNull() ||
        (value.Type() == VarType::String && value.Get<std::string>().empty()))
        return TInsertValue::Null();
    if (form == TValueForm::Number || form == TValueForm::Bit)
        return NumberValue(value, form == TValueForm::Bit, settings);
    if (value.Type() == VarType::Date)
        return TInsertValue(DateValue(form, value.Get<VarDate>().serial));
    return std::nullopt;
}

std::string cell_text(Variant value, const TFormatSettings& settings) {
    if (value.IsNull())
        return {};
    return std::move(value).AsString(settings);
}

TInsertValue insert_value(TValueForm form, Variant value, const TFormatSettings& settings) {
    if (auto typed = typed_value(form, value, settings))
        return std::move(*typed);
    return cell_text(std::move(value), settings);
}

std::string with_decimal_point(std::string text, const std::string& separator) {
    if (separator != ".")
        for (size_t at = text.find(separator); at != std::string::npos;
             at = text.find(separator, at + 1))
            text.replace(at, separator.size(), ".");
    return text;
}

TDayTime split_serial(double serial) {
    double day = std::trunc(serial);
    int64_t ms = std::llround(std::fabs(serial - day) * kMsPerDay);
    if (ms >= kMsPerDay) {
        ms -= kMsPerDay;
        day += serial < 0 ? -1 : 1;
    }
    return {static_cast<int64_t>(day), ms};
}

} // namespace tabellix
