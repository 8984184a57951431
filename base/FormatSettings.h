// Locale-dependent number, currency and date texts, as the system's variant
// conversions produce them for the user's locale.
#pragma once

#include <memory>
#include <string>

namespace tabellix {

class TFormatSettings {
public:
    // The settings of the named ICU locale ("en_US", "de_DE", ...).
    explicit TFormatSettings(const std::string& localeName);
    ~TFormatSettings();
    TFormatSettings(const TFormatSettings&);
    TFormatSettings& operator=(const TFormatSettings&);

    // The user's locale, taken from the process environment once.
    static const TFormatSettings& Default();

    const std::string& LocaleName() const { return FLocaleName; }
    const std::string& DecimalSeparator() const { return FDecimalSeparator; }
    const std::string& ShortDatePattern() const { return FShortDatePattern; }
    const std::string& LongTimePattern() const { return FLongTimePattern; }

    // General format: at most 15 significant digits, fixed notation for
    // magnitudes from 0.0001 with at most 15 integer digits, else "1E20".
    std::string FloatToStr(double value) const;
    // A currency amount in units of 1/10000: plain decimal, no symbol.
    std::string CurrToStr(int64_t scaled) const;
    // A serial date-time (days since 1899-12-30): the short date, then a
    // space and the time unless it is midnight; day zero gives the time alone.
    std::string DateTimeToStr(double serial) const;

private:
    struct Formatters;
    void TrustNumericDates();
    std::string FLocaleName;
    std::string FDecimalSeparator;
    std::string FShortDatePattern;
    std::string FLongTimePattern;
    std::shared_ptr<Formatters> FFormatters;
};

} // namespace tabellix
