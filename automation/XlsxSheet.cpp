#include "automation/XlsxSheet.h"

#include "automation/SerialDate.h"
#include "automation/WorkbookError.h"
#include "automation/XlsxParts.h"
#include "automation/XmlScanner.h"
#include "base/Format.h"

#include <charconv>
#include <cmath>

namespace tabellix {

namespace {

enum class TCellType : uint8_t { Number, Shared, FormulaText, Inline, Boolean, Error, IsoDate };

TCellType ParseType(const char* t) {
    if (!t)
        return TCellType::Number;
    const std::string_view type = ShortView(t);
    if (type == "s")
        return TCellType::Shared;
    if (type == "str")
        return TCellType::FormulaText;
    if (type == "inlineStr")
        return TCellType::Inline;
    if (type == "b")
        return TCellType::Boolean;
    if (type == "e")
        return TCellType::Error;
    if (type == "d")
        return TCellType::IsoDate;
    return TCellType::Number;
}

[[noreturn]] void FailReference(const std::string& part, const char* ref, const char* why) {
    FailRead(TWorkbookErrorCode::Malformed,
             Format("%s: cell reference \"%s\" %s", {part, ref, why}));
}

// "BC12" into column 55 and row 12: letters then digits, nothing else, each
// in range; either part may be missing. A reader that took "1A" or "A0" for
// the next cell would put a value where the file does not say. Every cell
// has one, so the scan is kept to a subtraction and a compare a character.
void ParseReference(const std::string& part, const char* ref, int& row, int& column) {
    const char* p = ref;
    int col = 0;
    for (unsigned letter; (letter = static_cast<unsigned char>(*p | 0x20) - 'a') < 26u; ++p) {
        col = col * 26 + static_cast<int>(letter) + 1;
        if (col > MaxSheetColumns)
            FailReference(part, ref, "is out of range");
    }
    const char* digits = p;
    int r = 0;
    for (unsigned digit; (digit = static_cast<unsigned char>(*p) - '0') < 10u; ++p) {
        r = r * 10 + static_cast<int>(digit);
        if (r > MaxSheetRows)
            FailReference(part, ref, "is out of range");
    }
    if (*p != '\0')
        FailReference(part, ref, "is not a column and a row");
    if (p > digits && r == 0)
        FailReference(part, ref, "names row 0");
    if (col > 0)
        column = col;
    if (r > 0)
        row = r;
}

// A row's number: digits only, 1 and up.
int ParseRowNumber(const std::string& part, const char* ref) {
    const std::string_view text(ref);
    int row = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), row);
    if (ec != std::errc() || end != text.data() + text.size() || row < 1 || row > MaxSheetRows)
        FailRead(TWorkbookErrorCode::Malformed,
                 Format("%s: row \"%s\" is not a row number from 1 to %d",
                        {part, std::string(text), MaxSheetRows}));
    return row;
}

// A cell's format index; what is no number leaves the default format.
int ParseStyle(const char* s) {
    const std::string_view text = ShortView(s);
    int style = 0;
    std::from_chars(text.data(), text.data() + text.size(), style);
    return style;
}

// Most cells hold integers; up to 15 digits they are exact in a double and
// need no general conversion.
bool ParseInteger(const char* first, const char* last, double& number) {
    const bool negative = first < last && *first == '-';
    const char* digits = negative ? first + 1 : first;
    if (digits == last || last - digits > 15)
        return false;
    int64_t value = 0;
    for (const char* p = digits; p < last; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        value = value * 10 + (*p - '0');
    }
    number = negative ? -static_cast<double>(value) : static_cast<double>(value);
    return true;
}

class TSheetHandler : public TXmlHandler {
public:
    TSheetHandler(const TXlsxContext& context, TSheet& sheet, const std::string& part)
        : FContext(context), FSheet(sheet), FPart(part) {}

    void StartElement(std::string_view name, const char** attrs) override {
        if (FInCell)
            return StartInCell(name);
        if (name == "c")
            StartCell(attrs);
        else if (name == "row")
            StartRow(attrs);
    }

    void EndElement(std::string_view name) override {
        if (!FInCell)
            return;
        if (name == "c") {
            EndCell();
        } else if (name == "v") {
            FInValue = false;
        } else if (name == "is") {
            FInline = false;
            FValue = FItem.Take();
        } else if (FInline) {
            FItem.End(name);
        }
    }

    void Text(std::string_view text) override {
        if (FInline)
            FItem.Append(text);
        else
            FValue.append(text);
        if (FItem.Size() > MaxStringBytes || FValue.size() > MaxStringBytes)
            FailLongString(FPart, Format("cell (%d, %d)", {FRow, FColumn}));
    }
    bool WantText() const override { return FInValue || (FInline && FItem.Collecting()); }

private:
    void StartRow(const char** attrs) {
        const char* r = XmlAttribute(attrs, "r");
        const int row = r && *r ? ParseRowNumber(FPart, r) : FRow + 1;
        if (row > MaxSheetRows)
            FailRead(TWorkbookErrorCode::Malformed,
                     Format("%s: row %d is out of range", {FPart, row}));
        FRow = row;
        FColumn = 0;
    }

    void StartCell(const char** attrs) {
        FInCell = true;
        FHasValue = false;
        FValue.clear();
        FType = TCellType::Number;
        FStyle = 0;
        int row = FRow < 1 ? 1 : FRow;
        int column = FColumn + 1;
        for (const char** a = attrs; a[0]; a += 2) {
            const std::string_view attr = LocalName(a[0]);
            if (attr == "r")
                ParseReference(FPart, a[1], row, column);
            else if (attr == "t")
                FType = ParseType(a[1]);
            else if (attr == "s")
                FStyle = ParseStyle(a[1]);
        }
        if (column > MaxSheetColumns)
            FailRead(TWorkbookErrorCode::Malformed,
                     Format("%s: column %d is out of range", {FPart, column}));
        FRow = row;
        FColumn = column;
    }

    void StartInCell(std::string_view name) {
        if (FInline) {
            FItem.Start(name);
        } else if (name == "v") {
            FInValue = true;
            FHasValue = true;
        } else if (name == "is") {
            FInline = true;
            FHasValue = true;
        }
    }

    void EndCell() {
        FInCell = false;
        if (*FContext.CellBudget == 0)
            FailRead(TWorkbookErrorCode::TooLarge,
                     "the workbook stores more cells than this program reads");
        --*FContext.CellBudget;
        // A cell without a value counts for the used range only when it
        // carries a format; writers also emit bare cells in the default one.
        if (!FHasValue) {
            if (FStyle != 0)
                FSheet.Touch(FRow, FColumn);
            return;
        }
        switch (FType) {
        case TCellType::Number:
            return StoreNumber();
        case TCellType::Shared:
            return StoreShared();
        case TCellType::FormulaText:
        case TCellType::Inline:
            return FSheet.SetText(FRow, FColumn, FValue);
        case TCellType::Boolean:
            return FSheet.SetBoolean(FRow, FColumn, FValue == "1" || FValue == "true");
        case TCellType::Error:
            return FSheet.SetError(FRow, FColumn, FValue);
        case TCellType::IsoDate:
            return StoreIsoDate();
        }
    }

    bool ParseNumber(double& number) const {
        const char* first = FValue.data();
        const char* last = first + FValue.size();
        while (first < last && *first == ' ')
            ++first;
        if (ParseInteger(first, last, number))
            return true;
        auto [end, ec] = std::from_chars(first, last, number);
        return ec == std::errc() && end == last && std::isfinite(number);
    }

    TNumberClass StyleClass() const {
        const auto& formats = *FContext.CellFormats;
        return FStyle >= 0 && static_cast<size_t>(FStyle) < formats.size()
                   ? formats[static_cast<size_t>(FStyle)]
                   : TNumberClass::Number;
    }

    void StoreNumber() {
        double number = 0;
        if (FValue.empty())
            return FSheet.Touch(FRow, FColumn);
        if (!ParseNumber(number))
            FailRead(TWorkbookErrorCode::Malformed,
                     Format("%s: cell (%d, %d) holds \"%s\", which is not a number",
                            {FPart, FRow, FColumn, FValue.substr(0, 40)}));
        SetClassifiedNumber(FSheet, FRow, FColumn, number, StyleClass(), FContext.Date1904);
    }

    void StoreShared() {
        uint32_t index = 0;
        auto [end, ec] = std::from_chars(FValue.data(), FValue.data() + FValue.size(), index);
        if (ec != std::errc() || end != FValue.data() + FValue.size() ||
            index >= FContext.SharedCount)
            FailRead(TWorkbookErrorCode::Malformed,
                     Format("%s: cell (%d, %d) refers to shared string \"%s\" of %u",
                            {FPart, FRow, FColumn, FValue.substr(0, 20), FContext.SharedCount}));
        FSheet.SetPooledText(FRow, FColumn, FContext.SharedBase + index);
    }

    void StoreIsoDate() {
        if (auto serial = AutomationDateFromIso(FValue))
            return FSheet.SetDate(FRow, FColumn, *serial);
        FSheet.SetText(FRow, FColumn, FValue);
    }

    const TXlsxContext& FContext;
    TSheet& FSheet;
    const std::string& FPart;
    TStringItemText FItem;
    std::string FValue;
    int FRow = 0;
    int FColumn = 0;
    int FStyle = 0;
    TCellType FType = TCellType::Number;
    bool FInCell = false;
    bool FInValue = false;
    bool FInline = false;
    bool FHasValue = false;
};

} // namespace

void ReadXlsxSheet(const TZipArchive& zip, const std::string& part, const TXlsxContext& context,
                   TSheet& sheet) {
    TSheetHandler handler(context, sheet, part);
    TXmlScanner scanner(handler, part);
    zip.Stream(part, [&](const char* data, size_t size) { scanner.Feed(data, size); });
    scanner.Finish();
}

} // namespace tabellix
