// Date-time values as the workbook files store them, turned into the
// automation value's serial (days since 1899-12-30, the time of day as the
// fraction).
#pragma once

#include <optional>
#include <string_view>

namespace tabellix {

// A stored serial of the 1900 or the 1904 date system. The 1900 system
// counts a 29 February 1900 that never was, so its serials before day 60
// are one day behind the automation serial; a serial below 1 is a pure time
// and stays as it is.
double AutomationDate(double serial, bool date1904);

// An ISO 8601 date, date-time or time ("2024-03-01", "2024-03-01T12:30:00Z",
// "12:30:00.5"); nothing when the text is none of these.
std::optional<double> AutomationDateFromIso(std::string_view text);

} // namespace tabellix
