#include "engine/type_proposal.h"

#include "base/Format.h"
#include "base/Text.h"
#include "engine/cell_walk.h"
#include "engine/field_edit.h"
#include "engine/table_options.h"
#include "engine/typed_values.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace tabellix {
namespace {

// DECIMAL holds at most 65 digits.
constexpr int kMaxDecimalDigits = 65;
// The most characters a VARCHAR may hold: 65,535 bytes at three or four
// bytes a character, less its length prefix.
constexpr size_t kMaxVarcharUtf8 = 21844;
constexpr size_t kMaxVarcharUtf8mb4 = 16383;
// TEXT holds 65,535 bytes.
constexpr size_t kMaxTextBytes = 65535;

size_t CharCount(std::string_view text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

// A number's cell text taken apart: the digits before the point (without
// leading zeros), those after it, whether it needs the exponent, and the
// value it stands for.
struct TNumberText {
    int IntDigits = 0;
    int FracDigits = 0;
    bool Exponent = false;
    double Value = 0;
};

TNumberText ReadNumberText(std::string_view cellText, const std::string& separator) {
    const std::string text = with_decimal_point(std::string(cellText), separator);
    TNumberText out;
    std::from_chars(text.data(), text.data() + text.size(), out.Value);
    const size_t e = text.find('E');
    out.Exponent = e != std::string::npos;
    if (out.Exponent) {
        // Whole numbers of the exponent form: as many digits as the exponent
        // says, plus one.
        const int exponent = std::atoi(text.c_str() + e + 1);
        out.IntDigits = exponent >= 0 ? exponent + 1 : 0;
        return out;
    }
    size_t start = text.starts_with('-') ? 1 : 0;
    const size_t point = std::min(text.find('.'), text.size());
    while (start < point && text[start] == '0')
        ++start;
    out.IntDigits = static_cast<int>(point - start);
    out.FracDigits = point < text.size() ? static_cast<int>(text.size() - point - 1) : 0;
    return out;
}

TProposedType Bare(std::string type) {
    std::string length = default_field_length(type).value_or("");
    return {std::move(type), std::move(length)};
}

} // namespace

void TColumnTally::Add(const Variant& value, const myfuns& funs) {
    const std::string& separator = funs.FormatSettings().DecimalSeparator();
    switch (value.Type()) {
    case VarType::Empty:
    case VarType::Null:
        return;
    case VarType::String:
        if (!value.Get<std::string>().empty())
            AddText(value.Get<std::string>());
        return;
    case VarType::Error:
        FKinds |= kError;
        return;
    case VarType::Boolean:
        FKinds |= kBoolean;
        break;
    case VarType::Date:
        AddDate(value.Get<VarDate>().serial);
        break;
    case VarType::Double: {
        const double number = value.Get<double>();
        if (!std::isfinite(number)) {
            FKinds |= kText;
            break;
        }
        return AddNumber(funs.cell_text(value), number == std::trunc(number), separator);
    }
    case VarType::Integer:
    case VarType::Int64:
        return AddNumber(funs.cell_text(value), true, separator);
    case VarType::Currency:
        return AddNumber(funs.cell_text(value), false, separator);
    case VarType::Bytes:
        FKinds |= kText;
        break;
    }
    Measure(funs.cell_text(value));
}

void TColumnTally::AddNumber(const std::string& text, bool whole, const std::string& separator) {
    Measure(text);
    const TNumberText number = ReadNumberText(text, separator);
    if (whole) {
        FMinWhole = (FKinds & kWhole) ? std::min(FMinWhole, number.Value) : number.Value;
        FMaxWhole = (FKinds & kWhole) ? std::max(FMaxWhole, number.Value) : number.Value;
    }
    FKinds |= whole ? kWhole : kFraction;
    FIntDigits = std::max(FIntDigits, number.IntDigits);
    FFracDigits = std::max(FFracDigits, number.FracDigits);
    FExponent = FExponent || number.Exponent;
}

void TColumnTally::AddDate(double serial) {
    // The time of day as the typed values write it.
    const int64_t ms = split_serial(serial).ms;
    FKinds |= serial < 1 ? kTime : kDate;
    FTimeOfDay = FTimeOfDay || (serial >= 1 && ms != 0);
    FMilliseconds = FMilliseconds || ms % 1000 != 0;
}

void TColumnTally::AddText(std::string_view text) {
    FKinds |= kText;
    Measure(text);
}

void TColumnTally::Measure(std::string_view text) {
    FChars = std::max(FChars, CharCount(text));
    FBytes = std::max(FBytes, text.size());
}

TProposedType TColumnTally::Propose(const std::string& charset) const {
    switch (FKinds) {
    case 0:
        return Bare("VARCHAR");
    case kWhole:
        return ProposeWhole();
    case kFraction:
    case kWhole | kFraction:
        return ProposeFraction();
    case kBoolean:
        return {"TINYINT(1)", ""};
    case kDate:
        return {std::string(FTimeOfDay ? "DATETIME" : "DATE") + (FMilliseconds ? "(3)" : ""), ""};
    case kTime:
        return {FMilliseconds ? "TIME(3)" : "TIME", ""};
    default:
        return ProposeText(charset);
    }
}

TProposedType TColumnTally::ProposeWhole() const {
    // The bounds are those of the values the cell texts stand for, which
    // are what the column is sent.
    if (FMinWhole >= -2147483648.0 && FMaxWhole <= 2147483647.0)
        return Bare("INT");
    if (FMinWhole >= -9223372036854775808.0 && FMaxWhole < 9223372036854775808.0)
        return Bare("BIGINT");
    if (FIntDigits <= kMaxDecimalDigits)
        return {Format("DECIMAL(%d,0)", {FIntDigits}), ""};
    return Bare("DOUBLE");
}

TProposedType TColumnTally::ProposeFraction() const {
    if (FExponent)
        return Bare("DOUBLE");
    const int precision = std::max(1, FIntDigits + FFracDigits);
    return {Format("DECIMAL(%d,%d)", {precision, FFracDigits}), ""};
}

TProposedType TColumnTally::ProposeText(const std::string& charset) const {
    const size_t varcharMax = charset == "utf8mb4" ? kMaxVarcharUtf8mb4 : kMaxVarcharUtf8;
    if (FBytes > kMaxTextBytes)
        return Bare("MEDIUMTEXT");
    if (FChars > varcharMax)
        return Bare("TEXT");
    return {"VARCHAR", std::to_string(std::max<size_t>(1, FChars))};
}

namespace {

// InnoDB keeps a row within half a page, 8,126 bytes; a column that may
// hold more than 255 bytes can go off the page but leaves a pointer.
constexpr size_t kInnoDbRowBytes = 8126;
constexpr size_t kInnoDbInlineMax = 255;
constexpr size_t kInnoDbOffPageBytes = 33;
constexpr size_t kInnoDbTextBytes = 27;
// The record header, the system columns and MyISAM's flag byte, beside
// the null flags.
constexpr size_t kRowOverhead = 30;

// A column's share of the row as the server counts it, with the widest
// characters of the character set; for InnoDB as in the page, else as the
// server's 65,535-byte limit counts it (a VARCHAR at its full width).
size_t RowBytes(const TProposedType& type, size_t charBytes, bool innodb) {
    if (type.Type == "VARCHAR") {
        const size_t bytes = std::stoul(type.Length) * charBytes;
        if (!innodb)
            return bytes + 2;
        return bytes <= kInnoDbInlineMax ? bytes + 2 : kInnoDbOffPageBytes;
    }
    if (type.Type.ends_with("TEXT"))
        return innodb ? kInnoDbTextBytes : 12;
    return type.Type.starts_with("DECIMAL") ? 30 : 8;
}

// Turns the VARCHARs that take most of the row into TEXT until the row
// takes at most limit bytes.
void FitRow(std::vector<TProposedType>& types, size_t charBytes, bool innodb, size_t limit) {
    const TProposedType text = Bare("TEXT");
    size_t total = kRowOverhead + (types.size() + 7) / 8;
    std::vector<size_t> varchars;
    for (size_t i = 0; i < types.size(); ++i) {
        total += RowBytes(types[i], charBytes, innodb);
        if (types[i].Type == "VARCHAR")
            varchars.push_back(i);
    }
    std::stable_sort(varchars.begin(), varchars.end(), [&](size_t a, size_t b) {
        return RowBytes(types[a], charBytes, innodb) > RowBytes(types[b], charBytes, innodb);
    });
    for (size_t i : varchars) {
        if (total <= limit)
            return;
        total -= RowBytes(types[i], charBytes, innodb) - RowBytes(text, charBytes, innodb);
        types[i] = text;
    }
}

} // namespace

void fit_row_size(std::vector<TProposedType>& types, const std::string& charset, bool innodb) {
    const size_t charBytes = charset == "utf8mb4" ? 4 : 3;
    FitRow(types, charBytes, false, kMaxTextBytes);
    if (innodb)
        FitRow(types, charBytes, true, kInnoDbRowBytes);
}

namespace {

// The first error cell of a column: its row and code.
struct TErrorCell {
    int Row = 0;
    std::string Code;
};

std::vector<std::string> ErrorNotes(const std::vector<TErrorCell>& errors,
                                    const TStringGrid& grid) {
    std::vector<std::string> notes;
    for (size_t i = 0; i < errors.size(); ++i)
        if (errors[i].Row != 0)
            notes.push_back(Format(
                "Column %d (%s) holds the error %s in sheet row %d: it is "
                "proposed as text, and the conversion stops at that cell",
                {i + 1, grid.Cell(0, static_cast<int>(i) + 1), errors[i].Code, errors[i].Row}));
    return notes;
}

} // namespace

std::vector<std::string> propose_types(const myfuns& funs, TStringGrid& grid,
                                       const std::string& fileName, const TListModel& sheets,
                                       bool firstRowNames) {
    TSheetWalk walk(fileName, sheets.ItemIndex + 1);
    const int columns = std::min(walk.Columns(), grid.RowCount() - 1);
    std::vector<TColumnTally> tallies(static_cast<size_t>(std::max(columns, 0)));
    std::vector<TErrorCell> errors(tallies.size());
    walk.Walk({.FirstRow = firstRowNames ? 2 : 1, .LastColumn = columns},
              {.Cell = [&](int row, int column, const Variant& value) {
                  const auto i = static_cast<size_t>(column - 1);
                  if (value.Type() == VarType::Error && errors[i].Row == 0)
                      errors[i] = {row, value.Get<VarError>().text};
                  tallies[i].Add(value, funs);
                  return true;
              }});
    walk.ShutDown();
    const std::string charset = table_charset(funs.TableOptions, grid);
    std::vector<TProposedType> types;
    for (const TColumnTally& tally : tallies)
        types.push_back(tally.Propose(charset));
    // An engine left unchosen becomes InnoDB on a cluster node.
    const std::string& engine = funs.TableOptions.Engine;
    fit_row_size(types, charset, engine.empty() || SameText(engine, "InnoDB"));
    for (size_t i = 0; i < types.size(); ++i) {
        grid.SetCell(1, static_cast<int>(i) + 1, std::move(types[i].Type));
        grid.SetCell(2, static_cast<int>(i) + 1, std::move(types[i].Length));
    }
    return ErrorNotes(errors, grid);
}

} // namespace tabellix
