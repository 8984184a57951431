// How a stored number is classified by its cell format, the way the
// spreadsheet application's cell value does it: a plain number, a date/time
// or a currency amount. Shared by both workbook readers.
#pragma once

#include "automation/Workbook.h"

#include <cstdint>
#include <string_view>
#include <unordered_map>

namespace tabellix {

enum class TNumberClass : uint8_t { Number, Date, Currency };

// Classifies a format code: date/time tokens (y m d h s, AM/PM, elapsed
// [h] [m] [s]) outside quoted text, backslash escapes and bracket sections
// make a date; a currency symbol, a quoted currency sign or a [$sym-locale]
// part make a currency. A date wins over a currency.
TNumberClass ClassifyFormatCode(std::string_view code);

// The class of a built-in format number (0 to 163) that a workbook uses
// without defining it.
TNumberClass ClassifyBuiltinFormat(int id);

// The formats of one workbook: its own codes by number, falling back to the
// built-in classes.
class TFormatTable {
public:
    void Define(int id, std::string_view code) { FCustom[id] = ClassifyFormatCode(code); }
    TNumberClass Classify(int id) const;

private:
    std::unordered_map<int, TNumberClass> FCustom;
};

// Stores a number as the value its cell format makes of it: a date (when
// the serial is one the application can show), a currency amount or a
// plain number.
void SetClassifiedNumber(TSheet& sheet, int row, int column, double number, TNumberClass kind,
                         bool date1904);

} // namespace tabellix
