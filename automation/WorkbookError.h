// Why a workbook file could not be read, and the limits that keep a hostile
// file from taking unbounded memory or time.
#pragma once

#include "automation/Automation.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tabellix {

enum class TWorkbookErrorCode {
    CannotOpen,  // the file cannot be opened at all
    NotWorkbook, // neither a workbook package nor a binary workbook
    MissingPart, // a package or compound file without its workbook part
    Truncated,   // a part or record ends before its declared content
    Malformed,   // content that breaks the format's rules
    Encrypted,   // password protected
    TooLarge     // beyond the limits below
};

// A workbook that cannot be read. LoadWorkbook puts the file name in front
// of the reader's detail so the user sees one sentence.
class EWorkbookError : public EAutomationError {
public:
    EWorkbookError(TWorkbookErrorCode code, std::string message)
        : EAutomationError(std::move(message)), FCode(code) {}
    TWorkbookErrorCode Code() const { return FCode; }
    std::string ClassName() const override { return "EWorkbookError"; }

private:
    TWorkbookErrorCode FCode;
};

[[noreturn]] void FailRead(TWorkbookErrorCode code, std::string message);

// Puts the workbook's name in front of the message: "Cannot read the
// workbook "name": cause".
void NameWorkbook(EWorkbookError& error, const std::string& name);

// Runs read, naming the workbook in the reader error it raises; also wraps
// the sheets' deferred reads, which raise long after the file was opened.
template <class Read> auto ReadNamed(const std::string& name, Read read) -> decltype(read()) {
    try {
        return read();
    } catch (EWorkbookError& e) {
        NameWorkbook(e, name);
        throw;
    }
}

// The largest inflated part of a package and the largest workbook stream of
// a compound file.
inline constexpr uint64_t MaxPartBytes = uint64_t{1} << 30;
// The most cells one workbook may store (12 bytes each in memory).
inline constexpr uint64_t MaxWorkbookCells = 32u << 20;
// The most shared strings a workbook may list: no more than cells could use.
inline constexpr uint64_t MaxSharedStrings = MaxWorkbookCells;
// The longest text of one string, shared or in a cell, in bytes: 16 MiB, as
// much as the largest packet a server takes by default, and far beyond the
// 32,767 characters a spreadsheet cell holds.
inline constexpr uint64_t MaxStringBytes = uint64_t{16} << 20;
// All shared strings of a workbook together, in bytes.
inline constexpr uint64_t MaxSharedTextBytes = uint64_t{256} << 20;

} // namespace tabellix
