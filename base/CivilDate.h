// Calendar dates of serial day numbers (days since 1899-12-30).
#pragma once

#include <cstdint>

namespace tabellix {

// Year, month and day of a serial day, in the proleptic Gregorian calendar.
void CivilFromSerial(int64_t serial, int& year, int& month, int& day);

} // namespace tabellix
