#include "automation/SerialDate.h"

#include <charconv>
#include <cstdint>

namespace tabellix {

namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

constexpr int64_t kUnixEpochSerial = 25569;

class TIsoScanner {
public:
    explicit TIsoScanner(std::string_view text) : FText(text) {}
    bool Number(size_t digits, int& value) {
        if (FText.size() < digits)
            return false;
        const char* first = FText.data();
        auto [end, ec] = std::from_chars(first, first + digits, value);
        if (ec != std::errc() || end != first + digits)
            return false;
        FText.remove_prefix(digits);
        return true;
    }
    bool Skip(char c) {
        if (FText.empty() || FText.front() != c)
            return false;
        FText.remove_prefix(1);
        return true;
    }
    std::string_view Rest() const { return FText; }
    void Drop(size_t n) { FText.remove_prefix(n); }

private:
    std::string_view FText;
};

// "HH:MM[:SS[.fff]]" as a fraction of a day.
std::optional<double> ScanTime(TIsoScanner& in) {
    int h = 0, m = 0, s = 0;
    if (!in.Number(2, h) || !in.Skip(':') || !in.Number(2, m))
        return std::nullopt;
    double seconds = 0;
    if (in.Skip(':')) {
        if (!in.Number(2, s))
            return std::nullopt;
        seconds = s;
        if (in.Skip('.')) {
            size_t n = 0;
            double scale = 0.1;
            while (n < in.Rest().size() && in.Rest()[n] >= '0' && in.Rest()[n] <= '9') {
                seconds += (in.Rest()[n] - '0') * scale;
                scale /= 10;
                ++n;
            }
            in.Drop(n);
        }
    }
    if (h > 24 || m > 59 || s > 59)
        return std::nullopt;
    in.Skip('Z');
    return (h * 3600 + m * 60 + seconds) / 86400.0;
}

} // namespace

double AutomationDate(double serial, bool date1904) {
    if (date1904)
        return serial + 1462;
    if (serial >= 1 && serial < 60)
        return serial + 1;
    return serial;
}

std::optional<double> AutomationDateFromIso(std::string_view text) {
    TIsoScanner in(text);
    if (text.size() >= 3 && text[2] == ':') {
        auto time = ScanTime(in);
        return time && in.Rest().empty() ? time : std::nullopt;
    }
    int y = 0, m = 0, d = 0;
    if (!in.Number(4, y) || !in.Skip('-') || !in.Number(2, m) || !in.Skip('-') ||
        !in.Number(2, d) || m < 1 || m > 12 || d < 1 || d > 31)
        return std::nullopt;
    double serial = static_cast<double>(
        DaysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d)) + kUnixEpochSerial);
    if (in.Skip('T') || in.Skip(' ')) {
        auto time = ScanTime(in);
        if (!time)
            return std::nullopt;
        // Before day zero the time of day counts away from zero.
        serial += serial < 0 ? -*time : *time;
    }
    return in.Rest().empty() ? std::optional<double>(serial) : std::nullopt;
}

} // namespace tabellix
