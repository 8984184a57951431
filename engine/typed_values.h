// Values in the server's own form for columns typed as numbers, dates or
// times, where the locale's texts would be refused or stored as zero; and
// the cell text rule that every other value follows.
#pragma once

#include "base/FormatSettings.h"
#include "base/Variant.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tabellix {

// One value of an insert statement: a quoted text, a bare numeric
// literal (for BIT columns, which take a quoted text as bits), or NULL.
struct TInsertValue {
    enum class TKind { Quoted, Bare, Null };

    TInsertValue() = default;
    TInsertValue(std::string text) : Text(std::move(text)) {}
    TInsertValue(const char* text) : Text(text) {}
    static TInsertValue Bare(std::string literal);
    static TInsertValue Null();

    // Empty for the row's emptiness test: NULL or an empty quoted text.
    bool IsEmpty() const { return Kind == TKind::Null || (Kind == TKind::Quoted && Text.empty()); }

    TKind Kind = TKind::Quoted;
    std::string Text;
};

// How a column's values are written, by the leading word of its type text.
enum class TValueForm { CellText, Number, Bit, Date, DateTime, Time, Year };

// The form for a grid type text: the leading word, compared ignoring case,
// names a numeric or a date/time type; anything else keeps the cell text.
TValueForm value_form(const std::string& typeText);

// The value in the server's form for a column of form, or nothing when the
// cell text rule applies (a text cell, a kind the column does not take, an
// error value, or a column of form CellText). An empty cell, and an empty
// text, is NULL.
std::optional<TInsertValue> typed_value(TValueForm form, const Variant& value,
                                        const TFormatSettings& settings);

// A cell value as text in the locale of settings; an error value raises
// EConvertError. Taken by value so that a cell's text moves out of it.
std::string cell_text(Variant value, const TFormatSettings& settings);
// A cell value for a column written in form: the server's own form where
// the column's type takes it, else the cell text.
TInsertValue insert_value(TValueForm form, Variant value, const TFormatSettings& settings);

// A locale number text with "." for the locale's decimal separator.
std::string with_decimal_point(std::string text, const std::string& separator);

// A serial split into its day and the time of day in milliseconds; days
// before day zero keep the time of day as a positive fraction, and a time
// that rounds up to midnight is the next day.
struct TDayTime {
    int64_t day;
    int64_t ms;
};
TDayTime split_serial(double serial);

} // namespace tabellix
