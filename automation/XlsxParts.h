// The small parts of a workbook package that come before the sheets: the
// relationships, the workbook part with its sheet list and date system, the
// cell formats of the styles part, and the shared strings.
#pragma once

#include "automation/NumberFormat.h"
#include "automation/Workbook.h"
#include "automation/ZipArchive.h"

#include <string>
#include <vector>

namespace tabellix {

struct TXlsxRelationship {
    std::string Id;
    std::string Type;   // the type URI's last segment ("worksheet", "styles", ...)
    std::string Target; // the target part's full name within the package
};

// The relationships of part source ("" for the package itself); none when
// the package has no relationships part for it.
std::vector<TXlsxRelationship> ReadRelationships(const TZipArchive& zip, const std::string& source);

// The workbook part the package names as its main document.
std::string FindWorkbookPart(const TZipArchive& zip);

struct TXlsxSheetEntry {
    std::string Name;
    std::string RelationshipId;
};

struct TXlsxWorkbookPart {
    bool Date1904 = false;
    std::vector<TXlsxSheetEntry> Sheets; // every sheet, in workbook order
};

TXlsxWorkbookPart ReadWorkbookPart(const TZipArchive& zip, const std::string& part);

// The number class of each cell format (by its index in cellXfs).
std::vector<TNumberClass> ReadCellFormats(const TZipArchive& zip, const std::string& part);

// Appends the shared strings to the workbook's text pool, rich-text runs
// joined and phonetic runs left out; returns how many were appended. More
// than MaxSharedStrings strings, one longer than MaxStringBytes or all
// longer than MaxSharedTextBytes raise EWorkbookError (TooLarge).
uint32_t ReadSharedStrings(const TZipArchive& zip, const std::string& part, TWorkbook& book);

// The text of a string item (<si>, <is>): its <t> elements, those of
// rich-text runs included, those of phonetic runs (<rPh>) left out.
class TStringItemText {
public:
    void Start(std::string_view name);
    void End(std::string_view name);
    bool Collecting() const { return FInText && FPhonetic == 0; }
    void Append(std::string_view text) { FText.append(text); }
    // The bytes collected so far, escapes not yet replaced.
    size_t Size() const { return FText.size(); }
    // The item's text, unescaped; resets for the next item.
    std::string Take();

private:
    std::string FText;
    bool FInText = false;
    int FPhonetic = 0;
};

// Refuses a string longer than MaxStringBytes, naming the part and what
// the string is ("shared string 3", "cell (2, 5)").
[[noreturn]] void FailLongString(const std::string& part, const std::string& what);

// Replaces the _xHHHH_ escapes of package text by the characters they stand for.
std::string UnescapePackageText(std::string_view text);

} // namespace tabellix
