#include "automation/NumberFormat.h"

#include "automation/SerialDate.h"

#include <array>
#include <string>

namespace tabellix {

namespace {

bool IsDateLetter(char c) {
    switch (c | 0x20) {
    case 'y':
    case 'm':
    case 'd':
    case 'h':
    case 's':
        return true;
    default:
        return false;
    }
}

// Signs that mark an amount of money wherever they stand in a code.
constexpr std::array<std::string_view, 17> kCurrencySigns = {"$",
                                                             "\xE2\x82\xAC",
                                                             "\xC2\xA3",
                                                             "\xC2\xA5",
                                                             "\xC2\xA2",
                                                             "\xE2\x82\xB9",
                                                             "\xE2\x82\xBD",
                                                             "\xE2\x82\xA9",
                                                             "\xE2\x82\xAA",
                                                             "\xE2\x82\xAB",
                                                             "\xE2\x82\xBA",
                                                             "\xE2\x82\xB4",
                                                             "\xE2\x82\xA6",
                                                             "\xE2\x82\xB1",
                                                             "\xE0\xB8\xBF",
                                                             "\xE2\x82\xA3",
                                                             "\xE2\x82\xA1"};

// Currency abbreviations written as quoted text ("kr", "z\u0142", ...).
constexpr std::array<std::string_view, 12> kQuotedCurrencies = {
    "kr", "kr.", "z\xC5\x82", "K\xC4\x8D", "Ft", "lei", "CHF", "Fr.", "R$", "Rp", "RM", "Lt"};

bool HasCurrencySign(std::string_view text) {
    for (std::string_view sign : kCurrencySigns)
        if (text.find(sign) != std::string_view::npos)
            return true;
    return false;
}

bool IsQuotedCurrency(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (HasCurrencySign(text))
        return true;
    for (std::string_view name : kQuotedCurrencies)
        if (text == name)
            return true;
    return false;
}

// A bracket section: elapsed time ([h], [mm], [ss]) or a [$sym-locale] part.
void ClassifyBracket(std::string_view inner, bool& date, bool& currency) {
    if (!inner.empty() && inner.front() == '$') {
        const auto dash = inner.find('-');
        std::string_view symbol =
            inner.substr(1, dash == std::string_view::npos ? inner.npos : dash - 1);
        if (!symbol.empty())
            currency = true;
        return;
    }
    if (inner.empty())
        return;
    const char first = static_cast<char>(inner.front() | 0x20);
    if (first != 'h' && first != 'm' && first != 's')
        return;
    for (char c : inner)
        if ((c | 0x20) != first)
            return;
    date = true;
}

bool StartsWithNoCase(std::string_view rest, std::string_view lower) {
    if (rest.size() < lower.size())
        return false;
    for (size_t i = 0; i < lower.size(); ++i)
        if ((rest[i] | 0x20) != lower[i])
            return false;
    return true;
}

size_t CurrencySignAt(std::string_view rest) {
    for (std::string_view sign : kCurrencySigns)
        if (rest.starts_with(sign))
            return sign.size();
    return 0;
}

} // namespace

TNumberClass ClassifyFormatCode(std::string_view code) {
    bool date = false;
    bool currency = false;
    size_t i = 0;
    while (i < code.size()) {
        const char c = code[i];
        if (c == '"') {
            const auto end = code.find('"', i + 1);
            const auto stop = end == std::string_view::npos ? code.size() : end;
            if (IsQuotedCurrency(code.substr(i + 1, stop - i - 1)))
                currency = true;
            i = stop + 1;
        } else if (c == '\\' || c == '_' || c == '*') {
            // An escaped character, a space the width of one, or a fill one.
            i += 2;
        } else if (c == '[') {
            const auto end = code.find(']', i + 1);
            const auto stop = end == std::string_view::npos ? code.size() : end;
            ClassifyBracket(code.substr(i + 1, stop - i - 1), date, currency);
            i = stop + 1;
        } else if (StartsWithNoCase(code.substr(i), "general")) {
            // Its letters are no date tokens.
            i += 7;
        } else if (IsDateLetter(c) || StartsWithNoCase(code.substr(i), "a/p")) {
            date = true;
            ++i;
        } else if (const size_t sign = CurrencySignAt(code.substr(i))) {
            currency = true;
            i += sign;
        } else {
            ++i;
        }
    }
    if (date)
        return TNumberClass::Date;
    return currency ? TNumberClass::Currency : TNumberClass::Number;
}

TNumberClass ClassifyBuiltinFormat(int id) {
    if ((id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
        (id >= 50 && id <= 58))
        return TNumberClass::Date;
    if ((id >= 5 && id <= 8) || id == 42 || id == 44)
        return TNumberClass::Currency;
    return TNumberClass::Number;
}

void SetClassifiedNumber(TSheet& sheet, int row, int column, double number, TNumberClass kind,
                         bool date1904) {
    // The largest serial the application still shows as a date (31/12/9999).
    constexpr double kLastDateSerial = 2958466;
    switch (kind) {
    case TNumberClass::Date:
        if (number >= 0 && number < kLastDateSerial)
            return sheet.SetDate(row, column, AutomationDate(number, date1904));
        break;
    case TNumberClass::Currency:
        return sheet.SetCurrency(row, column, number);
    case TNumberClass::Number:
        break;
    }
    sheet.SetNumber(row, column, number);
}

TNumberClass TFormatTable::Classify(int id) const {
    const auto it = FCustom.find(id);
    return it != FCustom.end() ? it->second : ClassifyBuiltinFormat(id);
}

} // namespace tabellix
