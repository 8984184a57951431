#include "base/FormatSettings.h"

#include "base/CivilDate.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <unicode/dcfmtsym.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unordered_map>
#include <vector>

namespace tabellix {

namespace {

// One piece of a numeric date pattern: a field letter ('d', 'M', 'y') with
// its width, or literal text (field 0).
struct TDatePiece {
    char field = 0;
    int width = 0;
    std::string literal;
};

} // namespace

struct TFormatSettings::Formatters {
    std::mutex lock;
    std::unique_ptr<icu::SimpleDateFormat> date;
    std::unique_ptr<icu::SimpleDateFormat> time;
    // Texts already made, by day and by millisecond of the day: a sheet
    // repeats its dates and times, and the formatter is slow.
    std::unordered_map<double, std::string> dates;
    std::unordered_map<int64_t, std::string> times;
    // The short date pattern as numeric fields and literals, when it has no
    // other kind of field and gives what the formatter gives; else empty,
    // and the formatter makes every date.
    std::vector<TDatePiece> numericDate;
};

namespace {

std::string ToUtf8(const icu::UnicodeString& u) {
    std::string out;
    u.toUTF8String(out);
    return out;
}

// ICU separates the day period with narrow or no-break spaces; plain spaces
// keep the text usable as a value for the server.
std::string PlainSpaces(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const std::string_view rest = text.substr(i);
        const size_t space = rest.starts_with("\u202F") ? 3 : rest.starts_with("\u00A0") ? 2 : 0;
        out += space ? ' ' : text[i];
        i += space ? space : 1;
    }
    return out;
}

// Short dates carry the full year, as the desktop's short date does.
icu::UnicodeString FullYear(icu::UnicodeString pattern) {
    int32_t start = pattern.indexOf(u'y');
    if (start < 0)
        return pattern;
    int32_t end = start;
    while (end < pattern.length() && pattern[end] == u'y')
        ++end;
    if (end - start == 2)
        pattern.replace(start, 2, icu::UnicodeString(u"yyyy"));
    return pattern;
}

std::unique_ptr<icu::SimpleDateFormat> MakeFormat(icu::DateFormat* made) {
    auto* simple = dynamic_cast<icu::SimpleDateFormat*>(made);
    if (!simple) {
        delete made;
        UErrorCode status = U_ZERO_ERROR;
        simple = new icu::SimpleDateFormat(icu::UnicodeString(u"yyyy-MM-dd"), status);
    }
    simple->adoptTimeZone(icu::TimeZone::createTimeZone(icu::UnicodeString(u"UTC")));
    return std::unique_ptr<icu::SimpleDateFormat>(simple);
}

std::string DefaultLocaleName() {
    for (const char* var : {"LC_ALL", "LC_TIME", "LC_NUMERIC", "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v) {
            std::string name = v;
            name = name.substr(0, name.find_first_of(".@"));
            if (name == "C" || name == "POSIX")
                return "en_US";
            return name;
        }
    }
    return "en_US";
}

} // namespace

namespace {

// The pieces of a pattern made of d, dd, M, MM, yyyy and literal text
// without letters or quotes; nothing for any other pattern.
std::vector<TDatePiece> NumericPattern(const std::string& pattern) {
    std::vector<TDatePiece> pieces;
    for (size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        size_t run = i;
        while (run < pattern.size() && pattern[run] == c)
            ++run;
        const int width = static_cast<int>(run - i);
        const bool field = (c == 'd' || c == 'M') ? width <= 2 : c == 'y' && width == 4;
        if (field) {
            pieces.push_back({c, width, {}});
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '\'' ||
                   static_cast<unsigned char>(c) >= 0x80) {
            return {};
        } else {
            if (pieces.empty() || pieces.back().field != 0)
                pieces.push_back({});
            pieces.back().literal.append(pattern, i, static_cast<size_t>(width));
        }
        i = run;
    }
    return pieces;
}

void AppendNumber(std::string& out, int value, int width) {
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    for (int pad = width - static_cast<int>(end - digits); pad > 0; --pad)
        out += '0';
    out.append(digits, end);
}

std::string FormatNumericDate(const std::vector<TDatePiece>& pieces, int64_t serial) {
    int year = 0, month = 0, day = 0;
    CivilFromSerial(serial, year, month, day);
    std::string out;
    for (const TDatePiece& piece : pieces) {
        if (piece.field == 0)
            out += piece.literal;
        else
            AppendNumber(out,
                         piece.field == 'd'   ? day
                         : piece.field == 'M' ? month
                                              : year,
                         piece.width);
    }
    return out;
}

// Serial days the numeric pieces must format exactly as the formatter does
// before they are trusted: single and double digits, both ends of a year.
constexpr int64_t kProbeSerials[] = {45352, 36525, 1, 2958465, 40179};

} // namespace

TFormatSettings::TFormatSettings(const std::string& localeName)
    : FLocaleName(localeName), FFormatters(std::make_shared<Formatters>()) {
    icu::Locale locale(localeName.c_str());
    UErrorCode status = U_ZERO_ERROR;
    icu::DecimalFormatSymbols symbols(locale, status);
    FDecimalSeparator =
        U_SUCCESS(status)
            ? ToUtf8(symbols.getSymbol(icu::DecimalFormatSymbols::kDecimalSeparatorSymbol))
            : ".";
    FFormatters->date =
        MakeFormat(icu::DateFormat::createDateInstance(icu::DateFormat::kShort, locale));
    icu::UnicodeString pattern;
    FFormatters->date->applyPattern(FullYear(FFormatters->date->toPattern(pattern)));
    FFormatters->time =
        MakeFormat(icu::DateFormat::createTimeInstance(icu::DateFormat::kMedium, locale));
    pattern.remove();
    FShortDatePattern = ToUtf8(FFormatters->date->toPattern(pattern));
    pattern.remove();
    FLongTimePattern = ToUtf8(FFormatters->time->toPattern(pattern));
    TrustNumericDates();
}

// Formatting a date through the formatter is slow; a pattern of plain
// numbers is made directly once it agrees with the formatter.
void TFormatSettings::TrustNumericDates() {
    std::vector<TDatePiece> pieces = NumericPattern(FShortDatePattern);
    if (pieces.empty())
        return;
    for (int64_t serial : kProbeSerials) {
        icu::UnicodeString text;
        FFormatters->date->format(static_cast<double>(serial - 25569) * 86400000.0, text);
        if (PlainSpaces(ToUtf8(text)) != FormatNumericDate(pieces, serial))
            return;
    }
    FFormatters->numericDate = std::move(pieces);
}

TFormatSettings::~TFormatSettings() = default;
TFormatSettings::TFormatSettings(const TFormatSettings&) = default;
TFormatSettings& TFormatSettings::operator=(const TFormatSettings&) = default;

const TFormatSettings& TFormatSettings::Default() {
    static const TFormatSettings settings(DefaultLocaleName());
    return settings;
}

std::string TFormatSettings::FloatToStr(double value) const {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0)
        return "0";
    // The general form with 15 digits switches to the exponent form exactly
    // where the system's format does: below 1E-4 and from 1E15 on, after
    // rounding.
    char buffer[64];
    // Whole numbers below 1E15 are their own digits in the general form.
    if (std::fabs(value) < 1e15 && value == std::trunc(value))
        return std::string(
            buffer, std::to_chars(buffer, buffer + sizeof buffer, static_cast<int64_t>(value)).ptr);
    char* const end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15).ptr;
    char* const e = std::find(buffer, end, 'e');
    std::string out;
    out.reserve(static_cast<size_t>(end - buffer) + FDecimalSeparator.size());
    for (const char* p = buffer; p < e; ++p)
        if (*p == '.')
            out += FDecimalSeparator;
        else
            out += *p;
    if (e == end)
        return out;
    // "1e-05" reads "1E-5" and "1e+15" reads "1E15".
    const char* digits = e + 1;
    const bool negative = *digits == '-';
    while (digits < end && (*digits == '+' || *digits == '-' || *digits == '0'))
        ++digits;
    out += negative ? "E-" : "E";
    if (digits == end)
        out += '0';
    else
        out.append(digits, static_cast<size_t>(end - digits));
    return out;
}

std::string TFormatSettings::CurrToStr(int64_t scaled) const {
    bool negative = scaled < 0;
    uint64_t magnitude =
        negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
    std::string out = negative ? "-" : "";
    out += std::to_string(magnitude / 10000);
    std::string fraction = std::to_string(magnitude % 10000 + 10000).substr(1);
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    if (!fraction.empty())
        out += FDecimalSeparator + fraction;
    return out;
}

namespace {

// The text for key from the cache, made by format on first use; the cache
// is emptied when it grows large, so a sheet of distinct values stays cheap.
template <class Key, class Make>
const std::string& CachedText(std::unordered_map<Key, std::string>& cache, Key key, Make format) {
    auto it = cache.find(key);
    if (it != cache.end())
        return it->second;
    if (cache.size() >= 65536)
        cache.clear();
    icu::UnicodeString text;
    format(text);
    return cache.emplace(key, PlainSpaces(ToUtf8(text))).first->second;
}

} // namespace

std::string TFormatSettings::DateTimeToStr(double serial) const {
    if (!std::isfinite(serial))
        return FloatToStr(serial);
    // Serials before day zero keep the time of day as a positive fraction.
    double day = std::trunc(serial);
    double fraction = std::fabs(serial - day);
    int64_t ms = std::llround(fraction * 86400000.0);
    if (ms >= 86400000) {
        ms -= 86400000;
        day += serial < 0 ? -1 : 1;
    }
    std::lock_guard guard(FFormatters->lock);
    std::string text;
    if (day != 0 && !FFormatters->numericDate.empty() && day >= 1 && day <= 2958465) {
        text = FormatNumericDate(FFormatters->numericDate, static_cast<int64_t>(day));
        if (ms != 0)
            text += ' ';
    } else if (day != 0) {
        text = CachedText(FFormatters->dates, day, [&](icu::UnicodeString& out) {
            const double kUnixEpochSerial = 25569;
            FFormatters->date->format((day - kUnixEpochSerial) * 86400000.0, out);
        });
        if (ms != 0)
            text += ' ';
    }
    if (ms != 0 || day == 0)
        text += CachedText(FFormatters->times, ms, [&](icu::UnicodeString& out) {
            FFormatters->time->format(static_cast<double>(ms), out);
        });
    return text;
}

} // namespace tabellix
